#include "Chains.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "FormatRules.h"
#include "HexToBin.h"
#include "Names.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

// How much each kind of evidence counts when parts compete for a place.
// A name that matches the previous part's continuation line, and our own
// chain header, tie a part to a chain; the mail it came in, its thread and
// its subject make it likely; the sender is a hint.
constexpr int kNameWeight = 16;
constexpr int kChainIdWeight = 16;
constexpr int kSameMailWeight = 8;
constexpr int kThreadWeight = 8;
constexpr int kSubjectWeight = 4;
constexpr int kSenderWeight = 1;
// A part that nothing more than its sender ties to a chain is a guess.
constexpr int kGuessScore = kSenderWeight;

// Without any evidence, the parts of a number are candidates only when they
// are this few; more would be guessing.
constexpr std::size_t kMaxUnrelatedCandidates = 16;
// A bucket of parts found by name alone is looked through up to this size;
// beyond it, only parts that the mails tie to the chain are.
constexpr std::size_t kMaxNameBucket = 256;
// Assemblies tried for one chain, and steps taken, before it counts as
// undecidable.
constexpr std::size_t kMaxAssemblies = 4096;
constexpr std::size_t kMaxSteps = 4'000'000;

enum class Kind : char { Name = 'n', Mail = 'm', MessageId = 'i', Reference = 'r', ChainId = 'c', Subject = 's' };

std::string Key(Kind kind, std::uint32_t number, std::string_view value) {
    std::string key;
    key.reserve(value.size() + 12);
    key += static_cast<char>(kind);
    key += std::to_string(number);
    key += '\0';
    key += value;
    return key;
}

// What the mails of a part, or of a chain so far, say about it.
struct Evidence {
    std::set<std::uint32_t> mails;
    std::set<std::string> messageIds;
    std::set<std::string> references;
    std::set<std::string> chainIds;
    std::set<std::string> subjects;  // key and total
    std::set<std::string> senders;
    std::uint32_t headerTotal = 0;
    std::uint32_t subjectTotal = 0;

    void Add(const FoundPart& part, const std::vector<MailInfo>& mails) {
        for (const std::uint32_t mail : part.mails) {
            if (mail >= mails.size()) continue;
            const MailInfo& info = mails[mail];
            this->mails.insert(mail);
            if (!info.messageId.empty()) messageIds.insert(info.messageId);
            references.insert(info.references.begin(), info.references.end());
            if (!info.chainId.empty()) chainIds.insert(info.chainId);
            if (!info.subjectKey.empty() && info.subjectTotal != 0) {
                subjects.insert(info.subjectKey + '\0' + std::to_string(info.subjectTotal));
                if (subjectTotal == 0) subjectTotal = info.subjectTotal;
            }
            if (!info.from.empty()) senders.insert(info.from);
            if (info.headerTotal != 0 && headerTotal == 0) headerTotal = info.headerTotal;
        }
    }
};

template <typename T>
bool Meet(const std::set<T>& a, const std::set<T>& b) {
    const auto& small = a.size() <= b.size() ? a : b;
    const auto& large = a.size() <= b.size() ? b : a;
    return std::any_of(small.begin(), small.end(), [&](const T& x) { return large.contains(x); });
}

// A chain being followed, with what it knows of itself.
struct Walk {
    const FoundPart* first = nullptr;
    Evidence evidence;
    std::string pattern;  // a first part name "NAME.txt" that gives NAME_k.txt
};

struct Candidate {
    const FoundPart* part = nullptr;
    int score = 0;
};

struct Assembly {
    std::vector<const FoundPart*> parts;  // 2 to n
    std::uint32_t sum = 0;
    int score = 0;
    // Where the first part stands that was taken on a guess, only because
    // it was there; SIZE_MAX when none was.
    std::size_t firstGuess = SIZE_MAX;
};

