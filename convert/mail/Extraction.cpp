#include "Extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "Chains.h"
#include "File.h"
#include "MailScanner.h"
#include "MailTexts.h"
#include "Messages.h"
#include "Report.h"
#include "Store.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

using texts::Parts;

class Extraction {
public:
    Extraction(Services services, const ExtractOptions& options)
        : services_(services), options_(options), mode_(options.checkOnly ? Extract::CheckOnly : Extract::Decode) {}
    ExtractionReport Run(const std::vector<fs::path>& sources, const fs::path& folder);

private:
    void Scan(MailScanner& scanner, const std::vector<fs::path>& sources);
    // Where each complete chain goes: the newest of those that carry the
    // same name gets it, the others a free name beside it.
    std::map<const Chain*, fs::path> Targets(const std::vector<Chain>& chains, const fs::path& folder);
    void Decode(const Chain& chain, const fs::path& target, const std::string& shown);
    std::string Origin(const FoundPart& part) const;
    std::string Shortcoming(const Chain& chain) const;

    // After the batch is published: the lines of results that did not get
    // the name they were told to get.
    void Settle();
    void Combine(const MailScanner& scanner);
    void Keep(const MailScanner& scanner, const Linked& linked);
    std::vector<fs::path> ReadStandardInput(const std::vector<fs::path>& sources, ScratchFolder& scratch);

    Services services_;
    ExtractOptions options_;
    Extract mode_;
    std::vector<FoundPart> parts_;
    std::vector<MailInfo> mails_;
    std::map<fs::path, std::string> shownAs_;
    std::size_t newParts_ = 0;          // parts_ from this run, before the store's
    std::set<std::string> repeated_;    // chains decoded before that came again
    std::size_t repeatedParts_ = 0;     // ... and their further parts
    // The results get their names together, with one sync of their data.
    PublishBatch batch_;
    struct Waiting {
        std::size_t ticket;
        std::size_t line;
        fs::path planned;
    };
    std::vector<Waiting> waiting_;
    struct WrittenChain {
        const Chain* chain;
        std::optional<std::size_t> ticket;
    };
    std::vector<WrittenChain> written_;
    // The store of incomplete chains, when one is used, and for each part
    // linked (by index) where it is in the store.
    std::optional<Store> store_;
    std::vector<std::optional<std::size_t>> inStore_;
    ExtractionReport report_;
    bool failed_ = false;
    bool incomplete_ = false;
};

void Extraction::Scan(MailScanner& scanner, const std::vector<fs::path>& sources) {
    for (const auto& [file, name] : shownAs_) scanner.ShowAs(file, name);
    // The scan's progress goes the way the decoder's does: a percentage
    // passed on whenever it changes.
    Reporter progress(services_);
    std::optional<std::uint64_t> started;
    scanner.Scan(sources, [&](std::uint64_t done, std::uint64_t total) {
        if (started != total) progress.StartProgress(*(started = total));
        progress.Advance(done);
    });
    for (const auto& [path, error] : scanner.Unreadable()) {
        report_.errors.push_back(texts::ReadFailed(path.string(), error));
        failed_ = true;
    }
    if (scanner.CopyError() != 0) {
        report_.errors.push_back(texts::CopyFailed(scanner.CopyError()));
        failed_ = true;
    }
}

std::string Extraction::Origin(const FoundPart& part) const {
    std::string where;
    if (!part.mails.empty() && part.mails.front() < mails_.size()) {
        where = texts::DescribeMail(mails_[part.mails.front()].subject, mails_[part.mails.front()].date);
    }
    if (where.empty() && !part.files.empty()) where = part.files.front();
    return texts::Origin(part.names.empty() ? std::string() : part.names.front(), where);
}

std::string Extraction::Shortcoming(const Chain& chain) const {
    const std::size_t found = chain.Found();
    if (!chain.competing.empty()) {
        // Say which parts compete for which place, and where each came from.
        std::string text;
        for (const Chain::Competition& competition : chain.competing) {
            std::vector<std::string> origins;
            for (const FoundPart* part : competition.parts) origins.push_back(Origin(*part));
            text += (text.empty() ? "" : "; ") + texts::Competing(competition.number, origins);
        }
        return text + texts::NotConvertedFound(found);
    }
    std::uint64_t count = 0;
    const std::string missing = texts::Ranges(chain.missing, count);
    if (chain.total) return texts::MissingOf(missing, count, *chain.total, found);
    return texts::MissingLast(missing, count, found);
}

