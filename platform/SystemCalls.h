#pragma once
// The file system calls of the engine, in one place. Every open, read,
// write, sync, close, link, rename, unlink and folder creation of the
// platform's file layer goes through these functions, so that a test can
// make any one of them fail with a chosen errno, or deliver a signal just
// after it, and then check what is left on disk. Without an observer they
// are the plain system calls.

#include <sys/types.h>

#include <cstddef>

namespace calverdon::sys {

enum class Call : int {
    Open,         // open() of an existing or a new named file
    OpenUnnamed,  // open() with O_TMPFILE: a file without a name
    Read,
    Write,
    Fsync,        // fsync() and syncfs()
    Close,
    Link,         // link() and linkat()
    Rename,
    Unlink,
    Mkdir,
    Rmdir,
};
inline constexpr int kCallKinds = static_cast<int>(Call::Rmdir) + 1;

// Told of every call before it is made.
class CallObserver {
public:
    virtual ~CallObserver() = default;
    // 0 lets the call go ahead; an errno makes it fail with that error
    // (a failed close still releases the descriptor, as on Linux).
    virtual int Before(Call call) = 0;
    // Told when a call that went ahead has returned.
    virtual void After(Call) {}
};

// Installs `observer` for the calling process (nullptr: none). For tests.
void SetCallObserver(CallObserver* observer);

int Open(const char* path, int flags, mode_t mode = 0);
ssize_t Read(int fd, void* buffer, std::size_t size);
ssize_t Write(int fd, const void* buffer, std::size_t size);
int Fsync(int fd);
int SyncFs(int fd);
int Close(int fd);
int Link(const char* from, const char* to);
int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags);
int Rename(const char* from, const char* to);
int Unlink(const char* path);
int Mkdir(const char* path, mode_t mode);
int Rmdir(const char* path);

}  // namespace calverdon::sys
