#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "Cp1252.h"
#include "DecodedFile.h"
#include "File.h"
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

// The decoder reads the lines it skips (header, continuation rest, part
// number) like fgets with a 512-byte buffer: at most 511 characters.
constexpr std::size_t kMaxLine = 511;

// A checksum as scanf("%08X") reads it: white space skipped, then at most
// eight hexadecimal digits of either case. `digits` says how many were read.
struct ScannedChecksum {
    std::uint32_t value = 0;
    int digits = 0;
};

ScannedChecksum ScanChecksum(BufferedReader& reader) {
    while (reader.Want(1) >= 1 && IsCSpace(reader.Peek()[0])) reader.Consume(1);
    ScannedChecksum result;
    while (result.digits < 8 && reader.Want(1) >= 1) {
        const std::uint8_t digit = kHexDigitValue[reader.Peek()[0]];
        if (digit >= 16) break;
        result.value = result.value * 16 + digit;
        ++result.digits;
        reader.Consume(1);
    }
    return result;
}

// The data of the whole chain, when its further parts follow the usual
// naming in the first part's folder, so that progress runs once over all of
// it; otherwise those of the first part alone. `firstData` is the first
// part's size less its header.
std::uint64_t ChainDataSize(const std::filesystem::path& source, std::uint64_t firstData) {
    std::uint64_t total = firstData;
    for (std::uint32_t number = 2;; ++number) {
        struct stat st {};
        if (::stat(PartPath(source, number).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return total;
        total += static_cast<std::uint64_t>(st.st_size);
    }
}

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
    Decoder(Services services, DecodedFile& out, std::optional<FileId> targetId)
        : report_(services), out_(out), targetId_(targetId) {}

    // Steps from opening the source to the end; the target has been
    // settled by the caller. `written` tells where the result went.
    ConversionResult Run(const std::filesystem::path& source, const std::filesystem::path* target,
                         std::filesystem::path* written);

private:
    enum class Stop { EndOfData, Continuation, EndLine, WriteFailed, StopRequested };

    Stop DecodePart(BufferedReader& part);
    bool SkipHeaderLines(BufferedReader& part);
    // Opens the part that a continuation line names and checks its number;
    // nullptr after a failure that has been told.
    std::unique_ptr<BufferedReader> OpenNextPart(const std::filesystem::path& folder, BufferedReader& part,
                                                 ConversionResult& failure);
    ConversionResult Finish(bool mismatch);
    // After a failed checksum, or a failure that mail's changes to the text
    // can cause: the chain read once more the lenient way
    // (TolerantReading.h); true when that gave a verified result, which is
    // then kept.
    bool Repaired();
    template <typename Report>
    ConversionResult FailUnlessRepaired(Report report) {
        return Repaired() ? report_.Repaired() : report();
    }
    bool IsTarget(const FileId& id) const { return targetId_ && id == *targetId_; }

    Reporter report_;
    DecodedFile& out_;
    std::optional<FileId> targetId_;
    // Every part read so far, so that a chain that loops back on itself
    // ends at the first part it would read again.
    std::set<std::pair<dev_t, ino_t>> partsRead_;
    std::filesystem::path source_;
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
        const std::string text = part.GetLine(kMaxLine);
        if (text.size() == kMaxLine && text.back() != '\n' && part.Want(1) > 0) return false;
    }
    return true;
}

std::unique_ptr<BufferedReader> Decoder::OpenNextPart(const std::filesystem::path& folder, BufferedReader& part,
                                                      ConversionResult& failure) {
    // "++": the rest of the line names the next part, less its CR LF.
    std::string rest = part.GetLine(kMaxLine);
    rest.resize(rest.size() >= 2 ? rest.size() - 2 : 0);
    rest.resize(std::strlen(rest.c_str()));
    const std::string name = SafeFileName(Cp1252ToUtf8(rest));
    int error = ENOENT;
    UniqueFd fd = name.empty() ? UniqueFd() : OpenForReading(folder / name, error);
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
    auto next = std::make_unique<BufferedReader>(std::move(fd));
    const long number = ReadLeadingNumber(next->GetLine(kMaxLine));
    ++expectedPart_;
    if (number != expectedPart_ || !partsRead_.insert({id.device, id.inode}).second) {
        failure = FailUnlessRepaired([&] { return report_.WrongOrder(); });
        return nullptr;
    }
    return next;
}

