#include "ScratchFolder.h"

#include <cerrno>
#include <system_error>

#include "PendingFile.h"
#include "SignalCleanup.h"
#include "SystemCalls.h"

namespace calverdon {

ScratchFolder::ScratchFolder(const std::string& prefix, const std::filesystem::path& base) {
    std::error_code ignored;
    std::filesystem::path folder = base.empty() ? std::filesystem::temp_directory_path(ignored) : base;
    if (folder.empty()) folder = "/tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path name = HiddenTempName(folder, "");
        // Not hidden: a folder in the temporary folder is found by its name.
        name.replace_filename(prefix + "-" + name.filename().string().substr(std::string(".calverdon-").size()));
        cleanup::SignalsHeld held;
        if (sys::Mkdir(name.c_str(), 0700) == 0) {
            path_ = name;
            registration_ = cleanup::RegisterFolder(name);
            return;
        }
        if (errno != EEXIST) break;
    }
    throw std::filesystem::filesystem_error("mkdir", std::error_code(errno, std::generic_category()));
}

ScratchFolder::~ScratchFolder() {
    cleanup::SignalsHeld held;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    cleanup::Unregister(registration_);
}

std::filesystem::path ScratchFolder::NewFile() {
    cleanup::SignalsHeld held;
    ++files_;
    // Counted before the file exists: a signal then only tries to remove a
    // name that nothing else uses, inside this private folder.
    cleanup::SetMemberCount(registration_, static_cast<long>(files_));
    return path_ / std::to_string(files_);
}

void ScratchFolder::Empty() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

}  // namespace calverdon
