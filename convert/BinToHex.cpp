#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "Cp1252.h"
#include "File.h"
#include "HexSimd.h"
#include "BinToHex.h"
#include "Names.h"
#include "FormatRules.h"
#include "PendingFileSet.h"
#include "Report.h"

namespace calverdon {
namespace {

// The two lowercase hex digits of every byte value, as the encoder writes
// them ("%02x").
constexpr std::array<std::array<char, 2>, 256> kHexPairs = [] {
    constexpr char digits[] = "0123456789abcdef";
    std::array<std::array<char, 2>, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = {digits[b >> 4], digits[b & 15]};
    return table;
}();

// Writes the hex digits of the `count` bytes at `in` to `out`.
void WriteHexDigits(const unsigned char* in, std::size_t count, char* out) {
    std::size_t i = 0;
#if defined(CALVERDON_HAVE_SSE2)
    for (; i + 16 <= count; i += 16) EncodeHexBlock(in + i, out + 2 * i);
#endif
    for (; i < count; ++i) {
        out[2 * i] = kHexPairs[in[i]][0];
        out[2 * i + 1] = kHexPairs[in[i]][1];
    }
}

// The part of the running checksum that `bytes` add: their sum plus 4 for
// each.
std::uint32_t ChecksumOf(std::span<const unsigned char> bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
#if defined(CALVERDON_HAVE_SSE2)
    for (; i + 16 <= bytes.size(); i += 16) sum += SumHexBlockBytes(bytes.data() + i);
#endif
    for (; i < bytes.size(); ++i) sum += bytes[i];
    return sum + 4u * static_cast<std::uint32_t>(bytes.size());
}

// The size limit in characters for a number of kilobytes as typed. Numbers
// of kilobytes too large for the 32-bit limit give the largest limit, not a
// wrapped, tiny one; negative numbers give a limit that is never reached.
std::uint32_t SizeLimitFor(std::string_view kilobytesText) {
    const std::int32_t kilobytes = ParseKilobytes(kilobytesText);
    if (kilobytes > static_cast<std::int32_t>(UINT32_MAX / 1024u)) return UINT32_MAX;
    return static_cast<std::uint32_t>(kilobytes) * 1024u;
}

// Where the encoder ends data lines and parts. Counted per part are 2 for
// every hex pair and 2 for every line end; a part is closed as soon as that
// count exceeds the limit. The same walk serves for planning the parts
// before anything is written and for writing them.
class Layout {
public:
    Layout(LineGenerator& lines, int firstLineTarget, std::uint32_t sizeLimit)
        : lines_(lines), lineTarget_(firstLineTarget), sizeLimit_(sizeLimit) {}

    // How many bytes may be written before a line end or a split can fall
    // due; only the last of them needs the checks of Advance().
    std::uint64_t Room() const {
        std::uint64_t room = static_cast<std::uint64_t>(lineTarget_ - lineCount_ + 1) / 2;
        if (sizeLimit_ != 0) room = std::min<std::uint64_t>(room, (sizeLimit_ - partSize_) / 2 + 1);
        return room;
    }

    struct Events {
        bool lineEnd = false;
        bool split = false;
    };
    // Takes `bytes` written bytes into account (at most Room()).
    Events Advance(std::uint64_t bytes) {
        Events events;
        partSize_ += 2 * bytes;
        lineCount_ += static_cast<int>(2 * bytes);
        if (lineCount_ >= lineTarget_) {
            events.lineEnd = true;
            lineTarget_ = lines_.NextLineTarget();
            lineCount_ = 0;
            partSize_ += 2;
        }
        if (sizeLimit_ != 0 && partSize_ > sizeLimit_) {
            events.split = true;
            partSize_ = 0;
        }
        return events;
    }

private:
    LineGenerator& lines_;
    int lineTarget_;
    int lineCount_ = 0;          // hex digits on the current data line
    std::uint64_t partSize_ = 0;  // counted characters of the current part
    std::uint32_t sizeLimit_;
};

// How many parts encoding `size` bytes will write, walked on a copy of the
// line generator so that the real one does not move.
std::uint32_t CountParts(std::uint64_t size, const LineGenerator& lines, int firstLineTarget,
                         std::uint32_t sizeLimit) {
    if (sizeLimit == 0) return 1;
    LineGenerator copy = lines;
    Layout layout(copy, firstLineTarget, sizeLimit);
    std::uint32_t parts = 1;
    while (size > 0) {
        const std::uint64_t bytes = std::min(size, layout.Room());
        size -= bytes;
        if (layout.Advance(bytes).split) ++parts;
    }
    return parts;
}

class Encoder {
public:
    Encoder(Services services, LineGenerator& lines) : report_(services), lines_(lines) {}

