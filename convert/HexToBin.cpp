#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <random>

#include "Cp1252.h"
#include "File.h"
#include "HexSimd.h"
#include "HexText.h"
#include "Names.h"
#include "PairReading.h"

namespace calverdon {

long ReadLeadingNumber(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && IsCSpace(static_cast<unsigned char>(line[i]))) ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    unsigned long magnitude = 0;
    const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        const auto digit = static_cast<unsigned long>(line[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (!negative) return static_cast<long>(magnitude);
    return magnitude == static_cast<unsigned long>(LONG_MAX) + 1 ? LONG_MIN : -static_cast<long>(magnitude);
}

namespace {

// The decoder reads the lines it skips (header, continuation rest, part
// number) like fgets with a 512-byte buffer: at most 511 characters.
constexpr std::size_t kMaxLine = 511;

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

// Fuzzing builds skip the syncs, which would otherwise take nearly all of
// their time; every other build syncs.
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
constexpr bool kSyncToDisk = false;
#else
constexpr bool kSyncToDisk = true;
#endif

// The decoded file under construction. It is written under a temporary name
// in the target's folder, synced and renamed over the target only when it
// is complete, so that a file at the target path is either what stood there
// before or the whole result, never a part of it. Without a target path the
// bytes are counted and dropped (checking a chain).
class DecodedFile {
public:
    ~DecodedFile() { Discard(); }

    // Creates the temporary file; the errno of a failure goes to `error`.
    bool Create(const std::filesystem::path& target, int& error) {
        struct stat existing {};
        const bool exists = ::stat(target.c_str(), &existing) == 0;
        if (exists && S_ISDIR(existing.st_mode)) {
            error = EISDIR;
            return false;
        }
        // A file that could not be opened for writing is not replaced either.
        if (exists && ::access(target.c_str(), W_OK) != 0) {
            error = errno;
            return false;
        }
        const std::filesystem::path folder = target.parent_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, ".calverdon-%08x.tmp", random());
            const std::filesystem::path temp = folder.empty() ? std::filesystem::path(name) : folder / name;
            UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (!fd.IsOpen()) {
                if (errno == EEXIST) continue;
                error = errno;
                return false;
            }
            if (exists) ::fchmod(fd.Get(), existing.st_mode & 07777);
            temp_ = temp;
            target_ = target;
            writer_.emplace(std::move(fd));
            if (kSyncToDisk) writer_->StartWritebackEarly();
            return true;
        }
        error = EEXIST;
        return false;
    }

    // Room for `count` decoded bytes.
    unsigned char* Reserve(std::size_t count) {
        if (writer_) return writer_->Reserve(count);
        if (scratch_.size() < count) scratch_.resize(count);
        return scratch_.data();
    }
    void Commit(std::size_t count) {
        if (writer_) writer_->Commit(count);
    }
    int Error() const { return writer_ ? writer_->Error() : 0; }

    // Syncs, closes and renames the file over the target.
    bool Keep(int& error) {
        if (!writer_) return true;
        if (!writer_->Close(kSyncToDisk)) {
            error = writer_->Error();
            return false;
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            error = errno;
            return false;
        }
        temp_.clear();
        SyncFolder();
        return true;
    }

private:
    void Discard() {
        if (temp_.empty()) return;
        writer_.reset();
        ::unlink(temp_.c_str());
        temp_.clear();
    }

    // Makes the rename itself survive a power cut.
    void SyncFolder() const {
        if (!kSyncToDisk) return;
        const std::filesystem::path folder = target_.parent_path();
        UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.IsOpen()) ::fsync(dir.Get());
    }

    std::optional<BufferedWriter> writer_;
    std::filesystem::path temp_;
    std::filesystem::path target_;
    std::vector<unsigned char> scratch_;
};

class Decoder {
public:
    Decoder(Services services, DecodedFile& out, std::optional<FileId> targetId)
        : messages_(services.messages), progress_(services.progress), out_(out), targetId_(targetId) {}

    // Steps from opening the source to the end; the target has been
    // settled by the caller.
    ConversionResult Run(const std::filesystem::path& source, const std::filesystem::path* target);

private:
    enum class Stop { EndOfData, Continuation, EndLine, WriteFailed };

    Stop DecodePart(BufferedReader& part);
    bool IsTarget(const UniqueFd& fd) const {
        FileId id;
        return targetId_ && GetFileId(fd.Get(), id) && id == *targetId_;
    }
    ConversionResult Fail(const std::string& text, const std::string& caption) {
        messages_.Show(text, caption, MessageKind::Error);
        return ConversionResult::Failed;
    }
    ConversionResult WriteFailed(int error) {
        return Fail("Windows-Fehlernr. " + std::to_string(error), "Fehler beim Schreiben der Zieldatei");
    }
    ConversionResult SameFile() { return Fail("Zieldatei und Quelldatei sind dieselbe Datei.", "Fehler"); }

    UserMessages& messages_;
    ProgressReceiver* progress_;
    DecodedFile& out_;
    std::optional<FileId> targetId_;

    std::uint32_t checksum_ = kChecksumStart;
    std::uint64_t consumed_ = 0;
    std::uint64_t dataSize_ = 0;
    // Progress is passed on only when its value changes: nextReport_ is the
    // smallest consumed count at which the value can differ from lastReport_.
    int lastReport_ = -1;
    std::uint64_t nextReport_ = 0;