std::map<const Chain*, fs::path> Extraction::Targets(const std::vector<Chain>& chains, const fs::path& folder) {
    std::map<std::string, std::vector<const Chain*>> byName;
    for (const Chain& chain : chains) {
        if (chain.Complete() && !ChainTargetName(chain).empty()) byName[ChainTargetName(chain)].push_back(&chain);
    }
    std::map<const Chain*, fs::path> targets;
    std::set<fs::path> taken;
    for (auto& [name, group] : byName) {
        // The newest first; chains of the same date in an order of their
        // own, whatever the order of the mails.
        std::sort(group.begin(), group.end(), [](const Chain* a, const Chain* b) {
            if (a->First().date != b->First().date) return a->First().date > b->First().date;
            return a->First().digest.hash < b->First().digest.hash;
        });
        const fs::path wanted = folder / name;
        targets[group.front()] = wanted;
        taken.insert(wanted);
        for (std::size_t i = 1; i < group.size(); ++i) {
            // "bericht (2).pdf", or the next number that nothing uses.
            for (int n = 2;; ++n) {
                const fs::path candidate =
                    folder / (wanted.stem().string() + " (" + std::to_string(n) + ")" + wanted.extension().string());
                struct stat st {};
                if (taken.contains(candidate) || ::lstat(candidate.c_str(), &st) == 0) continue;
                targets[group[i]] = candidate;
                taken.insert(candidate);
                break;
            }
        }
    }
    return targets;
}

void Extraction::Decode(const Chain& chain, const fs::path& target, const std::string& shown) {
    const ExtractResult result = ExtractChain(chain, target, services_, mode_, &batch_);
    if (result.ticket) waiting_.push_back({*result.ticket, report_.lines.size(), result.written});
    // A chain whose file was written leaves the store; its ticket may
    // still fail when the batch is published.
    if (result.result != ConversionResult::Failed && mode_ == Extract::Decode) {
        written_.push_back({&chain, result.ticket});
    }
    std::string line = shown + ": " + texts::ChainDone(chain.parts.size());
    const bool check = mode_ == Extract::CheckOnly;
    switch (result.result) {
        case ConversionResult::Succeeded:
            line += check ? std::string(texts::kChecked) : texts::Converted(result.written.string());
            if (result.repaired) line += texts::kRepaired;
            break;
        case ConversionResult::ChecksumMismatch:
            line += texts::ChecksumMismatch(check ? std::string() : result.written.string());
            incomplete_ = true;
            break;
        case ConversionResult::Failed:
            line += texts::kNotConverted;
            failed_ = true;
            break;
    }
    report_.lines.push_back(line);
}

void Extraction::Settle() {
    batch_.Publish();
    for (const Waiting& waiting : waiting_) {
        const PublishBatch::Outcome& outcome = batch_.Result(waiting.ticket);
        std::string& line = report_.lines[waiting.line];
        const std::string planned = waiting.planned.string();
        const auto at = line.find(planned);
        if (!outcome.published) {
            std::erase_if(written_, [&](const WrittenChain& w) { return w.ticket == waiting.ticket; });
            // The name could not be given: nothing was written.
            const auto comma = line.rfind(", ", at);
            line = line.substr(0, comma) + texts::NotPublished(outcome.error);
            failed_ = true;
        } else if (outcome.written != waiting.planned && at != std::string::npos) {
            line.replace(at, planned.size(), outcome.written.string());
        }
    }
}

// A source "-" is read from standard input into the scratch folder first:
// a mail filter hands over one mail, or an mbox, that way.
std::vector<fs::path> Extraction::ReadStandardInput(const std::vector<fs::path>& sources, ScratchFolder& scratch) {
    std::vector<fs::path> read;
    for (const fs::path& source : sources) {
        if (source != "-") {
            read.push_back(source);
            continue;
        }
        const fs::path copy = scratch.NewFile();
        UniqueFd out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        bool ok = out.IsOpen();
        if (ok) {
            BufferedWriter writer(std::move(out));
            BufferedReader in(UniqueFd(::dup(STDIN_FILENO)));
            for (auto span = in.Peek(); !span.empty(); span = in.Peek()) {
                writer.Write(span.data(), span.size());
                in.Consume(span.size());
            }
            ok = in.Error() == 0 && writer.Close(false);
        }
        if (!ok) {
            report_.errors.push_back(texts::StandardInputFailed(errno));
            failed_ = true;
            continue;
        }
        shownAs_[copy] = std::string(texts::kStandardInput);
        read.push_back(copy);
    }
    return read;
}