class ChainLinker {
public:
    ChainLinker(const std::vector<FoundPart>& parts, const std::vector<MailInfo>& mails) {
        evidence_.resize(parts.size());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const FoundPart& part = parts[i];
            index_[&part] = i;
            evidence_[i].Add(part, mails);
            if (part.number == 1) {
                firsts_.push_back(&part);
                continue;
            }
            byNumber_[part.number].push_back(&part);
            for (const std::string& name : part.names) Index(Kind::Name, part, name);
            const Evidence& e = evidence_[i];
            for (const std::uint32_t mail : e.mails) Index(Kind::Mail, part, std::to_string(mail));
            for (const std::string& id : e.messageIds) Index(Kind::MessageId, part, id);
            for (const std::string& id : e.references) Index(Kind::Reference, part, id);
            for (const std::string& id : e.chainIds) Index(Kind::ChainId, part, id);
            for (const std::string& subject : e.subjects) Index(Kind::Subject, part, subject);
        }
    }

    Linked Run() {
        Linked linked;
        for (const FoundPart* first : firsts_) linked.chains.push_back(Follow(first));
        for (const auto& [number, candidates] : byNumber_) {
            for (const FoundPart* part : candidates) {
                if (!taken_.contains(part)) linked.strays.push_back(part);
            }
        }
        return linked;
    }

private:
    void Index(Kind kind, const FoundPart& part, std::string_view value) {
        auto& bucket = buckets_[Key(kind, part.number, value)];
        if (bucket.empty() || bucket.back() != &part) bucket.push_back(&part);
    }
    const std::vector<const FoundPart*>* Bucket(Kind kind, std::uint32_t number, std::string_view value) const {
        const auto it = buckets_.find(Key(kind, number, value));
        return it == buckets_.end() ? nullptr : &it->second;
    }
    const Evidence& EvidenceOf(const FoundPart* part) const { return evidence_[index_.at(part)]; }

    Chain Follow(const FoundPart* first);
    std::vector<Candidate> Candidates(const Walk& walk, std::uint32_t number, const FoundPart* previous) const;
    std::vector<std::string> ExpectedNames(const Walk& walk, std::uint32_t number, const FoundPart* previous) const;
    bool Contradicts(const Walk& walk, const FoundPart& part, std::uint32_t number,
                     const std::vector<std::string>& expected) const;
    int Score(const Walk& walk, const FoundPart& part, const std::vector<std::string>& expected) const;
    void Report(const Walk& walk, Chain& chain, const std::vector<Assembly>& assemblies,
                const std::vector<Assembly>& deadEnds, bool overflow);
    void GoPastGap(const Walk& walk, Chain& chain, std::uint32_t from);

    std::vector<Evidence> evidence_;
    std::unordered_map<const FoundPart*, std::size_t> index_;
    std::vector<const FoundPart*> firsts_;
    std::map<std::uint32_t, std::vector<const FoundPart*>> byNumber_;
    std::unordered_map<std::string, std::vector<const FoundPart*>> buckets_;
    std::unordered_set<const FoundPart*> taken_;
};

std::vector<std::string> ChainLinker::ExpectedNames(const Walk& walk, std::uint32_t number,
                                                    const FoundPart* previous) const {
    std::vector<std::string> names;
    if (previous != nullptr && !previous->nextName.empty()) names.push_back(previous->nextName);
    if (!walk.pattern.empty()) {
        std::string patterned = PartFileName(walk.pattern, number);
        if (std::find(names.begin(), names.end(), patterned) == names.end()) names.push_back(std::move(patterned));
    }
    return names;
}

bool ChainLinker::Contradicts(const Walk& walk, const FoundPart& part, std::uint32_t number,
                              const std::vector<std::string>& expected) const {
    const Evidence& e = EvidenceOf(&part);
    // Our own chain header names another chain.
    if (!walk.evidence.chainIds.empty() && !e.chainIds.empty() && !Meet(walk.evidence.chainIds, e.chainIds)) {
        return true;
    }
    if (walk.evidence.headerTotal != 0 && e.headerTotal != 0 && walk.evidence.headerTotal != e.headerTotal) {
        return true;
    }
    // Every name it came under is a name of part `number` of another chain.
    if (expected.empty() || part.names.empty()) return false;
    return std::all_of(part.names.begin(), part.names.end(), [&](const std::string& name) {
        return format::NamedAsPart(name, number) &&
               std::find(expected.begin(), expected.end(), name) == expected.end();
    });
}

