#pragma once
// A file that appears under its name only once it is complete. Where the
// file system allows it, the file has no name at all while it is written
// (O_TMPFILE), so nothing of it is left behind whatever ends the process;
// elsewhere it has a hidden temporary name in the same folder, removed on
// every way out of the program, including the signals that
// RemovePendingFilesOnSignals() catches. A failing close is seen before
// the file gets its real name, so it never costs the file it replaces. Publishing replaces a directory
// entry, never writes through it: a symbolic link at the target is
// replaced itself, its destination stays untouched.

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "File.h"

namespace calverdon {

class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() { Discard(); }

    // Creates the file in `folder` (empty: the working directory), with mode
    // 0666 less the umask. The errno of a failure goes to `error`.
    bool Create(const std::filesystem::path& folder, int& error);
    bool IsOpen() const { return writer_.has_value(); }
    BufferedWriter& Writer() { return *writer_; }
    const BufferedWriter& Writer() const { return *writer_; }
    // Sets the permission bits; set-id and sticky bits are never passed on.
    void SetPermissions(mode_t mode);

    // Flushes, syncs when asked, and gives the file the name `target`,
    // replacing whatever entry stands there. On failure the file is
    // discarded and `error` says why.
    bool Replace(const std::filesystem::path& target, bool sync, int& error);
    // The same, but only where nothing stands at `target`: EEXIST otherwise,
    // and the file stays pending, to be tried under another name.
    bool PublishNew(const std::filesystem::path& target, bool sync, int& error);
    // Drops the file and whatever temporary name it has.
    void Discard();
    // Flushes what is buffered, without a sync, so that a sync of the whole
    // file system (syncfs) can then take the data to the disk.
    bool Complete(int& error) { return Finish(false, error); }
    // The descriptor, for such a sync; -1 when there is none.
    int Descriptor() const { return writer_ ? writer_->Fd().Get() : -1; }

private:
    bool Finish(bool sync, int& error);
    // Gives an unnamed file a hidden temporary name in its folder.
    bool NameUnnamedFile(int& error);
    bool CloseWriter(int& error);
    void SyncFolder(const std::filesystem::path& target) const;

    std::optional<BufferedWriter> writer_;
    std::filesystem::path folder_;
    std::filesystem::path tempName_;  // the named fallback's temporary name
    int registration_ = -1;           // its slot for removal on signals
    bool unnamed_ = false;
    bool finished_ = false;
    bool synced_ = false;
};

// Makes SIGINT, SIGTERM, SIGHUP and SIGQUIT remove the temporary names of
// pending files (and PendingFileSet's folders) before the process ends as
// the signal would have ended it. Signals that the process ignores stay
// ignored.
void RemovePendingFilesOnSignals();

// A hidden name in `folder` (empty: the working directory) that nothing is
// likely to use: ".calverdon-" and eight random hex digits, then `suffix`.
std::filesystem::path HiddenTempName(const std::filesystem::path& folder, const char* suffix);

// Syncs the folder that holds `path`, so that a new name in it survives a
// power cut. Failures are ignored: the data themselves are synced already.
void SyncFolderOf(const std::filesystem::path& path);

}  // namespace calverdon
