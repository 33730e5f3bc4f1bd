#pragma once
// A private folder (mode 0700) in the temporary folder for files that only
// this run needs, such as copies of mail content. It goes with everything
// in it when the object goes; the numbered files it hands out also go when
// one of the signals of RemovePendingFilesOnSignals() ends the process.

#include <cstdint>
#include <filesystem>
#include <string>

namespace calverdon {

class ScratchFolder {
public:
    // Made in `base`, or when that is empty in $TMPDIR (or /tmp), under a
    // name that begins with `prefix`. Throws
    // std::filesystem::filesystem_error when it cannot be made.
    explicit ScratchFolder(const std::string& prefix = "calverdon", const std::filesystem::path& base = {});
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
    // A path for a new file, "1", "2" and so on, which a signal removes.
    std::filesystem::path NewFile();
    // Removes everything in the folder, which stays.
    void Empty();

private:
    std::filesystem::path path_;
    int registration_ = -1;
    std::uint64_t files_ = 0;
};

}  // namespace calverdon
