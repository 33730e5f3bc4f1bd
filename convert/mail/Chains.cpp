#include "Chains.h"

#include <algorithm>
#include <stdlib.h>

#include <set>

#include "HexToBin.h"
#include "Names.h"
#include "ReadTargetName.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

class Silent final : public UserMessages {
public:
    int Show(const std::string&, const std::string&, MessageKind) override { return kAnswerNo; }
};

// "NAME_7.txt" as the name of part 7 gives "NAME" and ".txt".
std::optional<std::pair<std::string, std::string>> NamePattern(const std::string& name, std::uint32_t number) {
    const auto dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    const std::string stem = name.substr(0, name.size() - extension.size());
    const std::string suffix = "_" + std::to_string(number);
    if (stem.size() <= suffix.size() || !stem.ends_with(suffix)) return std::nullopt;
    return std::make_pair(stem.substr(0, stem.size() - suffix.size()), extension);
}

bool Known(const FoundPart& part, const std::string& name) {
    return !name.empty() && std::find(part.names.begin(), part.names.end(), name) != part.names.end();
}

// Follows each first part through the parts found, by the names their
// continuation lines give, or by number alone when there is one chain.
class ChainLinker {
public:
    explicit ChainLinker(const std::vector<FoundPart>& parts) {
        for (const FoundPart& part : parts) {
            if (part.number == 1) {
                firsts_.push_back(&part);
            } else {
                byNumber_[part.number].push_back(&part);
            }
        }
        single_ = firsts_.size() == 1;
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
    using Pattern = std::optional<std::pair<std::string, std::string>>;

    Chain Follow(const FoundPart* first);
    // The parts that may stand at `number` where the name `expected` is
    // looked for.
    std::vector<const FoundPart*> Claimants(std::uint32_t number, const std::string& expected) const {
        std::vector<const FoundPart*> found;
        const auto it = byNumber_.find(number);
        if (it == byNumber_.end()) return found;
        for (const FoundPart* part : it->second) {
            if (single_ || Known(*part, expected)) found.push_back(part);
        }
        return found;
    }
    // The name part `number` would bear, in the pattern of the names seen.
    static std::string GuessedName(const FoundPart& first, const Pattern& pattern, std::uint32_t number) {
        if (pattern) return pattern->first + "_" + std::to_string(number) + pattern->second;
        return first.names.empty() ? std::string() : PartFileName(first.names.front(), number);
    }
    // Past a gap at `next`: the next number that some part claims, noted as
    // missing in between; empty when none does.
    std::vector<const FoundPart*> PastGap(const FoundPart& first, const Pattern& pattern, Chain& chain,
                                          std::uint32_t& next) const {
        for (auto it = byNumber_.upper_bound(next); it != byNumber_.end(); ++it) {
            std::vector<const FoundPart*> found = Claimants(it->first, GuessedName(first, pattern, it->first));
            if (found.empty()) continue;
            chain.missing.emplace_back(next, it->first - 1);
            next = it->first;
            return found;
        }
        return {};
    }

    std::vector<const FoundPart*> firsts_;
    std::map<std::uint32_t, std::vector<const FoundPart*>> byNumber_;
    bool single_ = false;
    std::set<const FoundPart*> taken_;
};

Chain ChainLinker::Follow(const FoundPart* first) {
    Chain chain;
    chain.first = first;
    chain.parts[1] = first;
    Pattern pattern;
    std::uint32_t number = 1;
    const FoundPart* current = first;
    for (;;) {
        if (current != nullptr && !current->continues) {
            chain.total = number;
            break;
        }
        if (number == UINT32_MAX) break;
        std::uint32_t next = number + 1;
        if (current != nullptr) {
            if (auto seen = NamePattern(current->nextName, next)) pattern = seen;
        }
        std::vector<const FoundPart*> found =
            Claimants(next, current ? current->nextName : GuessedName(*first, pattern, next));
        if (found.empty()) found = PastGap(*first, pattern, chain, next);
        if (found.empty()) break;
        taken_.insert(found.begin(), found.end());
        chain.parts[next] = found.front();
        number = next;
        current = found.size() == 1 ? found.front() : nullptr;
        if (found.size() > 1) {
            chain.conflicts.push_back(next);
            if (std::all_of(found.begin(), found.end(), [](const FoundPart* p) { return !p->continues; })) {
                chain.total = next;
                break;
            }
        }
    }
    return chain;
}

}  // namespace

Linked LinkChains(const std::vector<FoundPart>& parts) { return ChainLinker(parts).Run(); }

std::string ChainTargetName(const Chain& chain) { return chain.first ? chain.first->headerName : std::string(); }

ExtractResult ExtractChain(const Chain& chain, const fs::path& scratch, const fs::path& targetFolder,
                           Services services, bool checkOnly) {
    ExtractResult result;
    result.targetName = ChainTargetName(chain);
    std::string pattern = (scratch / "kette-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return result;
    const fs::path folder = pattern;
    struct Remove {
        fs::path path;
        ~Remove() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } remove{folder};

    // Each further part goes under the name its predecessor's continuation
    // line gives, which is where the decoder opens it.
    std::set<std::string> used;
    std::vector<std::pair<std::string, const FoundPart*>> layout;
    for (const auto& [number, part] : chain.parts) {
        if (number == 1) continue;
        const auto before = chain.parts.find(number - 1);
        if (before == chain.parts.end()) continue;
        // The strict reading opens the name as the line gives it, the
        // lenient one without blanks around it: the part stands under both.
        for (const std::string* name : {&before->second->nextName, &before->second->strictNextName}) {
            if (!name->empty() && used.insert(*name).second) layout.emplace_back(*name, part);
        }
    }
    std::string firstName;
    for (const std::string& candidate : chain.first->names) {
        if (!used.contains(candidate)) {
            firstName = candidate;
            break;
        }
    }
    for (int i = 0; firstName.empty(); ++i) {
        const std::string candidate = "erster-teil-" + std::to_string(i) + ".txt";
        if (!used.contains(candidate)) firstName = candidate;
    }
    layout.emplace_back(firstName, chain.first);
    for (const auto& [name, part] : layout) {
        std::error_code error;
        fs::create_hard_link(part->file, folder / name, error);
        if (error) fs::copy_file(part->file, folder / name, error);
    }

    const fs::path source = folder / firstName;
    Silent silent;
    std::string name = ReadTargetName(source, silent);
    if (name.empty()) name = result.targetName;
    // Nothing usable: let the header check say why.
    if (name.empty()) {
        ReadTargetName(source, services.messages);
        return result;
    }
    result.targetName = name;
    if (checkOnly) {
        result.result = CheckHexText(source, services);
    } else {
        result.result = HexToBin(source, targetFolder / name, services, &result.written);
    }
    return result;
}

}  // namespace calverdon::mail
