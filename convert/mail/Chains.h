#pragma once
// Found parts joined into chains, and a complete chain decoded.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Format.h"
#include "MailScanner.h"
#include "Services.h"

namespace calverdon::mail {

struct Chain {
    const FoundPart* first = nullptr;
    // The parts by number; a number claimed by different parts holds one
    // of them and is listed in `conflicts`.
    std::map<std::uint32_t, const FoundPart*> parts;
    // The number of parts, known once the last part was found.
    std::optional<std::uint32_t> total;
    // Missing numbers below the highest one found, as ranges [from, to].
    std::vector<std::pair<std::uint32_t, std::uint32_t>> missing;
    std::vector<std::uint32_t> conflicts;

    bool Complete() const { return total && missing.empty() && conflicts.empty(); }
};

struct Linked {
    std::vector<Chain> chains;              // one per distinct first part, in the order found
    std::vector<const FoundPart*> strays;   // continuation parts that no chain takes
};

// Joins the parts: each part names the next in its continuation line, which
// is matched against the names the parts arrived under. When there is only
// one first part, every part is taken by its number alone, whatever its
// name, since mail programs rename attachments. Different parts for one
// place are a conflict. Past a missing part, the names go on in the pattern
// of the names seen (NAME_2.txt, NAME_3.txt, ...).
Linked LinkChains(const std::vector<FoundPart>& parts);

// The carried file's name as a chain's first part gives it (made safe);
// empty when it gives none.
std::string ChainTargetName(const Chain& chain);

struct ExtractResult {
    ConversionResult result = ConversionResult::Failed;
    std::string targetName;
    std::filesystem::path written;  // where the result went (decoding only)
};

// Lays a complete chain out in a folder of its own under `scratch`, each
// part under the name the decoder will look for, and decodes it into
// `targetFolder` under the name from its header, with all the decoder's
// questions and safeguards; with `checkOnly` it is only checked.
ExtractResult ExtractChain(const Chain& chain, const std::filesystem::path& scratch,
                           const std::filesystem::path& targetFolder, Services services, bool checkOnly);

}  // namespace calverdon::mail
