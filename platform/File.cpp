#include "File.h"
#include "SystemCalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace calverdon {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() { Close(); }

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int UniqueFd::Close() {
    if (fd_ < 0) return 0;
    const int fd = Release();
    // A close interrupted by a signal has still released the descriptor on
    // Linux, so it is never retried.
    return sys::Close(fd) == 0 ? 0 : errno;
}

UniqueFd OpenForReading(const std::filesystem::path& path, int& error) {
    // Non-blocking, so that opening a FIFO returns at once; the flag is
    // cleared again once the file is known to be a regular one.
    UniqueFd fd(sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.IsOpen()) {
        error = errno;
        return fd;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = errno;
        return UniqueFd();
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        return UniqueFd();
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = errno;
        return UniqueFd();
    }
    error = 0;
    return fd;
}

bool GetFileId(int fd, FileId& id) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

bool GetFileId(const std::filesystem::path& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

namespace {

// A small file gets a buffer of its own size (and a little room to see
// its end), so that following a chain of many small parts does not
// allocate and touch a full buffer for each.
std::size_t ReadBufferSize(const UniqueFd& fd) {
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return kFileBufferSize;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    return size + 64 < kFileBufferSize ? static_cast<std::size_t>(size) + 64 : kFileBufferSize;
}

}  // namespace

BufferedReader::BufferedReader(UniqueFd fd) : fd_(std::move(fd)), buffer_(ReadBufferSize(fd_)) {}

BufferedReader::BufferedReader(UniqueFd fd, std::uint64_t offset, std::uint64_t length)
    : fd_(std::move(fd)), left_(length) {
    // As for a whole file: a small part gets a buffer of its own size.
    std::uint64_t size = length;
    struct stat st {};
    if (::fstat(fd_.Get(), &st) == 0 && S_ISREG(st.st_mode)) {
        const auto fileSize = static_cast<std::uint64_t>(st.st_size);
        size = std::min(length, fileSize > offset ? fileSize - offset : 0);
    }
    const bool small = size < UINT64_MAX - 64 && size + 64 < kFileBufferSize;
    buffer_.resize(small ? static_cast<std::size_t>(size + 64) : kFileBufferSize);
    if (offset != 0 && ::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) error_ = errno;
}

bool BufferedReader::Refill() {
    if (eof_ || error_ != 0) return false;
    // Keep what is not consumed yet at the front of the buffer.
    const std::size_t kept = end_ - pos_;
    std::memmove(buffer_.data(), buffer_.data() + pos_, kept);
    base_ += pos_;
    pos_ = 0;
    end_ = kept;
    while (end_ < buffer_.size()) {
        if (left_ == 0) {
            eof_ = true;
            return false;
        }
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - end_, left_));
        const ssize_t got = sys::Read(fd_.Get(), buffer_.data() + end_, room);
        if (got > 0) {
            end_ += static_cast<std::size_t>(got);
            left_ -= static_cast<std::uint64_t>(got);
            return true;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) {
            error_ = errno;
            return false;
        }
    }
    return true;
}

std::span<const unsigned char> BufferedReader::Peek() {
    if (pos_ == end_) Refill();
    return {buffer_.data() + pos_, end_ - pos_};
}

std::size_t BufferedReader::Want(std::size_t count) {
    while (end_ - pos_ < count && Refill()) {
        // A window larger than the buffer (the header reading's, under a
        // small buffer) makes the buffer grow rather than come back short.
        if (end_ == buffer_.size() && pos_ == 0 && count > buffer_.size()) buffer_.resize(count);
    }
    return end_ - pos_;
}

int BufferedReader::Get() {
    if (pos_ == end_ && !Refill()) return -1;
    return buffer_[pos_++];
}

std::string BufferedReader::GetLine(std::size_t maxChars) {
    std::string line;
    while (line.size() < maxChars) {
        const int c = Get();
        if (c < 0) break;
        line += static_cast<char>(c);
        if (c == '\n') break;
    }
    return line;
}

BufferedWriter::BufferedWriter(UniqueFd fd) : fd_(std::move(fd)), buffer_(kBufferSize) {}

bool BufferedWriter::Write(const void* data, std::size_t size) {
    if (error_ != 0) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (used_ == buffer_.size() && !Flush()) return false;
        const std::size_t n = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, bytes, n);
        used_ += n;
        bytes += n;
        size -= n;
    }
    return true;
}

unsigned char* BufferedWriter::Reserve(std::size_t size) {
    if (buffer_.size() - used_ < size) {
        // After a failed flush the buffered bytes are lost anyway; the
        // failure stays in error_ for the caller.
        if (!Flush()) used_ = 0;
        if (buffer_.size() - used_ < size) buffer_.resize(used_ + size);
    }
    return buffer_.data() + used_;
}

bool BufferedWriter::Flush() {
    if (error_ != 0) return false;
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t put = sys::Write(fd_.Get(), buffer_.data() + done, used_ - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    used_ = 0;
    written_ += done;
    constexpr std::uint64_t kWritebackStep = 8u << 20;
    if (writeback_ && written_ - writebackStart_ >= kWritebackStep) {
        // Only a hint: a failure here shows up again at the closing sync.
        ::sync_file_range(fd_.Get(), static_cast<off64_t>(writebackStart_),
                          static_cast<off64_t>(written_ - writebackStart_), SYNC_FILE_RANGE_WRITE);
        writebackStart_ = written_;
    }
    return true;
}

bool BufferedWriter::TruncateTo(std::uint64_t position) {
    if (!Flush()) return false;
    if (::ftruncate(fd_.Get(), static_cast<off_t>(position)) != 0 ||
        ::lseek(fd_.Get(), static_cast<off_t>(position), SEEK_SET) < 0) {
        error_ = errno;
        return false;
    }
    written_ = position;
    writebackStart_ = std::min(writebackStart_, position);
    return true;
}

bool BufferedWriter::Close(bool sync) {
    bool ok = Flush();
    if (ok && sync && sys::Fsync(fd_.Get()) != 0) {
        error_ = errno;
        ok = false;
    }
    const int closeError = fd_.Close();
    if (ok && closeError != 0) {
        error_ = closeError;
        ok = false;
    }
    return ok;
}

}  // namespace calverdon
