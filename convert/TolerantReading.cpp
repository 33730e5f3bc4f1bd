#include "TolerantReading.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "Cp1252.h"
#include "Format.h"
#include "Names.h"
#include "PairReading.h"

namespace calverdon {
namespace {

// Header lines are looked at up to this many characters; the rest of a
// longer line is read past.
constexpr std::size_t kMaxLine = 1023;

bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

// After a CR, a LF belongs to the same line end.
void SkipLf(BufferedReader& in, int c) {
    if (c == '\r' && in.Want(1) >= 1 && in.Peek()[0] == '\n') in.Consume(1);
}

// The rest of the current line, blanks at both ends removed.
std::string RestOfLine(BufferedReader& in) {
    std::string line;
    int c = in.Get();
    for (; c >= 0 && !IsLineEnd(c); c = in.Get()) {
        if (line.size() < kMaxLine) line += static_cast<char>(c);
    }
    SkipLf(in, c);
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

// The next line that holds anything but quoting and blanks, without them;
// empty at the end of the file.
std::string NextLine(BufferedReader& in) {
    while (in.Want(1) > 0) {
        while (in.Want(1) > 0 && (IsBlank(in.Peek()[0]) || in.Peek()[0] == '>')) in.Consume(1);
        std::string line = RestOfLine(in);
        if (!line.empty()) return line;
    }
    return {};
}

class TolerantChain {
public:
    TolerantChain(DecodedFile& out, const std::optional<FileId>& avoid) : out_(out), avoid_(avoid) {}

    bool Run(const std::filesystem::path& source);

private:
    enum class Stop { Failed, Continuation, EndLine };

    std::unique_ptr<BufferedReader> Open(const std::filesystem::path& path);
    Stop ReadData(BufferedReader& in);
    bool ReadEndLine(BufferedReader& in);
    void Emit(unsigned char byte) {
        checksum_ += byte + 4u;
        pending_[used_++] = byte;
        if (used_ == pending_.size()) Flush();
    }
    void Flush() {
        if (used_ == 0) return;
        std::memcpy(out_.Reserve(used_), pending_.data(), used_);
        out_.Commit(used_);
        used_ = 0;
    }

    DecodedFile& out_;
    std::optional<FileId> avoid_;
    std::set<std::pair<dev_t, ino_t>> partsRead_;
    std::uint32_t checksum_ = kChecksumStart;
    std::string nextName_;
    std::array<unsigned char, 64 * 1024> pending_{};
    std::size_t used_ = 0;
};

std::unique_ptr<BufferedReader> TolerantChain::Open(const std::filesystem::path& path) {
    int error = 0;
    UniqueFd fd = OpenForReading(path, error);
    FileId id;
    if (!fd.IsOpen() || !GetFileId(fd.Get(), id) || (avoid_ && id == *avoid_)) return nullptr;
    if (!partsRead_.insert({id.device, id.inode}).second) return nullptr;
    return std::make_unique<BufferedReader>(std::move(fd));
}

bool TolerantChain::Run(const std::filesystem::path& source) {
    auto part = Open(source);
    if (!part || NextLine(*part) != kMagicLine || NextLine(*part).empty()) return false;
    for (std::int64_t expected = 2;; ++expected) {
        const Stop stop = ReadData(*part);
        if (stop == Stop::Failed || part->Error() != 0) return false;
        if (stop == Stop::EndLine) return ReadEndLine(*part);
        const std::string name = SafeFileName(Cp1252ToUtf8(nextName_));
        if (name.empty()) return false;
        part = Open(source.parent_path() / name);
        if (!part || ReadLeadingNumber(NextLine(*part)) != expected) return false;
    }
}

TolerantChain::Stop TolerantChain::ReadData(BufferedReader& in) {
    bool lineStart = true;
    int high = -1;
    for (int c = in.Get(); c >= 0; c = in.Get()) {
        if (IsLineEnd(c) || IsBlank(c) || (lineStart && c == '>')) {
            lineStart = lineStart || IsLineEnd(c);
            continue;
        }
        lineStart = false;
        const int digit = kHexDigitValue[static_cast<unsigned char>(c)];
        if (digit < 16) {
            if (high < 0) {
                high = digit;
            } else {
                Emit(static_cast<unsigned char>(high << 4 | digit));
                high = -1;
            }
            continue;
        }
        // A marker inside a pair, or anything but digits and markers, is
        // nothing mail does to a file.
        if (high >= 0 || (c != '+' && c != '~') || in.Want(1) < 1 || in.Peek()[0] != c) return Stop::Failed;
        in.Consume(1);
        if (c == '~') return Stop::EndLine;
        nextName_ = RestOfLine(in);
        return Stop::Continuation;
    }
    return Stop::Failed;
}

bool TolerantChain::ReadEndLine(BufferedReader& in) {
    Flush();
    while (in.Want(1) > 0 && (IsBlank(in.Peek()[0]) || IsLineEnd(in.Peek()[0]))) in.Consume(1);
    std::uint32_t value = 0;
    int digits = 0;
    for (; digits < 8 && in.Want(1) > 0 && kHexDigitValue[in.Peek()[0]] < 16; ++digits) {
        value = value * 16 + kHexDigitValue[in.Peek()[0]];
        in.Consume(1);
    }
    return digits > 0 && value == checksum_ && out_.Error() == 0;
}

}  // namespace

bool ReadChainTolerantly(const std::filesystem::path& source, DecodedFile& out,
                         const std::optional<FileId>& avoid) {
    return TolerantChain(out, avoid).Run(source);
}

std::optional<std::string> ReadQuotedHeaderName(const std::filesystem::path& source) {
    int error = 0;
    UniqueFd fd = OpenForReading(source, error);
    if (!fd.IsOpen()) return std::nullopt;
    BufferedReader in(std::move(fd));
    // Only a header that shows what mail does is read leniently: quoting in
    // front of it, or CR alone ending its first line.
    const auto head = in.Want(kMaxLine);
    const std::string_view start(reinterpret_cast<const char*>(in.Peek().data()), head);
    const auto cr = start.find('\r');
    const auto first = start.find_first_not_of(" \t");
    const bool quoted = first != std::string_view::npos && start[first] == '>';
    const bool loneCr = cr != std::string_view::npos && (cr + 1 == start.size() || start[cr + 1] != '\n');
    if (!quoted && !loneCr) return std::nullopt;
    if (NextLine(in) != kMagicLine) return std::nullopt;
    std::string name = NextLine(in);
    name.resize(std::strlen(name.c_str()));
    if (name.empty()) return std::nullopt;
    return name;
}

}  // namespace calverdon
