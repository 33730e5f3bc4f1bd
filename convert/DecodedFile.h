#pragma once
// The decoded file under construction. It has no name until it is complete
// (see PendingFile), so that a file at the target path is either what stood
// there before or the whole result, never a part of it. Without a target
// path the bytes are counted and dropped (checking a chain).

#include <cstddef>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "PendingFile.h"

namespace calverdon {

class PublishBatch;

class DecodedFile {
public:
    // Creates the pending file; the errno of a failure goes to `error`.
    bool Create(const std::filesystem::path& target, int& error);

    // Room for `count` decoded bytes.
    unsigned char* Reserve(std::size_t count) {
        if (file_->IsOpen()) return file_->Writer().Reserve(count);
        if (scratch_.size() < count) scratch_.resize(count);
        return scratch_.data();
    }
    void Commit(std::size_t count) {
        if (file_->IsOpen()) file_->Writer().Commit(count);
    }
    int Error() const { return file_->IsOpen() ? file_->Writer().Error() : 0; }
    const std::filesystem::path& Target() const { return target_; }

    // How far a finished result can be trusted.
    enum class Fate { Verified, Unverified };
    // Gives the finished file its name. A verified result replaces the
    // target; an unverified one never replaces an existing file and goes
    // beside it instead. `written` tells where it went. With a batch, the
    // name is given when the batch is published, and `written` tells where
    // the result will go.
    bool Keep(Fate fate, std::filesystem::path& written, int& error);
    // Drops the result, giving back the room it takes.
    void Discard() { file_->Discard(); }
    // Results kept from now on wait in `batch`.
    void PublishWith(PublishBatch* batch) { batch_ = batch; }

private:
    std::unique_ptr<PendingFile> file_ = std::make_unique<PendingFile>();
    PublishBatch* batch_ = nullptr;
    std::filesystem::path target_;
    std::vector<unsigned char> scratch_;
};

// Results that get their names together: their data go to the disk in one
// sync of the file system before any of them gets its name, instead of one
// sync each, which for thousands of small results (a mailbox's chains) is
// what would take the time. The names are given as DecodedFile::Keep
// gives them, once the batch is full or published.
class PublishBatch {
public:
    // At most this many wait at once: a pending file may hold a descriptor
    // and, where the file system has no unnamed files, a temporary name.
    static constexpr std::size_t kSize = 16;

    PublishBatch() = default;
    PublishBatch(const PublishBatch&) = delete;
    PublishBatch& operator=(const PublishBatch&) = delete;
    ~PublishBatch() { Publish(); }

    struct Outcome {
        std::filesystem::path written;  // where the result went
        int error = 0;                  // 0 when it went there
        bool published = false;
    };
    // Takes a finished result that will go to `planned`; returns its
    // ticket for Result().
    std::size_t Add(std::unique_ptr<PendingFile> file, const std::filesystem::path& target,
                    const std::filesystem::path& planned, DecodedFile::Fate fate);
    // Whether `path` is where a waiting result will go.
    bool Plans(const std::filesystem::path& path) const { return planned_.contains(path); }
    // Publishes every result that waits.
    void Publish();
    const Outcome& Result(std::size_t ticket) const { return outcomes_[ticket]; }
    // How many results were taken so far: the next one's ticket.
    std::size_t Taken() const { return outcomes_.size(); }

private:
    struct Waiting {
        std::unique_ptr<PendingFile> file;
        std::filesystem::path target;
        DecodedFile::Fate fate;
        std::size_t ticket;
    };
    std::vector<Waiting> waiting_;
    std::vector<Outcome> outcomes_;
    std::set<std::filesystem::path> planned_;
};

}  // namespace calverdon
