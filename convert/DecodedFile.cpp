#include "DecodedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "File.h"
#include "Messages.h"

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
    if (!file_.Create(target.parent_path(), error)) return false;
    // A replaced file keeps its permissions; a link is replaced by a
    // file of the usual mode, whatever its destination's mode is.
    if (exists && S_ISREG(existing.st_mode)) file_.SetPermissions(existing.st_mode);
    if (kSyncToDisk) file_.Writer().StartWritebackEarly();
    target_ = target;
    return true;
}

bool DecodedFile::Keep(Fate fate, std::filesystem::path& written, int& error) {
    if (!file_.IsOpen()) return true;
    if (fate == Fate::Verified) {
        written = target_;
        return file_.Replace(target_, kSyncToDisk, error);
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        written = attempt == 0 ? target_ : DamagedName(target_, attempt);
        if (file_.PublishNew(written, kSyncToDisk, error)) return true;
        if (error != EEXIST) return false;
    }
    file_.Discard();
    return false;
}

}  // namespace calverdon
