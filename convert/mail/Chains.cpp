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

}  // namespace

Linked LinkChains(const std::vector<FoundPart>& parts) {
    std::vector<const FoundPart*> firsts;
    std::map<std::uint32_t, std::vector<const FoundPart*>> byNumber;
    for (const FoundPart& part : parts) {
        if (part.number == 1) {
            firsts.push_back(&part);
        } else {
            byNumber[part.number].push_back(&part);
        }
    }
    const bool single = firsts.size() == 1;
    std::set<const FoundPart*> taken;
    Linked linked;
    for (const FoundPart* first : firsts) {
        Chain chain;
        chain.first = first;
        chain.parts[1] = first;
        std::optional<std::pair<std::string, std::string>> pattern;
        auto guessedName = [&](std::uint32_t number) -> std::string {
            if (pattern) return pattern->first + "_" + std::to_string(number) + pattern->second;
            return first->names.empty() ? std::string() : PartFileName(first->names.front(), number);
        };
        auto claimants = [&](std::uint32_t number, const std::string& expected) {
            std::vector<const FoundPart*> found;
            const auto it = byNumber.find(number);
            if (it == byNumber.end()) return found;
            for (const FoundPart* part : it->second) {
                if (single || Known(*part, expected)) found.push_back(part);
            }
            return found;
        };

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
            std::vector<const FoundPart*> found = claimants(next, current ? current->nextName : guessedName(next));
            if (found.empty()) {
                // Past a gap: the next number that some part claims.
                for (auto it = byNumber.upper_bound(next); it != byNumber.end() && found.empty(); ++it) {
                    found = claimants(it->first, guessedName(it->first));
                    if (!found.empty()) {
                        chain.missing.emplace_back(next, it->first - 1);
                        next = it->first;
                    }
                }
                if (found.empty()) break;
            }
            taken.insert(found.begin(), found.end());
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
        linked.chains.push_back(std::move(chain));
    }
    for (const auto& [number, candidates] : byNumber) {
        for (const FoundPart* part : candidates) {
            if (!taken.contains(part)) linked.strays.push_back(part);
        }
    }
    return linked;
}

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
        const std::string& name = before->second->nextName;
        if (!name.empty() && used.insert(name).second) layout.emplace_back(name, part);
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