    void ReportProgress() {
        const int value = dataSize_ == 0 ? 100 : static_cast<int>(consumed_ * 100 / dataSize_);
        if (value != lastReport_) {
            lastReport_ = value;
            if (progress_ != nullptr) progress_->SetProgress(value);
        }
        // The least c with c * 100 / dataSize > value.
        nextReport_ = dataSize_ == 0 ? UINT64_MAX
                                     : ((static_cast<std::uint64_t>(value) + 1) * dataSize_ + 99) / 100;
    }
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
            if (pairs - i >= 8 && consumed + 16 < nextReport_) {
                std::uint32_t sum = 0;
                const int plain = DecodeHexBlock(in + 2 * i, out, sum);
                if (plain == 8) {
                    checksum += sum + 8 * 4u;
                } else {
                    for (int k = 0; k < plain; ++k) checksum += out[k] + 4u;
                }
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
            if (consumed >= nextReport_) {
                consumed_ = consumed;
                ReportProgress();
            }
        }
        out_.Commit(static_cast<std::size_t>(out - outStart));
        part.Consume(2 * i);
        checksum_ = checksum;
        consumed_ = consumed;
        if (out_.Error() != 0) return Stop::WriteFailed;
        if (stop) return *stop;
    }
    checksum_ = checksum;
    consumed_ = consumed;
    return Stop::EndOfData;
}

ConversionResult Decoder::Run(const std::filesystem::path& source, const std::filesystem::path* target) {
    const std::filesystem::path folder = source.parent_path();

    int error = 0;
    UniqueFd sourceFd = OpenForReading(source, error);
    if (!sourceFd.IsOpen()) return Fail("beim Öffnen der Quelldatei.", ErrorCaption(error));
    struct stat st {};
    if (::fstat(sourceFd.Get(), &st) != 0) return Fail("beim Öffnen der Quelldatei.", ErrorCaption(errno));
    if (st.st_size == 0) {
        messages_.Show("ist leer", "Die Quelldatei", MessageKind::Warning);
        return ConversionResult::Failed;
    }
    if (target != nullptr && !out_.Create(*target, error)) {
        return Fail("beim Anlegen der Zieldatei.", ErrorCaption(error));
    }

    auto part = std::make_unique<BufferedReader>(std::move(sourceFd));
    part->GetLine(kMaxLine);  // magic line
    part->GetLine(kMaxLine);  // name line
    dataSize_ = static_cast<std::uint64_t>(st.st_size) - part->Offset();

    std::int16_t expectedPart = 1;
    bool mismatch = false;
    for (;;) {
        const Stop stop = DecodePart(*part);
        if (stop == Stop::WriteFailed) return WriteFailed(out_.Error());
        if (part->Error() != 0) return Fail("beim Lesen der Quelldatei.", ErrorCaption(part->Error()));
        if (stop == Stop::EndLine) {
            const ScannedChecksum sum = ScanChecksum(*part);
            mismatch = sum.digits == 0 || sum.value != checksum_;
            break;
        }
        if (stop == Stop::EndOfData) {
            // Data that end without their end line are cut short: a
            // truncated file must not pass as good.
            mismatch = true;
            break;
        }

        // "++": the rest of the line names the next part, less its CR LF.
        std::string rest = part->GetLine(kMaxLine);
        rest.resize(rest.size() >= 2 ? rest.size() - 2 : 0);
        rest.resize(std::strlen(rest.c_str()));
        part.reset();
        const std::string name = SafeFileName(Cp1252ToUtf8(rest));
        if (name.empty()) return Fail("beim Öffnen der Zieldatei.", ErrorCaption(ENOENT));
        UniqueFd nextFd = OpenForReading(folder / name, error);
        if (!nextFd.IsOpen()) return Fail("beim Öffnen der Zieldatei.", ErrorCaption(error));
        if (IsTarget(nextFd)) return SameFile();
        part = std::make_unique<BufferedReader>(std::move(nextFd));
        const long number = ReadLeadingNumber(part->GetLine(kMaxLine));
        // The part count is a signed 16-bit number, so a chain holds at most
        // 32767 parts.
        expectedPart = static_cast<std::int16_t>(expectedPart + 1);
        if (number != expectedPart) return Fail("Falsche Reihenfolge.", "Fehler");
    }
    part.reset();

    if (!out_.Keep(error)) return WriteFailed(error);
    if (mismatch) {
        messages_.Show("Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning);
        return ConversionResult::ChecksumMismatch;
    }
    return ConversionResult::Succeeded;
}

}  // namespace

ConversionResult HexToBin(const std::filesystem::path& source, const std::filesystem::path& target,
                          Services services) {
    std::optional<FileId> targetId;
    FileId id;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        targetId = FileId{st.st_dev, st.st_ino};
        // The decoder never writes over its own input.
        if (GetFileId(source, id) && id == *targetId) {
            services.messages.Show("Zieldatei und Quelldatei sind dieselbe Datei.", "Fehler",
                                   MessageKind::Error);
            return ConversionResult::Failed;
        }
        if (!S_ISDIR(st.st_mode)) {
            const std::string question = "Die Zieldatei\n" + target.string() +
                                         "\nbesteht bereits.\nSoll sie überschrieben werden?";
            if (services.messages.Show(question, "ACHTUNG", MessageKind::YesNoWarning) != kAnswerYes) {
                return ConversionResult::Failed;
            }
        }
    }
    DecodedFile out;
    return Decoder(services, out, targetId).Run(source, &target);
}

ConversionResult CheckHexText(const std::filesystem::path& source, Services services) {
    DecodedFile out;
    return Decoder(services, out, std::nullopt).Run(source, nullptr);
}

}  // namespace calverdon