int ChainLinker::Score(const Walk& walk, const FoundPart& part, const std::vector<std::string>& expected) const {
    const Evidence& e = EvidenceOf(&part);
    const Evidence& w = walk.evidence;
    int score = 0;
    if (std::any_of(part.names.begin(), part.names.end(), [&](const std::string& name) {
            return std::find(expected.begin(), expected.end(), name) != expected.end();
        })) {
        score += kNameWeight;
    }
    if (Meet(w.chainIds, e.chainIds)) score += kChainIdWeight;
    if (Meet(w.mails, e.mails)) score += kSameMailWeight;
    if (Meet(w.messageIds, e.references) || Meet(w.references, e.messageIds)) score += kThreadWeight;
    if (Meet(w.subjects, e.subjects)) score += kSubjectWeight;
    if (Meet(w.senders, e.senders)) score += kSenderWeight;
    return score;
}

std::vector<Candidate> ChainLinker::Candidates(const Walk& walk, std::uint32_t number,
                                               const FoundPart* previous) const {
    const std::vector<std::string> expected = ExpectedNames(walk, number, previous);
    std::vector<const FoundPart*> gathered;
    std::unordered_set<const FoundPart*> seen;
    const auto gather = [&](const std::vector<const FoundPart*>* bucket, std::size_t limit) {
        if (bucket == nullptr || bucket->size() > limit) return;
        for (const FoundPart* part : *bucket) {
            if (seen.insert(part).second) gathered.push_back(part);
        }
    };
    const Evidence& w = walk.evidence;
    for (const std::uint32_t mail : w.mails) gather(Bucket(Kind::Mail, number, std::to_string(mail)), SIZE_MAX);
    for (const std::string& id : w.messageIds) gather(Bucket(Kind::Reference, number, id), SIZE_MAX);
    for (const std::string& id : w.references) gather(Bucket(Kind::MessageId, number, id), SIZE_MAX);
    for (const std::string& id : w.chainIds) gather(Bucket(Kind::ChainId, number, id), SIZE_MAX);
    for (const std::string& name : expected) gather(Bucket(Kind::Name, number, name), kMaxNameBucket);
    for (const std::string& subject : w.subjects) gather(Bucket(Kind::Subject, number, subject), kMaxNameBucket);
    if (gathered.empty()) {
        const auto all = byNumber_.find(number);
        if (all != byNumber_.end()) gather(&all->second, kMaxUnrelatedCandidates);
    }

    std::vector<Candidate> candidates;
    int best = -1;
    for (const FoundPart* part : gathered) {
        if (Contradicts(walk, *part, number, expected)) continue;
        const int score = Score(walk, *part, expected);
        if (score < best) continue;
        if (score > best) {
            candidates.clear();
            best = score;
        }
        candidates.push_back({part, score});
    }
    return candidates;
}

