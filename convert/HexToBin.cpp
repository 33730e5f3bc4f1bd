#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "Cp1252.h"
#include "DecodedFile.h"
#include "File.h"
#include "FormatRules.h"
#include "HexSimd.h"
#include "HexToBin.h"
#include "Messages.h"
#include "Names.h"
#include "PairReading.h"
#include "PendingFile.h"
#include "TolerantReading.h"
#include "Report.h"

namespace calverdon {

namespace {

#if defined(CALVERDON_HAVE_SSE2)
// Decodes up to eight pairs at `in` while they are plain hex digits, adds
// their bytes to the checksum, and returns how many there were.
int DecodeEightPairs(const unsigned char* in, unsigned char* out, std::uint32_t& checksum) {
    std::uint32_t sum = 0;
    const int plain = DecodeHexBlock(in, out, sum);
    if (plain == 8) {
        checksum += sum + 8 * 4u;
    } else {
        for (int k = 0; k < plain; ++k) checksum += out[k] + 4u;
    }
    return plain;
}
#endif

class Decoder {
public:
    Decoder(Services services, ChainSource& chain, DecodedFile& out, std::optional<FileId> targetId)
        : report_(services), chain_(chain), out_(out), targetId_(targetId) {}

    // Steps from opening the first part to the end; the target has been
    // settled by the caller. `written` tells where the result went.
    ConversionResult Run(const std::filesystem::path* target, std::filesystem::path* written);

private:
    enum class Stop { EndOfData, Continuation, EndLine, WriteFailed, StopRequested };

    ConversionResult ReadStrictly(BufferedReader& first);
    Stop DecodePart(BufferedReader& part);
    bool SkipHeaderLines(BufferedReader& part);
    // Opens the part that a continuation line names and checks its number;
    // nullptr after a failure that has been told.
    std::unique_ptr<BufferedReader> OpenNextPart(BufferedReader& part, ConversionResult& failure);
    ConversionResult Finish(bool mismatch);

    // A chain whose header mail has changed is read the lenient way only:
    // its data, read strictly, could pass the checksum with wrong bytes.
    ConversionResult ReadLenientlyOnly();
    // After a strict reading that failed in a way mail's changes to the
    // text can cause: the chain is read once more the lenient way. Nothing
    // when that reading does not verify it either; the strict outcome then
    // stands.
    std::optional<ConversionResult> Repaired();
    template <typename Report>
    ConversionResult FailUnlessRepaired(Report report) {
        if (const auto repaired = Repaired()) return *repaired;
        return report();
    }
    // The lenient reading into `out_`, and its outcome told.
    ConversionResult ReadLenientlyInto();
    // The bytes of the chain's files, over which the lenient reading's
    // progress runs.
    std::uint64_t ChainFilesSize() const;
    bool IsTarget(const FileId& id) const { return targetId_ && id == *targetId_; }

    Reporter report_;
    ChainSource& chain_;
    DecodedFile& out_;
    std::optional<FileId> targetId_;
    format::PartsRead partsRead_;
    std::uint64_t firstSize_ = 0;
    const std::filesystem::path* target_ = nullptr;
    std::filesystem::path* written_ = nullptr;
    std::int64_t expectedPart_ = 1;

