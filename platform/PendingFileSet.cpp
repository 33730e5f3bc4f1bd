#include "PendingFileSet.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <utility>

#include "PendingFile.h"
#include "SignalCleanup.h"
#include "SystemCalls.h"

namespace calverdon {

std::filesystem::path PendingFileSet::Member(std::size_t number) const {
    return folder_ / std::to_string(number);
}

bool PendingFileSet::Create(const std::filesystem::path& folder, int& error) {
    Discard();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path name = HiddenTempName(folder, "");
        cleanup::SignalsHeld held;
        if (sys::Mkdir(name.c_str(), 0700) == 0) {
            folder_ = name;
            registration_ = cleanup::RegisterFolder(name);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
    return false;
}

bool PendingFileSet::StartFile(int& error) {
    writer_.reset();
    const std::filesystem::path path = Member(count_ + 1);
    cleanup::SignalsHeld held;
    UniqueFd fd(sys::Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.IsOpen()) {
        error = errno;
        return false;
    }
    ++count_;
    cleanup::SetMemberCount(registration_, static_cast<long>(count_));
    writer_.emplace(std::move(fd));
    return true;
}

bool PendingFileSet::FinishFile(bool sync, int& error) {
    if (!writer_) {
        error = EBADF;
        return false;
    }
    const bool closed = writer_->Close(sync);
    if (!closed) error = writer_->Error();
    writer_.reset();
    return closed;
}

bool PendingFileSet::Publish(const std::vector<std::filesystem::path>& targets,
                             const std::vector<std::filesystem::path>& obsolete, bool sync, int& error) {
    if (targets.size() != count_ || writer_) {
        error = EINVAL;
        Discard();
        return false;
    }
    // No signal may end the process half way: it waits until every name
    // stands as before or as wanted.
    cleanup::SignalsHeld held;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> movedAside;  // (name, where it waits)
    std::size_t published = 0;
    const auto undo = [&] {
        while (published > 0) {
            --published;
            sys::Rename(targets[published].c_str(), Member(published + 1).c_str());
        }
        for (auto it = movedAside.rbegin(); it != movedAside.rend(); ++it) {
            sys::Rename(it->second.c_str(), it->first.c_str());
        }
        Discard();
        return false;
    };

    std::vector<std::filesystem::path> old(targets);
    old.insert(old.end(), obsolete.begin(), obsolete.end());
    for (const std::filesystem::path& name : old) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) continue;
        const std::filesystem::path aside = folder_ / ("alt-" + std::to_string(movedAside.size() + 1));
        if (sys::Rename(name.c_str(), aside.c_str()) != 0) {
            error = errno;
            return undo();
        }
        movedAside.emplace_back(name, aside);
    }
    for (; published < targets.size(); ++published) {
        if (sys::Rename(Member(published + 1).c_str(), targets[published].c_str()) != 0) {
            error = errno;
            return undo();
        }
    }
    count_ = 0;
    cleanup::SetMemberCount(registration_, 0);
    // Everything stands as wanted: the old files may go. A file that
    // cannot be removed stays in the private folder, which then stays too.
    for (const auto& moved : movedAside) sys::Unlink(moved.second.c_str());
    Discard();
    if (sync && !targets.empty()) SyncFolderOf(targets.front());
    return true;
}

void PendingFileSet::Discard() {
    writer_.reset();
    if (folder_.empty()) return;
    cleanup::SignalsHeld held;
    for (std::size_t number = count_; number >= 1; --number) sys::Unlink(Member(number).c_str());
    count_ = 0;
    cleanup::SetMemberCount(registration_, 0);
    // Only an empty folder is removed: files moved aside that could not be
    // put back stay in it rather than be lost.
    sys::Rmdir(folder_.c_str());
    cleanup::Unregister(registration_);
    folder_.clear();
}

}  // namespace calverdon