Chain ChainLinker::Follow(const FoundPart* first) {
    Walk walk;
    walk.first = first;
    walk.evidence = EvidenceOf(first);
    // The naming pattern from a name the first part came under; the same
    // one whatever the order its arrivals were read in.
    for (const std::string& name : first->names) {
        if (name.size() > 4 && name.ends_with(".txt") && (walk.pattern.empty() || name < walk.pattern)) {
            walk.pattern = name;
        }
    }

    // Every assembly the evidence allows, found depth first; a place with
    // one candidate, the usual case, costs no branching.
    struct Branch {
        std::uint32_t number;
        std::vector<Candidate> candidates;
        std::size_t next;       // the candidate to try next
        std::size_t depth;      // parts on the path before this place
        std::uint32_t sum;
        int score;
        std::size_t firstGuess;
    };
    std::vector<Assembly> found;
    std::vector<Assembly> dead;
    std::vector<Branch> branches;
    Assembly path;
    path.sum = first->digest.sum;
    std::uint32_t number = 2;
    const FoundPart* previous = first;
    bool overflow = false;
    std::size_t steps = 0;
    bool walking = first->end == PartEnd::Continues;
    if (first->end == PartEnd::Last) found.push_back(path);
    if (first->end == PartEnd::Open) dead.push_back(path);

    for (;;) {
        while (walking) {
            if (++steps > kMaxSteps || found.size() + dead.size() > kMaxAssemblies) {
                overflow = true;
                walking = false;
                break;
            }
            std::vector<Candidate> candidates = Candidates(walk, number, previous);
            if (candidates.empty()) {
                dead.push_back(path);
                walking = false;
                break;
            }
            const Candidate take = candidates.front();
            if (candidates.size() > 1) {
                branches.push_back(
                    {number, std::move(candidates), 1, path.parts.size(), path.sum, path.score, path.firstGuess});
            }
            if (take.score <= kGuessScore && path.firstGuess == SIZE_MAX) path.firstGuess = path.parts.size();
            path.parts.push_back(take.part);
            path.sum += take.part->digest.sum;
            path.score += take.score;
            if (take.part->end == PartEnd::Last) {
                found.push_back(path);
                walking = false;
            } else if (take.part->end == PartEnd::Open || number == UINT32_MAX) {
                dead.push_back(path);
                walking = false;
            } else {
                previous = take.part;
                ++number;
            }
        }
        if (overflow) break;
        // Back to the last place with a candidate not yet tried.
        while (!branches.empty() && branches.back().next == branches.back().candidates.size()) branches.pop_back();
        if (branches.empty()) break;
        Branch& branch = branches.back();
        const Candidate take = branch.candidates[branch.next++];
        path.parts.resize(branch.depth);
        path.sum = branch.sum + take.part->digest.sum;
        path.score = branch.score + take.score;
        path.firstGuess = branch.firstGuess;
        if (take.score <= kGuessScore && path.firstGuess == SIZE_MAX) path.firstGuess = branch.depth;
        path.parts.push_back(take.part);
        number = branch.number;
        if (take.part->end == PartEnd::Last) {
            found.push_back(path);
        } else if (take.part->end == PartEnd::Open || number == UINT32_MAX) {
            dead.push_back(path);
        } else {
            previous = take.part;
            ++number;
            walking = true;
        }
    }

    Chain chain;
    chain.parts.push_back(first);
    Report(walk, chain, found, dead, overflow);
    // A part that was tried for this chain and did not fit is no stray: it
    // is a version of one of its parts.
    for (const auto* assemblies : {&found, &dead}) {
        for (const Assembly& assembly : *assemblies) taken_.insert(assembly.parts.begin(), assembly.parts.end());
    }
    for (const FoundPart* part : chain.parts) {
        if (part != nullptr) taken_.insert(part);
    }
    for (const Chain::Competition& competition : chain.competing) taken_.insert(competition.parts.begin(), competition.parts.end());
    return chain;
}

// The places where assemblies differ, with the parts that compete there.
std::vector<Chain::Competition> Differences(const std::vector<const Assembly*>& assemblies) {
    std::vector<Chain::Competition> competing;
    std::size_t longest = 0;
    for (const Assembly* assembly : assemblies) longest = std::max(longest, assembly->parts.size());
    for (std::size_t place = 0; place < longest; ++place) {
        Chain::Competition competition;
        competition.number = static_cast<std::uint32_t>(place + 2);
        for (const Assembly* assembly : assemblies) {
            if (place >= assembly->parts.size()) continue;
            const FoundPart* part = assembly->parts[place];
            if (std::find(competition.parts.begin(), competition.parts.end(), part) == competition.parts.end()) {
                competition.parts.push_back(part);
            }
        }
        if (competition.parts.size() > 1) competing.push_back(std::move(competition));
    }
    return competing;
}

