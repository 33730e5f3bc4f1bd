#include "PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "SignalCleanup.h"
#include "SystemCalls.h"

namespace calverdon {
namespace {

// Unnamed files need /proc to be given a name later.
bool CanNameUnnamedFiles() { return ::access("/proc/self/fd", X_OK) == 0; }

}  // namespace

std::filesystem::path HiddenTempName(const std::filesystem::path& folder, const char* suffix) {
    static std::random_device random;
    char name[40];
    std::snprintf(name, sizeof name, ".calverdon-%08x%s", static_cast<unsigned>(random()), suffix);
    return folder.empty() ? std::filesystem::path(name) : folder / name;
}

bool PendingFile::Create(const std::filesystem::path& folder, int& error) {
    Discard();
    folder_ = folder;
    const std::filesystem::path dir = folder.empty() ? std::filesystem::path(".") : folder;
    if (CanNameUnnamedFiles()) {
        UniqueFd fd(sys::Open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (fd.IsOpen()) {
            unnamed_ = true;
            writer_.emplace(std::move(fd));
            return true;
        }
        // Only a file system or kernel without unnamed files falls back.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = errno;
            return false;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temp = HiddenTempName(folder, ".tmp");
        cleanup::SignalsHeld held;
        UniqueFd fd(sys::Open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.IsOpen()) {
            if (errno == EEXIST) continue;
            error = errno;
            return false;
        }
        tempName_ = temp;
        registration_ = cleanup::RegisterFile(temp);
        writer_.emplace(std::move(fd));
        return true;
    }
    error = EEXIST;
    return false;
}

void PendingFile::SetPermissions(mode_t mode) {
    if (writer_) ::fchmod(writer_->Fd().Get(), mode & 0777);
}

bool PendingFile::Finish(bool sync, int& error) {
    if (!writer_) {
        error = EBADF;
        return false;
    }
    if (!finished_) {
        if (!writer_->Flush() || (sync && sys::Fsync(writer_->Fd().Get()) != 0)) {
            error = writer_->Error() != 0 ? writer_->Error() : errno;
            Discard();
            return false;
        }
        finished_ = true;
        synced_ = sync;
    }
    return true;
}

bool PendingFile::CloseWriter(int& error) {
    const int closeError = writer_->Fd().Close();
    if (closeError != 0) {
        error = closeError;
        Discard();
        return false;
    }
    return true;
}

bool PendingFile::NameUnnamedFile(int& error) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", writer_->Fd().Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temp = HiddenTempName(folder_, ".tmp");
        cleanup::SignalsHeld held;
        if (sys::LinkAt(AT_FDCWD, self, AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            tempName_ = temp;
            registration_ = cleanup::RegisterFile(temp);
            unnamed_ = false;
            return true;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
    Discard();
    return false;
}

bool PendingFile::Replace(const std::filesystem::path& target, bool sync, int& error) {
    if (!Finish(sync, error)) return false;
    // The file gets a temporary name and is closed before the rename, so
    // that a failing close leaves the old target as it was; after the
    // rename nothing can fail any more that would undo it.
    if (unnamed_ && !NameUnnamedFile(error)) return false;
    if (!CloseWriter(error)) return false;
    {
        cleanup::SignalsHeld held;
        if (sys::Rename(tempName_.c_str(), target.c_str()) != 0) {
            error = errno;
            Discard();
            return false;
        }
        cleanup::Unregister(registration_);
        tempName_.clear();
    }
    SyncFolder(target);
    writer_.reset();
    return true;
}

bool PendingFile::PublishNew(const std::filesystem::path& target, bool sync, int& error) {
    if (!Finish(sync, error)) return false;
    if (unnamed_ && !NameUnnamedFile(error)) return false;
    if (writer_->Fd().IsOpen() && !CloseWriter(error)) return false;
    // A second name first, then the temporary one goes: where the target
    // exists already, the link fails and the file stays pending.
    if (sys::Link(tempName_.c_str(), target.c_str()) != 0) {
        error = errno;
        if (error != EEXIST) Discard();
        return false;
    }
    {
        cleanup::SignalsHeld held;
        sys::Unlink(tempName_.c_str());
        cleanup::Unregister(registration_);
        tempName_.clear();
    }
    SyncFolder(target);
    writer_.reset();
    return true;
}

void PendingFile::Discard() {
    writer_.reset();
    if (!tempName_.empty()) {
        cleanup::SignalsHeld held;
        sys::Unlink(tempName_.c_str());
        cleanup::Unregister(registration_);
        tempName_.clear();
    }
    unnamed_ = false;
    finished_ = false;
    synced_ = false;
}

void PendingFile::SyncFolder(const std::filesystem::path& target) const {
    // Makes the new name itself survive a power cut, when the data were
    // synced too.
    if (!synced_) return;
    SyncFolderOf(target);
}

void SyncFolderOf(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    UniqueFd dir(sys::Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsOpen()) sys::Fsync(dir.Get());
}

}  // namespace calverdon
