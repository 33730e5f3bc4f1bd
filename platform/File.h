#pragma once
// Files as the engine uses them: a move-only owner of a descriptor that
// closes quietly as a safety net but lets the success path check its
// close, and large-buffered reading and writing on top of it. Errors are
// errno values.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace calverdon {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    int Release();
    // Closes and returns 0, or the errno of a failed close.
    int Close();

private:
    int fd_ = -1;
};

// Stands where an errno is expected for a path that names something other
// than a regular file or a folder (a FIFO, a device, a socket): such a
// thing may block or never end, so it is never read or written. No errno
// has this value.
inline constexpr int kNotRegularFile = -2;

// Opens a regular file for reading without ever blocking on a FIFO or a
// device. A folder counts as a file that cannot be opened (EISDIR), anything
// else that is not a regular file gives kNotRegularFile. Returns the errno
// of the failure through `error`.
UniqueFd OpenForReading(const std::filesystem::path& path, int& error);


// Identity of a file on disk, for telling whether two paths are one file.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};
bool GetFileId(int fd, FileId& id);
bool GetFileId(const std::filesystem::path& path, FileId& id);

// Large buffers for speed. Fuzzing builds use a tiny odd size instead, so
// that pairs, lines and markers straddle buffer boundaries all the time.
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
inline constexpr std::size_t kFileBufferSize = 61;
#else
inline constexpr std::size_t kFileBufferSize = 256 * 1024;
#endif

class BufferedReader {
public:
    static constexpr std::size_t kBufferSize = kFileBufferSize;

    explicit BufferedReader(UniqueFd fd);
    // Reads only the `length` bytes from `offset` on, as if they were the
    // whole file; Offset() counts from `offset`.
    BufferedReader(UniqueFd fd, std::uint64_t offset, std::uint64_t length);

    // The bytes read ahead but not yet consumed; refills when empty.
    // An empty span means end of file or a read error (see Error()).
    std::span<const unsigned char> Peek();
    // Makes at least `count` bytes available when the file still holds
    // them (growing the buffer if need be); returns how many are available.
    std::size_t Want(std::size_t count);
    void Consume(std::size_t count) { pos_ += count; }
    // One byte, or -1 at end of file or on an error.
    int Get();
    // Like fgets with a buffer of maxChars + 1: reads up to and including
    // the next LF, but at most maxChars bytes.
    std::string GetLine(std::size_t maxChars);

    int Error() const { return error_; }
    // Bytes consumed from the start of the file.
    std::size_t Offset() const { return base_ + pos_; }

private:
    bool Refill();

    UniqueFd fd_;
    std::vector<unsigned char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::size_t base_ = 0;  // file offset of buffer_[0]
    std::uint64_t left_ = UINT64_MAX;  // bytes that may still be read
    bool eof_ = false;
    int error_ = 0;
};

class BufferedWriter {
public:
    static constexpr std::size_t kBufferSize = kFileBufferSize;

    explicit BufferedWriter(UniqueFd fd);

    // Each returns false once a write has failed; Error() tells why.
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Two bytes, the common case of a line end.
    void Put2(char first, char second) {
        if (buffer_.size() - used_ >= 2) {
            buffer_[used_++] = static_cast<unsigned char>(first);
            buffer_[used_++] = static_cast<unsigned char>(second);
        } else {
            const char both[2] = {first, second};
            Write(both, 2);
        }
    }
    // Room for at least `size` bytes, to fill directly and then Commit().
    unsigned char* Reserve(std::size_t size);
    void Commit(std::size_t size) { used_ += size; }
    bool Flush();
    // Bytes written so far, buffered ones included.
    std::uint64_t Position() const { return written_ + used_; }
    // Drops everything from `position` on (at most Position()); false on a
    // failure, which Error() then tells.
    bool TruncateTo(std::uint64_t position);
    // Starts the disk writes of what has been flushed every few megabytes,
    // so that a closing sync finds little left to do.
    void StartWritebackEarly() { writeback_ = true; }
    // Flushes, optionally syncs to disk, and closes; false on any failure.
    bool Close(bool sync);

    int Error() const { return error_; }
    UniqueFd& Fd() { return fd_; }
    const UniqueFd& Fd() const { return fd_; }

private:
    UniqueFd fd_;
    std::vector<unsigned char> buffer_;
    std::size_t used_ = 0;
    int error_ = 0;
    bool writeback_ = false;
    std::uint64_t written_ = 0;        // bytes handed to the kernel
    std::uint64_t writebackStart_ = 0; // first byte whose writeback is not started
};

}  // namespace calverdon
