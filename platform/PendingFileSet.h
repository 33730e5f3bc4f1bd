#pragma once
// Several files that appear under their names together, once all of them
// are complete, or not at all: the parts of a chain. They are written into
// a private hidden folder beside their targets (mode 0700), which the
// signals of RemovePendingFilesOnSignals() remove with what it holds.
// Publishing first moves the files that stand at the targets, and those
// that are to go, into that folder; only when every new file has its name
// are the old ones removed. A failure on the way puts every old file back.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

#include "File.h"

namespace calverdon {

class PendingFileSet {
public:
    PendingFileSet() = default;
    PendingFileSet(const PendingFileSet&) = delete;
    PendingFileSet& operator=(const PendingFileSet&) = delete;
    ~PendingFileSet() { Discard(); }

    // Makes the private folder in `folder` (empty: the working directory).
    // The errno of a failure goes to `error`.
    bool Create(const std::filesystem::path& folder, int& error);
    // Starts the next file; it is written through Writer() until
    // FinishFile().
    bool StartFile(int& error);
    BufferedWriter& Writer() { return *writer_; }
    // Flushes, syncs when asked, and closes the file being written.
    bool FinishFile(bool sync, int& error);
    std::size_t Count() const { return count_; }

    // Gives the finished files, in order, the names `targets` (as many as
    // there are files), replacing what stands there, and removes the files
    // `obsolete` as well. All or nothing: after a failure every name in the
    // folder stands as before, and the pending files are gone.
    bool Publish(const std::vector<std::filesystem::path>& targets,
                 const std::vector<std::filesystem::path>& obsolete, bool sync, int& error);
    // Drops the pending files and the private folder.
    void Discard();

private:
    std::filesystem::path Member(std::size_t number) const;

    std::filesystem::path folder_;  // the private folder; empty when none
    int registration_ = -1;
    std::size_t count_ = 0;
    std::optional<BufferedWriter> writer_;
};

}  // namespace calverdon
