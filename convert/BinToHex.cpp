#include <sys/stat.h>

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
#include "HexText.h"
#include "Names.h"

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

class Encoder {
public:
    Encoder(Services services, LineGenerator& lines)
        : messages_(services.messages), progress_(services.progress), lines_(lines) {}

    ConversionResult Run(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::string_view kilobytesText);

private:
    ConversionResult Fail(const std::string& text, const std::string& caption) {
        messages_.Show(text, caption, MessageKind::Error);
        return ConversionResult::Failed;
    }
    ConversionResult WriteFailed(int error) {
        return Fail("Windows-Fehlernr. " + std::to_string(error), "Fehler beim Schreiben der Zieldatei");
    }
    ConversionResult SameFile() { return Fail("Zieldatei und Quelldatei sind dieselbe Datei.", "Fehler"); }
    // Creates a part, refusing to write over the source.
    ConversionResult CreatePart(const std::filesystem::path& path, std::optional<BufferedWriter>& part);
    void ReportProgress();

    UserMessages& messages_;
    ProgressReceiver* progress_;
    LineGenerator& lines_;

    FileId sourceId_;
    std::uint64_t sourceSize_ = 0;
    std::uint64_t bytesRead_ = 0;
    int lastReport_ = -1;
    std::uint64_t nextReport_ = 0;  // bytes read at which the value can change
};

void Encoder::ReportProgress() {
    const int value = static_cast<int>(bytesRead_ * 100 / sourceSize_);
    if (value != lastReport_) {
        lastReport_ = value;
        if (progress_ != nullptr) progress_->SetProgress(value);
    }
    nextReport_ = ((static_cast<std::uint64_t>(value) + 1) * sourceSize_ + 99) / 100;
}

ConversionResult Encoder::CreatePart(const std::filesystem::path& path, std::optional<BufferedWriter>& part) {
    FileId id;
    if (GetFileId(path, id) && id == sourceId_) return SameFile();
    int error = 0;
    UniqueFd fd = CreateForWriting(path, error);
    if (!fd.IsOpen()) return Fail("beim Anlegen der Zieldatei.", ErrorCaption(error));
    part.emplace(std::move(fd));
    return ConversionResult::Succeeded;
}

ConversionResult Encoder::Run(const std::filesystem::path& source, const std::filesystem::path& target,
                              std::string_view kilobytesText) {
    // The first line length is drawn before anything else, also by a run
    // that then fails, so that the sequence of lengths does not depend on
    // which runs succeed.
    int lineTarget = lines_.NextLineTarget();
    const std::uint32_t sizeLimit = static_cast<std::uint32_t>(ParseKilobytes(kilobytesText)) * 1024u;

    // Part names are built on the first part's name as Windows-1252 text,
    // which the continuation lines carry; the files on disk bear the same
    // names in UTF-8, so that the chain always finds its parts.
    const std::string firstPartAnsi = Utf8ToCp1252(target.filename().string());
    const std::filesystem::path folder = target.parent_path();

    int error = 0;
    UniqueFd sourceFd = OpenForReading(source, error);
    if (!sourceFd.IsOpen()) return Fail("beim Öffnen der Quelldatei.", ErrorCaption(error));
    struct stat st {};
    if (::fstat(sourceFd.Get(), &st) != 0) return Fail("beim Öffnen der Quelldatei.", ErrorCaption(errno));
    sourceId_ = {st.st_dev, st.st_ino};
    sourceSize_ = static_cast<std::uint64_t>(st.st_size);
    if (sourceSize_ == 0) {
        messages_.Show("ist leer", "Die Quelldatei", MessageKind::Warning);
        return ConversionResult::Failed;
    }

    std::optional<BufferedWriter> part;
    if (const auto created = CreatePart(target, part); created != ConversionResult::Succeeded) return created;

    std::string header(kMagicLine);
    header += "\r\n";
    header += Utf8ToCp1252(source.filename().string());
    header += "\r\n";
    part->Write(header);

    BufferedReader reader(std::move(sourceFd));
    std::uint32_t checksum = kChecksumStart;
    std::uint32_t partNumber = 1;
    std::uint64_t partSize = 0;  // pairs and line ends of the current part, 2 each
    int lineCount = 0;           // hex digits on the current data line

    for (;;) {
        const auto span = reader.Peek();
        if (span.empty()) break;
        checksum += ChecksumOf(span);
        std::size_t offset = 0;
        while (offset < span.size()) {
            // Write the digits up to the next byte after which a line end, a
            // progress value or a split may be due; only that byte needs the
            // checks.
            std::uint64_t batch = span.size() - offset;
            batch = std::min<std::uint64_t>(batch, static_cast<std::uint64_t>(lineTarget - lineCount + 1) / 2);
            batch = std::min<std::uint64_t>(batch, nextReport_ > bytesRead_ ? nextReport_ - bytesRead_ : 1);
            if (sizeLimit != 0) batch = std::min<std::uint64_t>(batch, (sizeLimit - partSize) / 2 + 1);

            WriteHexDigits(span.data() + offset, batch, reinterpret_cast<char*>(part->Reserve(2 * batch)));
            part->Commit(2 * batch);
            offset += batch;
            bytesRead_ += batch;
            partSize += 2 * batch;
            lineCount += static_cast<int>(2 * batch);

            if (lineCount >= lineTarget) {
                part->Put2('\r', '\n');
                lineTarget = lines_.NextLineTarget();
                lineCount = 0;
                partSize += 2;
            }
            if (bytesRead_ >= nextReport_) ReportProgress();
            if (sizeLimit != 0 && partSize > sizeLimit) {
                ++partNumber;
                const std::string nextAnsi = PartFileName(firstPartAnsi, partNumber);
                part->Write("++" + nextAnsi + "\r\n");
                if (!part->Close(/*sync=*/false)) return WriteFailed(part->Error());
                part.reset();
                partSize = 0;
                const auto created = CreatePart(folder / Cp1252ToUtf8(nextAnsi), part);
                if (created != ConversionResult::Succeeded) return created;
                part->Write(std::to_string(partNumber) + " LfdNr\r\n");
            }
            if (part->Error() != 0) return WriteFailed(part->Error());
        }
        reader.Consume(span.size());
    }
    if (reader.Error() != 0) return Fail("beim Lesen der Quelldatei.", ErrorCaption(reader.Error()));

    char endLine[16];
    std::snprintf(endLine, sizeof endLine, "~~%08X", static_cast<unsigned>(checksum));
    part->Write(endLine);
    if (!part->Close(/*sync=*/false)) return WriteFailed(part->Error());
    return ConversionResult::Succeeded;
}

}  // namespace

ConversionResult BinToHex(const std::filesystem::path& source, const std::filesystem::path& target,
                          std::string_view kilobytesText, Services services, LineGenerator& lines) {
    return Encoder(services, lines).Run(source, target, kilobytesText);
}

}  // namespace calverdon