// The parts of this run and those of the store, as one list: a part that
// came again is one part, with the evidence of both arrivals.
void Extraction::Combine(const MailScanner& scanner) {
    parts_ = scanner.Parts();
    mails_ = scanner.Mails();
    if (store_) {
        // A part of a chain that was decoded already came again: the same
        // mail handed in twice changes nothing.
        std::erase_if(parts_, [&](const FoundPart& part) {
            if (!store_->WasUsed(Store::KeyOf(part))) return false;
            if (part.number == 1 && !part.headerName.empty()) {
                repeated_.insert(part.headerName);
            } else {
                ++repeatedParts_;
            }
            return true;
        });
    }
    newParts_ = parts_.size();
    inStore_.assign(parts_.size(), std::nullopt);
    if (!store_) return;
    std::map<std::string, std::size_t> byKey;
    for (std::size_t i = 0; i < parts_.size(); ++i) byKey[DataKey(parts_[i])] = i;
    const auto offset = static_cast<std::uint32_t>(mails_.size());
    mails_.insert(mails_.end(), store_->Mails().begin(), store_->Mails().end());
    for (std::size_t s = 0; s < store_->Parts().size(); ++s) {
        FoundPart stored = store_->Parts()[s];
        for (std::uint32_t& mail : stored.mails) mail += offset;
        const auto known = byKey.find(DataKey(stored));
        if (known == byKey.end()) {
            inStore_.push_back(s);
            parts_.push_back(std::move(stored));
            continue;
        }
        // Arrived again: the store's copy and evidence join the new one.
        FoundPart& part = parts_[known->second];
        for (const std::string& name : stored.names) {
            if (std::find(part.names.begin(), part.names.end(), name) == part.names.end()) part.names.push_back(name);
        }
        for (const std::uint32_t mail : stored.mails) part.mails.push_back(mail);
        part.date = std::max(part.date, stored.date);
        inStore_[known->second] = s;
    }
}

// After decoding: the parts of written chains leave the store, every
// other part of this run goes into it, and so do the pieces of split
// mails still waiting for the rest.
void Extraction::Keep(const MailScanner& scanner, const Linked& linked) {
    std::set<std::size_t> used;
    for (const WrittenChain& written : written_) {
        for (const FoundPart* part : written.chain->parts) {
            if (part != nullptr) used.insert(static_cast<std::size_t>(part - parts_.data()));
        }
    }
    int error = 0;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (used.contains(i)) {
            if (inStore_[i]) store_->Remove(*inStore_[i]);
            store_->MarkUsed(Store::KeyOf(parts_[i]));
        } else if (i < newParts_ && !store_->Add(parts_[i], mails_, error)) {
            report_.errors.push_back(texts::KeepPartFailed(error));
            failed_ = true;
        }
    }
    for (const Piece& piece : scanner.Pieces()) {
        if (!store_->AddPiece(piece, error)) {
            report_.errors.push_back(texts::KeepPieceFailed(error));
            failed_ = true;
        }
    }
    if (!store_->Commit(error)) {
        report_.errors.push_back(texts::StoreWriteFailed(error));
        failed_ = true;
    }
    (void)linked;
}

std::string PiecesLine(const std::vector<Piece>& pieces, const std::string& id) {
    std::uint32_t total = 0;
    std::set<std::uint32_t> numbers;
    for (const Piece& piece : pieces) {
        if (piece.id != id) continue;
        total = std::max(total, piece.total);
        numbers.insert(piece.number);
    }
    return texts::Pieces(id, numbers.size(), total);
}