    std::uint32_t checksum_ = kChecksumStart;
    std::uint64_t consumed_ = 0;
};

Decoder::Stop Decoder::DecodePart(BufferedReader& part) {
    std::uint32_t checksum = checksum_;
    std::uint64_t consumed = consumed_;
    for (;;) {
        if (part.Want(2) < 2) break;
        const auto span = part.Peek();
        const unsigned char* in = span.data();
        const std::size_t pairs = span.size() / 2;
        unsigned char* outStart = out_.Reserve(pairs);
        unsigned char* out = outStart;
        std::optional<Stop> stop;
        std::size_t i = 0;
        while (i < pairs) {
#if defined(CALVERDON_HAVE_SSE2)
            // Eight pairs at a time while no progress value falls due
            // within them; the first pair that is not two plain hex digits
            // goes the exact way below.
            if (pairs - i >= 8 && consumed + 16 < report_.NextProgressAt()) {
                const int plain = DecodeEightPairs(in + 2 * i, out, checksum);
                out += plain;
                i += static_cast<std::size_t>(plain);
                consumed += 2u * static_cast<unsigned>(plain);
                if (plain == 8) continue;
            }
#endif
            const unsigned first = in[2 * i];
            const unsigned second = in[2 * i + 1];
            ++i;
            consumed += 2;
            unsigned byte = 0;
            const unsigned high = kHexDigitValue[first];
            const unsigned low = kHexDigitValue[second];
            if ((high | low) < 16) {
                byte = high << 4 | low;
            } else if (first == '\r' && second == '\n') {
                continue;
            } else if (first == '+' && second == '+') {
                stop = Stop::Continuation;
                break;
            } else if (first == '~' && second == '~') {
                stop = Stop::EndLine;
                break;
            } else {
                byte = PairValue(static_cast<unsigned char>(first), static_cast<unsigned char>(second));
            }
            *out++ = static_cast<unsigned char>(byte);
            checksum += byte + 4u;
            report_.Advance(consumed);
        }
        out_.Commit(static_cast<std::size_t>(out - outStart));
        part.Consume(2 * i);
        checksum_ = checksum;
        consumed_ = consumed;
        if (out_.Error() != 0) return Stop::WriteFailed;
        if (report_.StopRequested()) return Stop::StopRequested;
        if (stop) return *stop;
    }
    checksum_ = checksum;
    consumed_ = consumed;
    return Stop::EndOfData;
}

bool Decoder::SkipHeaderLines(BufferedReader& part) {
    // The magic line and the name line are not looked at again, but a line
    // longer than the decoder reads would have its rest taken for data.
    for (int line = 0; line < 2; ++line) {
        const std::string text = part.GetLine(format::kMaxLine);
        if (part.Error() != 0) return true;  // told by the caller as a read failure
        if (text.size() == format::kMaxLine && text.back() != '\n' && part.Want(1) > 0) return false;
    }
    return true;
}

std::unique_ptr<BufferedReader> Decoder::OpenNextPart(BufferedReader& part, ConversionResult& failure) {
    const std::string rest = part.GetLine(format::kMaxLine);
    if (part.Error() != 0) {
        failure = report_.ReadSourceFailed(part.Error());
        return nullptr;
    }
    const std::string name = SafeFileName(Cp1252ToUtf8(format::StrictContinuationName(rest)));
    int error = ENOENT;
    OpenedPart opened = chain_.OpenNext(name, static_cast<std::uint64_t>(expectedPart_ + 1), error);
    UniqueFd& fd = opened.fd;
    FileId id;
    if (fd.IsOpen() && !GetFileId(fd.Get(), id)) {
        error = errno;
        fd.Close();
    }
    if (!fd.IsOpen()) {
        failure = FailUnlessRepaired([&] { return report_.OpenPartFailed(name, error); });
        return nullptr;
    }
    if (IsTarget(id)) {
        failure = report_.SameFile();
        return nullptr;
    }
    auto next = std::make_unique<BufferedReader>(std::move(fd), opened.offset, opened.length);
    const long number = ReadLeadingNumber(next->GetLine(format::kMaxLine));
    if (next->Error() != 0) {
        failure = report_.ReadSourceFailed(next->Error());
        return nullptr;
    }
    ++expectedPart_;
    if (number != expectedPart_ || !partsRead_.Add(id, opened.offset)) {
        failure = FailUnlessRepaired([&] { return report_.WrongOrder(); });
        return nullptr;
    }
    return next;
}

ConversionResult Decoder::Run(const std::filesystem::path* target, std::filesystem::path* written) {
    target_ = target;
    written_ = written;

    int error = 0;
    OpenedPart opened = chain_.OpenFirst(error);
    if (!opened.fd.IsOpen()) return report_.OpenSourceFailed(error);
    struct stat st {};
    if (::fstat(opened.fd.Get(), &st) != 0) return report_.OpenSourceFailed(errno);
    partsRead_.Add({st.st_dev, st.st_ino}, opened.offset);
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    firstSize_ = opened.offset < fileSize ? std::min(fileSize - opened.offset, opened.length) : 0;
    if (firstSize_ == 0) return report_.SourceIsEmpty();
    if (target != nullptr && !out_.Create(*target, error)) {
        return report_.CreateTargetFailed(error);
    }

    BufferedReader first(std::move(opened.fd), opened.offset, opened.length);
    // The header is read once, and decides how the data are read.
    if (format::ReadHeader(first).kind == format::HeaderKind::Changed) return ReadLenientlyOnly();
    return ReadStrictly(first);
}

ConversionResult Decoder::ReadStrictly(BufferedReader& first) {
    if (!SkipHeaderLines(first)) return FailUnlessRepaired([&] { return report_.NotHexText(); });
    if (first.Error() != 0) return report_.ReadSourceFailed(first.Error());
    // Progress runs once over the data of the whole chain.
    report_.StartProgress(firstSize_ - first.Offset() + chain_.FurtherSize());

    BufferedReader* part = &first;
    std::unique_ptr<BufferedReader> further;
    for (;;) {
        const Stop stop = DecodePart(*part);
        if (stop == Stop::WriteFailed) return report_.WriteFailed(out_.Error());
        // The user stopped the run: nothing is shown, the pending result goes.
        if (stop == Stop::StopRequested) return ConversionResult::Failed;
        if (part->Error() != 0) return report_.ReadSourceFailed(part->Error());
        if (stop == Stop::EndLine) {
            const format::ScannedChecksum sum = format::ScanChecksum(*part);
            if (part->Error() != 0) return report_.ReadSourceFailed(part->Error());
            return Finish(!sum.Matches(checksum_));
        }
        // Data that end without their end line are cut short: a truncated
        // file must not pass as good.
        if (stop == Stop::EndOfData) return Finish(true);

        ConversionResult failure = ConversionResult::Failed;
        further = OpenNextPart(*part, failure);
        if (!further) return failure;
        part = further.get();
    }
}

ConversionResult Decoder::Finish(bool mismatch) {
    if (mismatch) {
        if (const auto repaired = Repaired()) return *repaired;
    }
    std::filesystem::path where;
    int error = 0;
    if (!out_.Keep(mismatch ? DecodedFile::Fate::Unverified : DecodedFile::Fate::Verified, where, error)) {
        return report_.WriteFailed(error);
    }
    if (written_ != nullptr) *written_ = where;
    if (!mismatch) return ConversionResult::Succeeded;
    return report_.ChecksumMismatch(where.filename() != out_.Target().filename() ? where : std::filesystem::path());
}

std::uint64_t Decoder::ChainFilesSize() const { return firstSize_ + chain_.FurtherSize(); }

ConversionResult Decoder::ReadLenientlyOnly() {
    report_.StartProgress(ChainFilesSize());
    return ReadLenientlyInto();
}

std::optional<ConversionResult> Decoder::Repaired() {
    // First only checked, writing nothing, so that the strict result stays
    // for the user when the lenient reading cannot verify the chain either.
    DecodedFile probe;
    report_.StartProgress(ChainFilesSize());
    const LenientResult checked = ReadChainLeniently(chain_, probe, targetId_, &report_);
    switch (checked.kind) {
        case LenientResult::Kind::Verified:
            break;
        case LenientResult::Kind::Stopped:
            return ConversionResult::Failed;
        // A file that could not be read is told as such, not hidden
        // behind the strict reading's outcome.
        case LenientResult::Kind::ReadFailed:
            return report_.ReadSourceFailed(checked.error);
        // A part that is there but cannot be opened is told; one that is
        // not there, or whose name (read from damaged data) can name no
        // file at all, leaves the strict outcome standing.
        case LenientResult::Kind::PartMissing:
            if (checked.error != ENOENT && checked.error != ENAMETOOLONG) {
                return report_.OpenPartFailed(checked.partName, checked.error);
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
    if (target_ == nullptr) return report_.Repaired();
    // The strict result gives up its room before the second reading writes.
    out_.Discard();
    int error = 0;
    if (!out_.Create(*target_, error)) return report_.WriteFailed(error);
    report_.StartProgress(ChainFilesSize());
    return ReadLenientlyInto();
}

ConversionResult Decoder::ReadLenientlyInto() {
    using Kind = LenientResult::Kind;
    const LenientResult result = ReadChainLeniently(chain_, out_, targetId_, &report_);
    switch (result.kind) {
        case Kind::Verified:
        case Kind::Mismatch: {
            const bool verified = result.kind == Kind::Verified;
            std::filesystem::path where;
            int error = 0;
            if (!out_.Keep(verified ? DecodedFile::Fate::Verified : DecodedFile::Fate::Unverified, where, error)) {
                return report_.WriteFailed(error);
            }
            if (written_ != nullptr) *written_ = where;
            if (verified) return report_.Repaired();
            return report_.ChecksumMismatch(where.filename() != out_.Target().filename() ? where
                                                                                         : std::filesystem::path());
        }
        case Kind::NotHexText:
            return report_.NotHexText();
        case Kind::PartMissing:
            return report_.OpenPartFailed(result.partName, result.error);
        case Kind::WrongOrder:
            return report_.WrongOrder();
        case Kind::SameFile:
            return report_.SameFile();
        case Kind::ReadFailed:
            return report_.ReadSourceFailed(result.error);
        case Kind::WriteFailed:
            return report_.WriteFailed(result.error);
        case Kind::Stopped:
            break;
    }
    return ConversionResult::Failed;
}

}  // namespace

ConversionResult HexToBin(ChainSource& chain, const std::filesystem::path& target, Services services,
                          std::filesystem::path* written, PublishBatch* batch) {
    std::optional<FileId> targetId;
    struct stat st {};
    // A symbolic link at the target, even a dangling one, is an existing
    // target; it is replaced itself, never written through.
    if (::lstat(target.c_str(), &st) == 0) {
        FileId linked;
        if (GetFileId(target, linked)) targetId = linked;
        // The decoder never writes over its own input.
        FileId id;
        if (targetId && chain.FirstId(id) && id == *targetId) {
            Reporter(services).SameFile();
            return ConversionResult::Failed;
        }
        if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            if (!Reporter(services).MayReplace(target, 1)) return ConversionResult::Failed;
        }
    }
    DecodedFile out;
    out.PublishWith(batch);
    return Decoder(services, chain, out, targetId).Run(&target, written);
}

ConversionResult HexToBin(const std::filesystem::path& source, const std::filesystem::path& target,
                          Services services, std::filesystem::path* written) {
    FolderChain chain(source);
    return HexToBin(chain, target, services, written);
}

ConversionResult CheckHexText(ChainSource& chain, Services services) {
    DecodedFile out;
    return Decoder(services, chain, out, std::nullopt).Run(nullptr, nullptr);
}

ConversionResult CheckHexText(const std::filesystem::path& source, Services services) {
    FolderChain chain(source);
    return CheckHexText(chain, services);
}

}  // namespace calverdon