ConversionResult Decoder::Run(const std::filesystem::path& source, const std::filesystem::path* target,
                              std::filesystem::path* written) {
    const std::filesystem::path folder = source.parent_path();
    source_ = source;
    target_ = target;
    written_ = written;

    int error = 0;
    UniqueFd sourceFd = OpenForReading(source, error);
    if (!sourceFd.IsOpen()) return report_.OpenSourceFailed(error);
    struct stat st {};
    if (::fstat(sourceFd.Get(), &st) != 0) return report_.OpenSourceFailed(errno);
    partsRead_.insert({st.st_dev, st.st_ino});
    if (st.st_size == 0) return report_.SourceIsEmpty();
    if (target != nullptr && !out_.Create(*target, error)) {
        return report_.CreateTargetFailed(error);
    }

    auto part = std::make_unique<BufferedReader>(std::move(sourceFd));
    if (!SkipHeaderLines(*part)) return FailUnlessRepaired([&] { return report_.NotHexText(); });
    report_.StartProgress(ChainDataSize(source, static_cast<std::uint64_t>(st.st_size) - part->Offset()));

    for (;;) {
        const Stop stop = DecodePart(*part);
        if (stop == Stop::WriteFailed) return report_.WriteFailed(out_.Error());
        // The user stopped the run: nothing is shown, the pending result goes.
        if (stop == Stop::StopRequested) return ConversionResult::Failed;
        if (part->Error() != 0) return report_.ReadSourceFailed(part->Error());
        if (stop == Stop::EndLine) {
            const ScannedChecksum sum = ScanChecksum(*part);
            return Finish(sum.digits == 0 || sum.value != checksum_);
        }
        // Data that end without their end line are cut short: a truncated
        // file must not pass as good.
        if (stop == Stop::EndOfData) return Finish(true);

        ConversionResult failure = ConversionResult::Failed;
        part = OpenNextPart(folder, *part, failure);
        if (!part) return failure;
    }
}

ConversionResult Decoder::Finish(bool mismatch) {
    if (mismatch && Repaired()) return report_.Repaired();
    std::filesystem::path where;
    int error = 0;
    if (!out_.Keep(!mismatch, where, error)) return report_.WriteFailed(error);
    if (written_ != nullptr) *written_ = where;
    if (!mismatch) return ConversionResult::Succeeded;
    return report_.ChecksumMismatch(where.filename() != out_.Target().filename() ? where : std::filesystem::path());
}

bool Decoder::Repaired() {
    DecodedFile retry;
    int error = 0;
    if (target_ != nullptr && !retry.Create(*target_, error)) return false;
    if (!ReadChainTolerantly(source_, retry, targetId_)) return false;
    std::filesystem::path where;
    if (!retry.Keep(true, where, error)) return false;
    if (written_ != nullptr) *written_ = where;
    return true;
}

}  // namespace

ConversionResult HexToBin(const std::filesystem::path& source, const std::filesystem::path& target,
                          Services services, std::filesystem::path* written) {
    std::optional<FileId> targetId;
    FileId id;
    struct stat st {};
    // A symbolic link at the target, even a dangling one, is an existing
    // target; it is replaced itself, never written through.
    if (::lstat(target.c_str(), &st) == 0) {
        FileId linked;
        if (GetFileId(target, linked)) targetId = linked;
        // The decoder never writes over its own input.
        if (targetId && GetFileId(source, id) && id == *targetId) {
            Reporter(services).SameFile();
            return ConversionResult::Failed;
        }
        if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            if (!Reporter(services).MayReplace(target, 1)) return ConversionResult::Failed;
        }
    }
    DecodedFile out;
    return Decoder(services, out, targetId).Run(source, &target, written);
}

ConversionResult CheckHexText(const std::filesystem::path& source, Services services) {
    DecodedFile out;
    return Decoder(services, out, std::nullopt).Run(source, nullptr, nullptr);
}

}  // namespace calverdon