ExtractionReport Extraction::Run(const std::vector<fs::path>& sources, const fs::path& folder) {
    if (mode_ == Extract::Decode) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            report_.errors.push_back(texts::TargetFolderMissing(folder.string()));
            report_.outcome = Outcome::Failed;
            return report_;
        }
    }
    std::unique_ptr<ScratchFolder> scratch;
    try {
        scratch = std::make_unique<ScratchFolder>("calverdon-mail");
    } catch (const fs::filesystem_error& e) {
        report_.errors.push_back(texts::ScratchFailed(e.code().value()));
        report_.outcome = Outcome::Failed;
        return report_;
    }
    MailScanner scanner(*scratch);
    Scan(scanner, ReadStandardInput(sources, *scratch));
    if (options_.store) {
        std::string error;
        store_ = Store::Open(*options_.store, error);
        if (!store_) {
            report_.errors.push_back(error);
            report_.outcome = Outcome::Failed;
            return report_;
        }
    }
    for (const std::string& id : scanner.Reassemble(store_ ? store_->Pieces() : std::vector<Piece>())) {
        if (store_) store_->RemovePieces(id);
    }
    Combine(scanner);
    const Linked linked = LinkChains(parts_, mails_);
    const std::map<const Chain*, fs::path> targets = Targets(linked.chains, folder);
    std::map<std::string, int> sameName;
    for (const Chain& chain : linked.chains) ++sameName[ChainTargetName(chain)];
    const std::string kept = store_ && mode_ == Extract::Decode ? std::string(texts::kKept) : std::string();
    for (const std::string& name : repeated_) report_.lines.push_back(name + std::string(texts::kDecodedBefore));
    if (repeated_.empty() && repeatedParts_ > 0) report_.lines.push_back(texts::RepeatedParts(repeatedParts_));
    for (const Chain& chain : linked.chains) {
        const std::string name = ChainTargetName(chain);
        std::string shown = name.empty() ? std::string(texts::kNoName) : name;
        // Chains that carry the same name are told apart by where they came.
        if (sameName[name] > 1) shown += " (" + Origin(chain.First()) + ")";
        const auto target = targets.find(&chain);
        if (chain.Complete() && target == targets.end()) {
            report_.lines.push_back(shown + ": " + texts::NoTargetName(chain.parts.size()));
            failed_ = true;
            continue;
        }
        if (!chain.Complete()) {
            report_.lines.push_back(shown + ": " + Shortcoming(chain) + kept);
            incomplete_ = true;
            continue;
        }
        Decode(chain, target->second, shown);
    }
    Settle();
    for (const FoundPart* stray : linked.strays) {
        report_.lines.push_back(Origin(*stray) + ": " + texts::Stray(stray->number) + kept);
        incomplete_ = true;
    }
    std::set<std::string> waitingPieces;
    for (const Piece& piece : scanner.Pieces()) waitingPieces.insert(piece.id);
    for (const std::string& id : waitingPieces) {
        report_.lines.push_back(PiecesLine(scanner.Pieces(), id) + kept);
        incomplete_ = true;
    }
    // Checking writes nothing, not even into the store.
    if (store_ && mode_ == Extract::Decode) Keep(scanner, linked);
    if (linked.chains.empty() && linked.strays.empty() && waitingPieces.empty() && repeated_.empty() &&
        repeatedParts_ == 0) {
        if (!options_.quietWhenNothing) report_.errors.emplace_back(texts::kNothingFound);
        report_.outcome = failed_ ? Outcome::Failed : Outcome::NothingFound;
    } else {
        report_.outcome = failed_ ? Outcome::Failed : incomplete_ ? Outcome::SomeIncomplete : Outcome::AllVerified;
    }
    return report_;
}

}  // namespace

