#include "DecodedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "File.h"
#include "Messages.h"
#include "SystemCalls.h"

namespace calverdon {
namespace {

// Fuzzing builds skip the syncs, which would otherwise take nearly all of
// their time; every other build syncs.
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
constexpr bool kSyncToDisk = false;
#else
constexpr bool kSyncToDisk = true;
#endif

// The longest file name the target's folder takes.
std::size_t NameMax(const std::filesystem::path& folder) {
    const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : 255;
}

// `text` cut to at most `bytes` bytes, never inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return text.substr(0, bytes);
}

// The name beside `target` under which a result that failed its checksum is
// kept when a file already stands at the target: "bericht (beschädigt).pdf",
// then "bericht (beschädigt 2).pdf" and so on. Where that would be longer
// than the folder allows, the stem is shortened (and, were that not enough,
// the extension dropped), so that the result is never lost for its name.
std::filesystem::path DamagedName(const std::filesystem::path& target, int attempt) {
    std::string mark(texts::kDamagedSuffix);
    if (attempt > 1) mark += " " + std::to_string(attempt);
    mark += ")";
    std::string stem = target.stem().string();
    std::string extension = target.extension().string();
    const std::size_t max = NameMax(target.parent_path());
    if (mark.size() + extension.size() >= max) extension.clear();
    if (stem.size() + mark.size() + extension.size() > max) stem = CutUtf8(stem, max - mark.size() - extension.size());
    return target.parent_path() / (stem + mark + extension);
}

}  // namespace

bool DecodedFile::Create(const std::filesystem::path& target, int& error) {
    struct stat existing {};
    const bool exists = ::lstat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
        error = kNotRegularFile;
        return false;
    }
    // A file that could not be opened for writing is not replaced either.
    if (exists && S_ISREG(existing.st_mode) && ::access(target.c_str(), W_OK) != 0) {
        error = errno;
        return false;
    }
    if (!file_) file_ = std::make_unique<PendingFile>();
    if (!file_->Create(target.parent_path(), error)) return false;
    // A replaced file keeps its permissions; a link is replaced by a
    // file of the usual mode, whatever its destination's mode is.
    if (exists && S_ISREG(existing.st_mode)) file_->SetPermissions(existing.st_mode);
    if (kSyncToDisk) file_->Writer().StartWritebackEarly();
    target_ = target;
    return true;
}

namespace {

// Names the finished `file`: replacing `target` when verified, beside an
// existing one otherwise; false, with `error`, when that fails.
bool Name(PendingFile& file, const std::filesystem::path& target, DecodedFile::Fate fate, bool sync,
          std::filesystem::path& written, int& error) {
    if (fate == DecodedFile::Fate::Verified) {
        written = target;
        return file.Replace(target, sync, error);
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        written = attempt == 0 ? target : DamagedName(target, attempt);
        if (file.PublishNew(written, sync, error)) return true;
        if (error != EEXIST) return false;
    }
    file.Discard();
    return false;
}

}  // namespace

bool DecodedFile::Keep(Fate fate, std::filesystem::path& written, int& error) {
    if (!file_ || !file_->IsOpen()) return true;
    if (batch_ == nullptr) return Name(*file_, target_, fate, kSyncToDisk, written, error);
    // Where the result will go: for one that failed its checksum the first
    // name beside the target that nothing takes yet.
    written = target_;
    for (int attempt = 1; fate == Fate::Unverified && attempt < 1000; ++attempt) {
        struct stat st {};
        if (::lstat(written.c_str(), &st) != 0 && !batch_->Plans(written)) break;
        written = DamagedName(target_, attempt);
    }
    if (!file_->Complete(error)) return false;
    batch_->Add(std::move(file_), target_, written, fate);
    file_ = std::make_unique<PendingFile>();
    return true;
}

std::size_t PublishBatch::Add(std::unique_ptr<PendingFile> file, const std::filesystem::path& target,
                              const std::filesystem::path& planned, DecodedFile::Fate fate) {
    const std::size_t ticket = outcomes_.size();
    outcomes_.push_back({planned, 0, false});
    planned_.insert(planned);
    waiting_.push_back({std::move(file), target, fate, ticket});
    if (waiting_.size() >= kSize) Publish();
    return ticket;
}

void PublishBatch::Publish() {
    if (waiting_.empty()) return;
    // One sync of the file system takes every waiting result's data to
    // the disk; only then does any of them get its name.
    int synced = 0;
    if (kSyncToDisk) synced = sys::SyncFs(waiting_.front().file->Descriptor());
    for (Waiting& result : waiting_) {
        Outcome& outcome = outcomes_[result.ticket];
        if (kSyncToDisk && synced != 0) {
            outcome.error = errno;
            result.file->Discard();
            continue;
        }
        int error = 0;
        if (result.fate == DecodedFile::Fate::Verified) {
            outcome.published = result.file->Replace(result.target, false, error);
        } else {
            outcome.published = result.file->PublishNew(outcome.written, false, error);
            // Taken meanwhile: the next free name beside the target.
            if (!outcome.published && error == EEXIST) {
                outcome.published = Name(*result.file, result.target, result.fate, false, outcome.written, error);
            }
        }
        outcome.error = outcome.published ? 0 : error;
    }
    // And the new names themselves, in one sync of their folder.
    if (kSyncToDisk) SyncFolderOf(waiting_.front().target);
    waiting_.clear();
    planned_.clear();
}

}  // namespace calverdon
