#include "TolerantReading.h"

#include <algorithm>
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

// The line that starts at the reader's position, without taking it: at
// most kMaxHeaderLine bytes of it.
std::string PeekLine(BufferedReader& in) {
    const std::size_t have = in.Want(format::kMaxHeaderLine + 2);
    const std::string_view ahead(reinterpret_cast<const char*>(in.Peek().data()), std::min(have, format::kMaxHeaderLine));
    return std::string(ahead.substr(0, ahead.find_first_of("\r\n")));
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
    // The data of a part, up to its end; `next` is the number of the part
    // that follows it.
    Stop ReadData(BufferedReader& in, std::uint64_t next);
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
    std::array<unsigned char, 32 * 1024 + 1> decoded_{};
    std::size_t used_ = 0;
};

LenientResult TolerantChain::Open(const std::string& name, std::uint64_t number,
                                  std::unique_ptr<BufferedReader>& part) {
    int error = 0;
    OpenedPart opened = number == 1 ? chain_.OpenFirst(error) : chain_.OpenNext(name, number, error);
    FileId id;
    if (opened.fd.IsOpen() && !GetFileId(opened.fd.Get(), id)) error = errno;
    if (!opened.fd.IsOpen() || error != 0) return {Kind::PartMissing, error, name};
    if (avoid_ && id == *avoid_) return {Kind::SameFile, 0, {}};
    if (!partsRead_.Add(id, opened.offset)) return {Kind::WrongOrder, 0, {}};
    if (part) doneBefore_ += part->Offset();
    part = std::make_unique<BufferedReader>(std::move(opened.fd), opened.offset, opened.length);
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
        const Stop stop = ReadData(*part, static_cast<std::uint64_t>(expected));
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

TolerantChain::Stop TolerantChain::ReadData(BufferedReader& in, std::uint64_t next) {
    format::LenientData data;
    for (auto span = in.Peek(); !span.empty(); span = in.Peek()) {
        const std::string_view piece(reinterpret_cast<const char*>(span.data()), std::min<std::size_t>(span.size(), 64 * 1024));
        std::size_t produced = 0;
        format::LenientData::Event event = format::LenientData::Event::None;
        const std::size_t read = data.Feed(piece, decoded_.data(), produced, event);
        for (std::size_t i = 0; i < produced; ++i) Emit(decoded_[i]);
        in.Consume(read);
        if (AdvanceProgress(in)) return Stop::StopRequested;
        switch (event) {
            case format::LenientData::Event::None:
                continue;
            case format::LenientData::Event::Garbled:
                return Stop::DataEnded;
            case format::LenientData::Event::EndLine:
                return Stop::EndLine;
            case format::LenientData::Event::Continuation: {
                const std::string rest = RestOfLine(in);
                const format::ContinuationName choice = format::ChooseContinuationName(rest, PeekLine(in), next);
                if (choice.usesFollowing) RestOfLine(in);
                nextName_ = choice.name;
                return Stop::Continuation;
            }
        }
    }
    return Stop::DataEnded;
}

}  // namespace

LenientResult ReadChainLeniently(ChainSource& chain, DecodedFile& out, const std::optional<FileId>& avoid,
                                 Reporter* progress) {
    return TolerantChain(chain, out, avoid, progress).Run();
}

}  // namespace calverdon
