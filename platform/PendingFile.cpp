#include "PendingFile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace calverdon {
namespace {

// The temporary names that a signal must remove. A handler may only use
// plain memory and async-signal-safe calls, so the names live in a fixed
// table; a name that does not fit is simply not removed on a signal.
struct TempNameSlot {
    volatile sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};
std::array<TempNameSlot, 16> g_tempNames;

int RegisterTempName(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < g_tempNames.size(); ++i) {
        if (g_tempNames[i].used != 0) continue;
        std::memcpy(g_tempNames[i].path, text.c_str(), text.size() + 1);
        g_tempNames[i].used = 1;
        return static_cast<int>(i);
    }
    return -1;
}

void UnregisterTempName(int& slot) {
    if (slot >= 0) g_tempNames[static_cast<std::size_t>(slot)].used = 0;
    slot = -1;
}

extern "C" void RemoveTempNamesAndDie(int signal) {
    for (auto& slot : g_tempNames) {
        if (slot.used != 0) ::unlink(slot.path);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// A hidden name in `folder` that nothing uses yet is found by trying.
std::filesystem::path TempNameIn(const std::filesystem::path& folder) {
    static std::random_device random;
    char name[32];
    std::snprintf(name, sizeof name, ".calverdon-%08x.tmp", static_cast<unsigned>(random()));
    return folder.empty() ? std::filesystem::path(name) : folder / name;
}

// Unnamed files need /proc to be given a name later.
bool CanNameUnnamedFiles() { return ::access("/proc/self/fd", X_OK) == 0; }

}  // namespace

bool PendingFile::Create(const std::filesystem::path& folder, int& error) {
    Discard();
    folder_ = folder;
    const std::filesystem::path dir = folder.empty() ? std::filesystem::path(".") : folder;
    if (CanNameUnnamedFiles()) {
        UniqueFd fd(::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
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
        const std::filesystem::path temp = TempNameIn(folder);
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.IsOpen()) {
            if (errno == EEXIST) continue;
            error = errno;
            return false;
        }
        tempName_ = temp;
        registration_ = RegisterTempName(temp);
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
        if (!writer_->Flush() || (sync && ::fsync(writer_->Fd().Get()) != 0)) {
            error = writer_->Error() != 0 ? writer_->Error() : errno;
            Discard();
            return false;
        }
        finished_ = true;
        synced_ = sync;
        // A named file is closed now, so that a failing close is seen
        // before the file gets its real name.
        if (!unnamed_ && !CloseWriter(error)) return false;
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

bool PendingFile::LinkTo(const std::filesystem::path& name, int& error) const {
    int result = 0;
    if (unnamed_) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", writer_->Fd().Get());
        result = ::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        result = ::link(tempName_.c_str(), name.c_str());
    }
    if (result != 0) error = errno;
    return result == 0;
}

bool PendingFile::Replace(const std::filesystem::path& target, bool sync, int& error) {
    if (!Finish(sync, error)) return false;
    if (unnamed_) {
        // An unnamed file cannot be renamed over the target: it gets a
        // temporary name first, for the moment until the rename.
        for (int attempt = 0;; ++attempt) {
            const std::filesystem::path temp = TempNameIn(folder_);
            if (LinkTo(temp, error)) {
                tempName_ = temp;
                registration_ = RegisterTempName(temp);
                break;
            }
            if (error != EEXIST || attempt == 100) {
                Discard();
                return false;
            }
        }
    }
    if (::rename(tempName_.c_str(), target.c_str()) != 0) {
        error = errno;
        Discard();
        return false;
    }
    UnregisterTempName(registration_);
    tempName_.clear();
    if (unnamed_ && !CloseWriter(error)) {
        ::unlink(target.c_str());
        return false;
    }
    SyncFolder(target);
    writer_.reset();
    return true;
}

bool PendingFile::PublishNew(const std::filesystem::path& target, bool sync, int& error) {
    if (!Finish(sync, error)) return false;
    if (!LinkTo(target, error)) {
        if (error != EEXIST) Discard();
        return false;
    }
    if (!unnamed_) {
        ::unlink(tempName_.c_str());
        UnregisterTempName(registration_);
        tempName_.clear();
    } else if (!CloseWriter(error)) {
        ::unlink(target.c_str());
        return false;
    }
    SyncFolder(target);
    writer_.reset();
    return true;
}

void PendingFile::Discard() {
    writer_.reset();
    if (!tempName_.empty()) ::unlink(tempName_.c_str());
    tempName_.clear();
    UnregisterTempName(registration_);
    unnamed_ = false;
    finished_ = false;
    synced_ = false;
}

void PendingFile::SyncFolder(const std::filesystem::path& target) const {
    // Makes the new name itself survive a power cut, when the data were
    // synced too.
    if (!synced_) return;
    const std::filesystem::path folder = target.parent_path();
    UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsOpen()) ::fsync(dir.Get());
}

void RemovePendingFilesOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RemoveTempNamesAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace calverdon