void ChainLinker::Report(const Walk& walk, Chain& chain, const std::vector<Assembly>& assemblies,
                         const std::vector<Assembly>& deadEnds, bool overflow) {
    const auto take = [&](const Assembly& assembly) {
        chain.parts.insert(chain.parts.end(), assembly.parts.begin(), assembly.parts.end());
    };
    const std::uint32_t totalHint = walk.evidence.headerTotal != 0 ? walk.evidence.headerTotal : walk.evidence.subjectTotal;
    const auto matches = [&](const Assembly& assembly) {
        const FoundPart* last = assembly.parts.empty() ? walk.first : assembly.parts.back();
        return last->digest.endChecksum.Matches(kChecksumStart + assembly.sum);
    };
    // A part that nothing but its number ties to the chain is taken only
    // where the checksum then matches: a stray or crafted part must not
    // complete another chain.
    std::vector<Assembly> found;
    std::vector<Assembly> dead = deadEnds;
    for (const Assembly& assembly : assemblies) {
        if (assembly.firstGuess == SIZE_MAX || matches(assembly)) {
            found.push_back(assembly);
            continue;
        }
        Assembly cut = assembly;
        cut.parts.resize(assembly.firstGuess);
        dead.push_back(std::move(cut));
    }
    if (!found.empty() && !overflow) {
        // A checksum that matches decides between assemblies that the
        // other evidence leaves; a single one is decoded whatever its
        // checksum, and the decoder tells.
        std::vector<const Assembly*> chosen;
        if (found.size() == 1) {
            chosen.push_back(&found.front());
        } else {
            int best = -1;
            for (const Assembly& assembly : found) {
                if (!matches(assembly)) continue;
                if (assembly.score > best) {
                    chosen.clear();
                    best = assembly.score;
                }
                if (assembly.score == best) chosen.push_back(&assembly);
            }
        }
        if (chosen.size() == 1) {
            take(*chosen.front());
            chain.lastFound = true;
            chain.total = static_cast<std::uint32_t>(chain.parts.size());
            return;
        }
        std::vector<const Assembly*> all;
        for (const Assembly& assembly : found) all.push_back(&assembly);
        chain.competing = Differences(chosen.empty() ? all : chosen);
        take(*(chosen.empty() ? all : chosen).front());
        chain.lastFound = true;
        chain.total = static_cast<std::uint32_t>(chain.parts.size());
        return;
    }
    if (overflow) {
        std::vector<const Assembly*> all;
        for (const Assembly& assembly : found) all.push_back(&assembly);
        for (const Assembly& assembly : dead) all.push_back(&assembly);
        chain.competing = Differences(all);
        if (chain.competing.empty() && !all.empty()) chain.competing.push_back({2, {}});
        if (totalHint != 0) chain.total = totalHint;
        return;
    }
    // Incomplete: the longest way the parts go, then what lies past the gap.
    const Assembly* longest = nullptr;
    for (const Assembly& assembly : dead) {
        if (longest == nullptr || assembly.parts.size() > longest->parts.size()) longest = &assembly;
    }
    if (longest != nullptr) take(*longest);
    if (chain.parts.back()->end == PartEnd::Continues) {
        // The place after the last part found holds nothing usable.
        GoPastGap(walk, chain, static_cast<std::uint32_t>(chain.parts.size() + 2));
    }
    if (!chain.lastFound && totalHint != 0 && totalHint >= chain.parts.size()) chain.total = totalHint;
    if (chain.total && !chain.lastFound && *chain.total > chain.parts.size()) {
        const auto from = static_cast<std::uint32_t>(chain.parts.size() + 1);
        if (chain.missing.empty() || chain.missing.back().second < from) chain.missing.emplace_back(from, *chain.total);
        // The last part itself is then what is missing at the end.
        chain.lastFound = false;
    }
}

