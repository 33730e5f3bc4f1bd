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

// The name beside `target` under which a result that failed its checksum is
// kept when a file already stands at the target: "bericht (beschädigt).pdf",
// then "bericht (beschädigt 2).pdf" and so on.
std::filesystem::path DamagedName(const std::filesystem::path& target, int attempt) {
    std::string name = target.stem().string() + std::string(texts::kDamagedSuffix);
    if (attempt > 1) name += " " + std::to_string(attempt);
    name += ")" + target.extension().string();
    return target.parent_path() / name;
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

bool DecodedFile::Keep(bool verified, std::filesystem::path& written, int& error) {
    if (!file_.IsOpen()) return true;
    if (verified) {
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
