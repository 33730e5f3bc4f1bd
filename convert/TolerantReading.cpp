#include "TolerantReading.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "Cp1252.h"
#include "Format.h"
#include "FormatRules.h"
#include "Names.h"
#include "PairReading.h"
#include "Report.h"

namespace calverdon {
namespace {

using format::IsBlank;
using format::IsLineEnd;
using Kind = LenientResult::Kind;

// The rest of the current line up to its line end (which is consumed), at
// most kMaxHeaderLine bytes of it kept.
std::string RestOfLine(BufferedReader& in) {
    std::string line;
    int c = in.Get();
    for (; c >= 0 && !IsLineEnd(static_cast<unsigned char>(c)); c = in.Get()) {
        if (line.size() < format::kMaxHeaderLine) line += static_cast<char>(c);
    }
    if (c == '\r' && in.Want(1) >= 1 && in.Peek()[0] == '\n') in.Consume(1);
    return line;
}

// The next line that holds anything but quoting and blanks, made plain;
// empty at the end of the file.
std::string NextPlainLine(BufferedReader& in) {
    while (in.Want(1) > 0) {
        const std::string line = RestOfLine(in);
        const std::string_view plain = format::PlainLine(line);
        if (!plain.empty()) return std::string(plain);
    }
    return {};
}

class TolerantChain {
public:
    TolerantChain(ChainSource& chain, DecodedFile& out, const std::optional<FileId>& avoid, Reporter* progress)
        : chain_(chain), out_(out), avoid_(avoid), progress_(progress) {}

    LenientResult Run();

private:
    enum class Stop { DataEnded, Continuation, EndLine, StopRequested };

    // Opens the first part (`number` 1) or the one that stands at `number`
    // under the name `name`.
    LenientResult Open(const std::string& name, std::uint64_t number, std::unique_ptr<BufferedReader>& part);
    Stop ReadData(BufferedReader& in);
    LenientResult Ended(Kind kind, int error = 0) {
        Flush();
        if (out_.Error() != 0) return {Kind::WriteFailed, out_.Error(), {}};
        return {kind, error, {}};
    }
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
    // Passes on how far the reading has come; true when the user asked to
    // stop.
    bool AdvanceProgress(const BufferedReader& in) {
        if (progress_ == nullptr) return false;
        progress_->Advance(doneBefore_ + in.Offset());
        return progress_->StopRequested();
    }

    ChainSource& chain_;
    DecodedFile& out_;
    std::optional<FileId> avoid_;
    Reporter* progress_;
    format::PartsRead partsRead_;
    std::uint32_t checksum_ = kChecksumStart;
    std::uint64_t doneBefore_ = 0;  // bytes of the parts before the current one
    std::string nextName_;
    std::array<unsigned char, 64 * 1024> pending_{};
    std::size_t used_ = 0;
};

LenientResult TolerantChain::Open(const std::string& name, std::uint64_t number,
                                  std::unique_ptr<BufferedReader>& part) {
    int error = 0;
    UniqueFd fd = number == 1 ? chain_.OpenFirst(error) : chain_.OpenNext(name, number, error);
    FileId id;
    if (fd.IsOpen() && !GetFileId(fd.Get(), id)) error = errno;
    if (!fd.IsOpen() || error != 0) return {Kind::PartMissing, error, name};
    if (avoid_ && id == *avoid_) return {Kind::SameFile, 0, {}};
    if (!partsRead_.Add(id)) return {Kind::WrongOrder, 0, {}};
    if (part) doneBefore_ += part->Offset();
    part = std::make_unique<BufferedReader>(std::move(fd));
    return {Kind::Verified, 0, {}};
}

LenientResult TolerantChain::Run() {
    std::unique_ptr<BufferedReader> part;
    if (LenientResult opened = Open({}, 1, part); opened.kind != Kind::Verified) {
        // The first part is the source itself, whose failures the caller
        // has told already; it can only be missing now if it went away.
        if (opened.kind == Kind::PartMissing) return {Kind::ReadFailed, opened.error, {}};
        return opened;
    }
    const bool header = NextPlainLine(*part) == kMagicLine && !NextPlainLine(*part).empty();
    if (part->Error() != 0) return {Kind::ReadFailed, part->Error(), {}};
    if (!header) return {Kind::NotHexText, 0, {}};
    for (std::int64_t expected = 2;; ++expected) {
        const Stop stop = ReadData(*part);
        if (part->Error() != 0) return Ended(Kind::ReadFailed, part->Error());
        if (stop == Stop::StopRequested) return {Kind::Stopped, 0, {}};
        if (stop == Stop::DataEnded) return Ended(Kind::Mismatch);
        if (stop == Stop::EndLine) {
            const format::ScannedChecksum sum = format::ScanChecksumLeniently(*part);
            if (part->Error() != 0) return Ended(Kind::ReadFailed, part->Error());
            return Ended(sum.Matches(checksum_) ? Kind::Verified : Kind::Mismatch);
        }
        const std::string name = SafeFileName(Cp1252ToUtf8(nextName_));
        if (LenientResult opened = Open(name, static_cast<std::uint64_t>(expected), part);
            opened.kind != Kind::Verified) {
            Flush();
            opened.partName = name;
            return opened;
        }
        const long number = ReadLeadingNumber(NextPlainLine(*part));
        if (part->Error() != 0) return Ended(Kind::ReadFailed, part->Error());
        if (number != expected) return Ended(Kind::WrongOrder);
    }
}

TolerantChain::Stop TolerantChain::ReadData(BufferedReader& in) {
    bool lineStart = true;
    int high = -1;
    std::size_t sinceProgress = 0;
    for (int c = in.Get(); c >= 0; c = in.Get()) {
        if (++sinceProgress == 64 * 1024) {
            sinceProgress = 0;
            if (AdvanceProgress(in)) return Stop::StopRequested;
        }
        const auto byte = static_cast<unsigned char>(c);
        // Line ends, blanks, and quote markers at the start of a line.
        if (IsLineEnd(byte) || IsBlank(byte) || (lineStart && byte == '>')) {
            lineStart = lineStart || IsLineEnd(byte);
            continue;
        }
        lineStart = false;
        const int digit = kHexDigitValue[byte];
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
        // nothing mail does to a file: the data end here.
        if (high >= 0 || (c != '+' && c != '~') || in.Want(1) < 1 || in.Peek()[0] != c) return Stop::DataEnded;
        in.Consume(1);
        AdvanceProgress(in);
        if (c == '~') return Stop::EndLine;
        nextName_ = format::LenientContinuationName(RestOfLine(in));
        return Stop::Continuation;
    }
    return Stop::DataEnded;
}

}  // namespace

LenientResult ReadChainLeniently(ChainSource& chain, DecodedFile& out, const std::optional<FileId>& avoid,
                                 Reporter* progress) {
    return TolerantChain(chain, out, avoid, progress).Run();
}

}  // namespace calverdon