void ChainLinker::GoPastGap(const Walk& walk, Chain& chain, std::uint32_t from) {
    // Past a missing part there is no continuation line to go by: a part
    // comes in by the chain's naming pattern or its mails alone.
    const FoundPart* previous = nullptr;
    for (auto it = byNumber_.lower_bound(from); it != byNumber_.end(); ++it) {
        const std::uint32_t number = it->first;
        if (previous != nullptr && number != chain.parts.size() + 1) previous = nullptr;
        std::vector<Candidate> candidates = Candidates(walk, number, previous);
        std::erase_if(candidates, [](const Candidate& c) { return c.score <= kGuessScore; });
        if (candidates.empty()) {
            previous = nullptr;
            continue;
        }
        if (chain.parts.size() + 1 < number) {
            chain.missing.emplace_back(static_cast<std::uint32_t>(chain.parts.size() + 1), number - 1);
            chain.parts.resize(number - 1, nullptr);
        }
        if (candidates.size() > 1) {
            Chain::Competition competition{number, {}};
            for (const Candidate& c : candidates) competition.parts.push_back(c.part);
            chain.competing.push_back(std::move(competition));
        }
        const FoundPart* part = candidates.front().part;
        chain.parts.push_back(part);
        if (part->end != PartEnd::Continues) {
            chain.lastFound = part->end == PartEnd::Last;
            if (chain.lastFound) chain.total = number;
            return;
        }
        previous = part;
    }
}

}  // namespace

std::size_t Chain::Found() const {
    return static_cast<std::size_t>(std::count_if(parts.begin(), parts.end(), [](const FoundPart* p) { return p != nullptr; }));
}

Linked LinkChains(const std::vector<FoundPart>& parts, const std::vector<MailInfo>& mails) {
    return ChainLinker(parts, mails).Run();
}

std::string ChainTargetName(const Chain& chain) { return chain.parts.empty() ? std::string() : chain.First().headerName; }

namespace {

// The parts of a linked chain, opened by their place, whatever names they
// arrived under or their continuation lines give.
class LinkedParts final : public ChainSource {
public:
    explicit LinkedParts(const Chain& chain) : chain_(chain) {}

    bool FirstId(FileId& id) const override { return GetFileId(chain_.First().file, id); }
    OpenedPart OpenFirst(int& error) override { return Open(chain_.First(), error); }
    OpenedPart OpenNext(const std::string&, std::uint64_t number, int& error) override {
        if (number == 0 || number > chain_.parts.size() || chain_.parts[number - 1] == nullptr) {
            error = ENOENT;
            return {};
        }
        return Open(*chain_.parts[number - 1], error);
    }
    std::uint64_t FurtherSize() const override {
        std::uint64_t size = 0;
        for (std::size_t i = 1; i < chain_.parts.size(); ++i) size += chain_.parts[i] ? chain_.parts[i]->size : 0;
        return size;
    }

private:
    static OpenedPart Open(const FoundPart& part, int& error) {
        return {OpenForReading(part.file, error), part.offset, part.size};
    }

    const Chain& chain_;
};

// Passes every message on, but notes the decoder's information that it
// repaired the text instead of showing it: the report line tells it, with
// the chain it is about.
class NoteRepair final : public UserMessages {
public:
    explicit NoteRepair(UserMessages& inner) : inner_(inner) {}
    int Show(const std::string& text, const std::string& caption, MessageKind kind) override {
        if (kind == MessageKind::Information) {
            repaired = true;
            return kAnswerOk;
        }
        return inner_.Show(text, caption, kind);
    }
    bool repaired = false;

private:
    UserMessages& inner_;
};

}  // namespace

ExtractResult ExtractChain(const Chain& chain, const fs::path& target, Services services, Extract mode,
                           PublishBatch* batch) {
    ExtractResult result;
    LinkedParts source(chain);
    NoteRepair messages(services.messages);
    const Services noted{messages, services.progress};
    if (mode == Extract::CheckOnly) {
        result.result = CheckHexText(source, noted);
    } else {
        const std::size_t before = batch != nullptr ? batch->Taken() : 0;
        result.result = HexToBin(source, target, noted, &result.written, batch);
        if (batch != nullptr && batch->Taken() > before) result.ticket = before;
    }
    result.repaired = messages.repaired && result.result == ConversionResult::Succeeded;
    return result;
}

}  // namespace calverdon::mail
