#pragma once
// The store of incomplete chains ("Eingang"): parts that arrived before
// their chain was whole, kept between runs with what linking needs (names,
// numbers, the mail evidence, each part's digest), and the pieces of mails
// that a mail program split (message/partial). A later run completes the
// chains from its new mails.
//
// On disk: a folder of mode 0700 holding one file per part and per piece,
// named by what it carries, an index of them all, and a lock file. Every
// addition is written as a pending file and renamed; the index is renamed
// into place last, so an interrupted run leaves the store as it was, or
// with its additions complete. Runs take the lock in turn; none waits
// longer than a limit.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "File.h"
#include "MailScanner.h"

namespace calverdon::mail {

// Where the store is when none is named: $XDG_STATE_HOME/calverdon/eingang,
// else ~/.local/state/calverdon/eingang.
std::filesystem::path DefaultStorePath();

class Store {
public:
    // Opens the store at `folder`, making it (mode 0700) when it is not
    // there, and takes its lock, waiting at most `wait`. Nothing when that
    // fails; `error` then says why, in German.
    static std::optional<Store> Open(const std::filesystem::path& folder, std::string& error,
                                     int waitMilliseconds = 60000);

    Store(Store&&) noexcept = default;
    Store& operator=(Store&&) noexcept = default;
    ~Store() = default;

    // The parts kept, each with its copy in the store, and the mails their
    // evidence comes from (FoundPart::mails indexes into Mails()).
    const std::vector<FoundPart>& Parts() const { return parts_; }
    const std::vector<MailInfo>& Mails() const { return mails_; }
    // When each part came into the store, seconds since 1970.
    std::int64_t StoredAt(std::size_t part) const { return stored_[part]; }
    const std::vector<Piece>& Pieces() const { return pieces_; }

    // The key under which a part is kept: the SHA-256 of its DataKey.
    static std::string KeyOf(const FoundPart& part);
    // Parts of chains decoded already are remembered for a while, so that
    // the same mail handed in again changes nothing.
    bool WasUsed(const std::string& key) const { return used_.contains(key); }
    void MarkUsed(const std::string& key);

    // Keeps a part, its copy read from `part.file`, with the evidence of
    // `mails`; a part kept already gains the new evidence. False, with
    // `error` (errno), when its copy cannot be written.
    bool Add(const FoundPart& part, const std::vector<MailInfo>& mails, int& error);
    // Keeps a piece of a split mail.
    bool AddPiece(const Piece& piece, int& error);
    // The parts (by index into Parts()) and pieces (by id) that are used
    // up: they leave the store at Commit().
    void Remove(std::size_t part) { removed_.insert(part); }
    void RemovePieces(const std::string& id) { removedPieces_.insert(id); }
    // Marks what was kept before `cutoff` (seconds since 1970) for removal;
    // returns how many parts.
    std::size_t ForgetBefore(std::int64_t cutoff, const std::vector<std::vector<std::size_t>>& chains);

    // Writes the index and removes what went; false, with `error`, when the
    // index cannot be written (the store then stays as it was).
    bool Commit(int& error);

private:
    explicit Store(std::filesystem::path folder) : folder_(std::move(folder)) {}
    bool Load(std::string& error);
    std::string FileFor(const std::string& key) const;

    std::filesystem::path folder_;
    UniqueFd lock_;
    std::vector<FoundPart> parts_;
    std::vector<std::string> keys_;
    std::vector<std::int64_t> stored_;
    std::map<std::string, std::size_t> byKey_;
    std::vector<MailInfo> mails_;
    std::vector<Piece> pieces_;
    std::set<std::size_t> removed_;
    std::set<std::string> removedPieces_;
    std::map<std::string, std::int64_t> used_;  // key, and when it was used
    bool changed_ = false;
};

}  // namespace calverdon::mail
