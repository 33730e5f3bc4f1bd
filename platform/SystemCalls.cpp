#include "SystemCalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace calverdon::sys {
namespace {

CallObserver* g_observer = nullptr;

// The error the observer asks for, already set in errno; 0 to go ahead.
int Refused(Call call) {
    if (g_observer == nullptr) return 0;
    const int error = g_observer->Before(call);
    if (error != 0) errno = error;
    return error;
}

}  // namespace

void SetCallObserver(CallObserver* observer) { g_observer = observer; }

int Open(const char* path, int flags, mode_t mode) {
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    if (Refused(unnamed ? Call::OpenUnnamed : Call::Open) != 0) return -1;
    return ::open(path, flags, mode);
}

ssize_t Read(int fd, void* buffer, std::size_t size) {
    if (Refused(Call::Read) != 0) return -1;
    return ::read(fd, buffer, size);
}

ssize_t Write(int fd, const void* buffer, std::size_t size) {
    if (Refused(Call::Write) != 0) return -1;
    return ::write(fd, buffer, size);
}

int Fsync(int fd) {
    if (Refused(Call::Fsync) != 0) return -1;
    return ::fsync(fd);
}

int Close(int fd) {
    if (const int error = Refused(Call::Close); error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return ::close(fd);
}

int Link(const char* from, const char* to) {
    if (Refused(Call::Link) != 0) return -1;
    return ::link(from, to);
}

int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    if (Refused(Call::Link) != 0) return -1;
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int Rename(const char* from, const char* to) {
    if (Refused(Call::Rename) != 0) return -1;
    return ::rename(from, to);
}

int Unlink(const char* path) {
    if (Refused(Call::Unlink) != 0) return -1;
    return ::unlink(path);
}

int Mkdir(const char* path, mode_t mode) {
    if (Refused(Call::Mkdir) != 0) return -1;
    return ::mkdir(path, mode);
}

int Rmdir(const char* path) {
    if (Refused(Call::Rmdir) != 0) return -1;
    return ::rmdir(path);
}

}  // namespace calverdon::sys
