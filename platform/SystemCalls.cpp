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

// The result of a call that went ahead, after telling the observer; errno
// is kept for the caller.
template <typename Result>
Result Done(Call call, Result result) {
    if (g_observer != nullptr) {
        const int error = errno;
        g_observer->After(call);
        errno = error;
    }
    return result;
}

}  // namespace

void SetCallObserver(CallObserver* observer) { g_observer = observer; }

int Open(const char* path, int flags, mode_t mode) {
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    if (Refused(unnamed ? Call::OpenUnnamed : Call::Open) != 0) return -1;
    return Done(unnamed ? Call::OpenUnnamed : Call::Open, ::open(path, flags, mode));
}

ssize_t Read(int fd, void* buffer, std::size_t size) {
    if (Refused(Call::Read) != 0) return -1;
    return Done(Call::Read, ::read(fd, buffer, size));
}

ssize_t Write(int fd, const void* buffer, std::size_t size) {
    if (Refused(Call::Write) != 0) return -1;
    return Done(Call::Write, ::write(fd, buffer, size));
}

int Fsync(int fd) {
    if (Refused(Call::Fsync) != 0) return -1;
    return Done(Call::Fsync, ::fsync(fd));
}

int SyncFs(int fd) {
    if (Refused(Call::Fsync) != 0) return -1;
    return Done(Call::Fsync, ::syncfs(fd));
}

int Close(int fd) {
    if (const int error = Refused(Call::Close); error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return Done(Call::Close, ::close(fd));
}

int Link(const char* from, const char* to) {
    if (Refused(Call::Link) != 0) return -1;
    return Done(Call::Link, ::link(from, to));
}

int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    if (Refused(Call::Link) != 0) return -1;
    return Done(Call::Link, ::linkat(fromFolder, from, toFolder, to, flags));
}

int Rename(const char* from, const char* to) {
    if (Refused(Call::Rename) != 0) return -1;
    return Done(Call::Rename, ::rename(from, to));
}

int Unlink(const char* path) {
    if (Refused(Call::Unlink) != 0) return -1;
    return Done(Call::Unlink, ::unlink(path));
}

int Mkdir(const char* path, mode_t mode) {
    if (Refused(Call::Mkdir) != 0) return -1;
    return Done(Call::Mkdir, ::mkdir(path, mode));
}

int Rmdir(const char* path) {
    if (Refused(Call::Rmdir) != 0) return -1;
    return Done(Call::Rmdir, ::rmdir(path));
}

}  // namespace calverdon::sys