    ConversionResult Run(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::string_view kilobytesText);

private:
    // Checks every path the run will write before anything is written:
    // none may be the source, a folder or a FIFO, and replacing existing
    // files needs the user's yes. Failed when the run must not go on.
    ConversionResult CheckTargets(std::uint32_t parts);
    // When the run replaces a chain: that chain's parts beyond the new last
    // part, each known by its own first line "N LfdNr", which would be
    // left behind as strays otherwise.
    ConversionResult FindObsoleteParts(std::uint32_t parts);
    ConversionResult Publish();
    ConversionResult StartPart(std::uint32_t number);
    ConversionResult EndPart(std::string_view lastLine);
    ConversionResult Encode(BufferedReader& reader, Layout& layout);

    Reporter report_;
    LineGenerator& lines_;

    std::filesystem::path target_;
    std::string firstPartAnsi_;
    FileId sourceId_;
    std::uint64_t sourceSize_ = 0;
    std::string firstLineName_;
    std::uint32_t partNumber_ = 0;
    // Every part stays pending until all are written; then they appear
    // together, or on a failure not at all.
    PendingFileSet parts_;
    std::vector<std::filesystem::path> obsolete_;
};

ConversionResult Encoder::CheckTargets(std::uint32_t parts) {
    std::uint64_t existing = 0;
    std::filesystem::path first;
    for (std::uint32_t number = 1; number <= parts; ++number) {
        const std::filesystem::path path = PartPath(target_, number);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        FileId id;
        if (GetFileId(path, id) && id == sourceId_) return report_.SameFile();
        if (S_ISDIR(st.st_mode)) return report_.CreateTargetFailed(EISDIR);
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            return report_.CreateTargetFailed(kNotRegularFile);
        }
        // A file that could not be opened for writing is not replaced either.
        if (S_ISREG(st.st_mode) && ::access(path.c_str(), W_OK) != 0) {
            return report_.CreateTargetFailed(errno);
        }
        if (existing++ == 0) first = path;
    }
    if (existing > 0 && first == target_) {
        if (const auto found = FindObsoleteParts(parts); found != ConversionResult::Succeeded) return found;
    }
    if (existing > 0 && !report_.MayReplace(first, existing, obsolete_.size())) return ConversionResult::Failed;
    return ConversionResult::Succeeded;
}

ConversionResult Encoder::FindObsoleteParts(std::uint32_t parts) {
    for (std::uint64_t number = std::uint64_t{parts} + 1; number <= UINT32_MAX; ++number) {
        const std::filesystem::path path = PartPath(target_, static_cast<std::uint32_t>(number));
        int error = 0;
        UniqueFd fd = OpenForReading(path, error);
        // Where there is no further file, the old chain ends; a file that
        // cannot be read cannot be told to be a part, and the run stops
        // rather than leave it among the new parts unasked.
        if (!fd.IsOpen()) return error == ENOENT ? ConversionResult::Succeeded : report_.CreateTargetFailed(error);
        FileId id;
        if (!GetFileId(fd.Get(), id) || id == sourceId_) return ConversionResult::Succeeded;
        BufferedReader reader(std::move(fd));
        const std::string line = reader.GetLine(format::kMaxLine);
        if (reader.Error() != 0) return report_.CreateTargetFailed(reader.Error());
        if (format::PartNumberOf(format::PlainLine(line)) != number) return ConversionResult::Succeeded;
        obsolete_.push_back(path);
    }
    return ConversionResult::Succeeded;
}

ConversionResult Encoder::StartPart(std::uint32_t number) {
    partNumber_ = number;
    int error = 0;
    if (number == 1 && !parts_.Create(target_.parent_path(), error)) return report_.CreateTargetFailed(error);
    if (!parts_.StartFile(error)) return report_.CreateTargetFailed(error);
    if (number == 1) {
        std::string header(kMagicLine);
        header += "\r\n";
        header += firstLineName_;
        header += "\r\n";
        parts_.Writer().Write(header);
    } else {
        parts_.Writer().Write(std::to_string(number) + " LfdNr\r\n");
    }
    return ConversionResult::Succeeded;
}

ConversionResult Encoder::EndPart(std::string_view lastLine) {
    parts_.Writer().Write(lastLine);
    int error = 0;
    if (!parts_.FinishFile(/*sync=*/false, error)) return report_.WriteFailed(error);
    return ConversionResult::Succeeded;
}

ConversionResult Encoder::Publish() {
    std::vector<std::filesystem::path> targets;
    targets.reserve(parts_.Count());
    for (std::uint32_t number = 1; number <= parts_.Count(); ++number) targets.push_back(PartPath(target_, number));
    int error = 0;
    if (!parts_.Publish(targets, obsolete_, /*sync=*/false, error)) return report_.WriteFailed(error);
    return ConversionResult::Succeeded;
}

ConversionResult Encoder::Encode(BufferedReader& reader, Layout& layout) {
    std::uint32_t checksum = kChecksumStart;
    std::uint64_t bytesRead = 0;
    report_.StartProgress(sourceSize_);
    for (auto span = reader.Peek(); !span.empty(); reader.Consume(span.size()), span = reader.Peek()) {
        checksum += ChecksumOf(span);
        for (std::size_t offset = 0; offset < span.size();) {
            // Plain digits up to the next byte after which a line end, a
            // progress value or a split may be due.
            const std::uint64_t progressRoom =
                report_.NextProgressAt() > bytesRead ? report_.NextProgressAt() - bytesRead : 1;
            const std::uint64_t batch = std::min({span.size() - offset, layout.Room(), progressRoom});
            BufferedWriter& out = parts_.Writer();
            WriteHexDigits(span.data() + offset, batch, reinterpret_cast<char*>(out.Reserve(2 * batch)));
            out.Commit(2 * batch);
            offset += batch;
            bytesRead += batch;
            const Layout::Events events = layout.Advance(batch);
            if (events.lineEnd) out.Put2('\r', '\n');
            report_.Advance(bytesRead);
            if (out.Error() != 0) return report_.WriteFailed(out.Error());
            if (report_.StopRequested()) return ConversionResult::Failed;
            if (!events.split) continue;
            const std::string next = PartFileName(firstPartAnsi_, partNumber_ + 1);
            if (const auto ended = EndPart("++" + next + "\r\n"); ended != ConversionResult::Succeeded) return ended;
            if (const auto started = StartPart(partNumber_ + 1); started != ConversionResult::Succeeded) {
                return started;
            }
        }
    }
    if (reader.Error() != 0) return report_.ReadSourceFailed(reader.Error());
    char endLine[16];
    std::snprintf(endLine, sizeof endLine, "~~%08X", static_cast<unsigned>(checksum));
    if (const auto ended = EndPart(endLine); ended != ConversionResult::Succeeded) return ended;
    return Publish();
}

ConversionResult Encoder::Run(const std::filesystem::path& source, const std::filesystem::path& target,
                              std::string_view kilobytesText) {
    // The first line length is drawn before anything else, also by a run
    // that then fails, so that the sequence of lengths does not depend on
    // which runs succeed.
    const int firstLineTarget = lines_.NextLineTarget();
    const std::uint32_t sizeLimit = SizeLimitFor(kilobytesText);
    target_ = target;
    firstPartAnsi_ = Utf8ToCp1252(target.filename().string());
    firstLineName_ = Utf8ToCp1252(source.filename().string());

    int error = 0;
    UniqueFd sourceFd = OpenForReading(source, error);
    if (!sourceFd.IsOpen()) return report_.OpenSourceFailed(error);
    struct stat st {};
    if (::fstat(sourceFd.Get(), &st) != 0) return report_.OpenSourceFailed(errno);
    sourceId_ = {st.st_dev, st.st_ino};
    sourceSize_ = static_cast<std::uint64_t>(st.st_size);
    if (sourceSize_ == 0) return report_.SourceIsEmpty();

    const std::uint32_t parts = CountParts(sourceSize_, lines_, firstLineTarget, sizeLimit);
    if (const auto checked = CheckTargets(parts); checked != ConversionResult::Succeeded) return checked;
    if (const auto started = StartPart(1); started != ConversionResult::Succeeded) return started;
    BufferedReader reader(std::move(sourceFd));
    Layout layout(lines_, firstLineTarget, sizeLimit);
    return Encode(reader, layout);
}

}  // namespace

ConversionResult BinToHex(const std::filesystem::path& source, const std::filesystem::path& target,
                          std::string_view kilobytesText, Services services, LineGenerator& lines) {
    return Encoder(services, lines).Run(source, target, kilobytesText);
}

}  // namespace calverdon