namespace {

// The store's chains, each as the indexes of its parts in the store, and
// a line that says what it holds; strays as chains of their own.
struct WaitingChain {
    std::vector<std::size_t> parts;
    std::string line;
    std::int64_t oldest = 0;
    std::int64_t newest = 0;
};

std::vector<WaitingChain> Waiting(const Store& store) {
    const Linked linked = LinkChains(store.Parts(), store.Mails());
    const FoundPart* base = store.Parts().data();
    std::vector<WaitingChain> chains;
    const auto dates = [&](WaitingChain& chain) {
        chain.oldest = INT64_MAX;
        for (const std::size_t part : chain.parts) {
            chain.oldest = std::min(chain.oldest, store.StoredAt(part));
            chain.newest = std::max(chain.newest, store.StoredAt(part));
        }
    };
    for (const Chain& chain : linked.chains) {
        WaitingChain waiting;
        for (const FoundPart* part : chain.parts) {
            if (part != nullptr) waiting.parts.push_back(static_cast<std::size_t>(part - base));
        }
        for (const Chain::Competition& competition : chain.competing) {
            for (const FoundPart* part : competition.parts) waiting.parts.push_back(static_cast<std::size_t>(part - base));
        }
        std::sort(waiting.parts.begin(), waiting.parts.end());
        waiting.parts.erase(std::unique(waiting.parts.begin(), waiting.parts.end()), waiting.parts.end());
        dates(waiting);
        const std::string name = ChainTargetName(chain).empty() ? std::string(texts::kNoName) : ChainTargetName(chain);
        std::uint64_t count = 0;
        const std::string missing = texts::Ranges(chain.missing, count);
        std::string line = name + ": " + (chain.total ? texts::WaitingOf(chain.Found(), *chain.total)
                                                      : texts::WaitingForLast(chain.Found()));
        if (!missing.empty()) line += texts::WaitingMissing(missing, count);
        if (!chain.competing.empty()) line += texts::kWaitingVersions;
        waiting.line = line + texts::WaitingSince(waiting.oldest);
        chains.push_back(std::move(waiting));
    }
    for (const FoundPart* stray : linked.strays) {
        WaitingChain waiting;
        waiting.parts.push_back(static_cast<std::size_t>(stray - base));
        dates(waiting);
        const std::string name = stray->names.empty() ? std::string(texts::kNoName) : stray->names.front();
        waiting.line = name + ": " + texts::WaitingStray(stray->number, waiting.oldest);
        chains.push_back(std::move(waiting));
    }
    return chains;
}

std::optional<Store> OpenStore(const fs::path& path, ExtractionReport& report) {
    std::string error;
    std::optional<Store> store = Store::Open(path, error);
    if (!store) {
        report.errors.push_back(error);
        report.outcome = Outcome::Failed;
    }
    return store;
}

}  // namespace

ExtractionReport ListWaiting(const fs::path& path) {
    ExtractionReport report;
    std::optional<Store> store = OpenStore(path, report);
    if (!store) return report;
    for (const WaitingChain& chain : Waiting(*store)) report.lines.push_back(chain.line);
    std::set<std::string> ids;
    for (const Piece& piece : store->Pieces()) ids.insert(piece.id);
    for (const std::string& id : ids) report.lines.push_back(PiecesLine(store->Pieces(), id));
    if (report.lines.empty()) report.lines.emplace_back(texts::kNothingWaits);
    report.outcome = Outcome::AllVerified;
    return report;
}

ExtractionReport ForgetWaiting(const fs::path& path, unsigned days) {
    ExtractionReport report;
    std::optional<Store> store = OpenStore(path, report);
    if (!store) return report;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch()).count();
    const std::int64_t cutoff = now - static_cast<std::int64_t>(days) * 86400;
    const std::vector<WaitingChain> chains = Waiting(*store);
    std::vector<std::vector<std::size_t>> groups;
    for (const WaitingChain& chain : chains) {
        groups.push_back(chain.parts);
        if (chain.newest < cutoff) report.lines.push_back(chain.line + std::string(texts::kForgotten));
    }
    std::set<std::string> oldPieces;
    for (const Piece& piece : store->Pieces()) {
        if (piece.date < cutoff) oldPieces.insert(piece.id);
    }
    for (const std::string& id : oldPieces) report.lines.push_back(PiecesLine(store->Pieces(), id) + std::string(texts::kForgotten));
    store->ForgetBefore(cutoff, groups);
    int error = 0;
    if (!store->Commit(error)) {
        report.errors.push_back(texts::StoreWriteFailed(error));
        report.outcome = Outcome::Failed;
        return report;
    }
    if (report.lines.empty()) report.lines.push_back(texts::NothingOlderThan(days));
    report.outcome = Outcome::AllVerified;
    return report;
}

ExtractionReport ExtractAll(const std::vector<fs::path>& sources, const fs::path& folder, Services services,
                            bool checkOnly) {
    ExtractOptions options;
    options.checkOnly = checkOnly;
    return Extraction(services, options).Run(sources, folder);
}

ExtractionReport ExtractAll(const std::vector<fs::path>& sources, const fs::path& folder, Services services,
                            const ExtractOptions& options) {
    return Extraction(services, options).Run(sources, folder);
}

}  // namespace calverdon::mail
