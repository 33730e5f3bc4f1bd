#pragma once
// What a hex-text chain holds, told before anything is decoded: the name of
// the file it carries and which of its parts lie in the first part's
// folder. It reads the first part's header, the first line of every part
// file that the folder holds under a part's name, and the end of the
// highest part found; each a bounded read, so that a chain of gigabytes
// costs no more than a small one. Nothing is shown to the user.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace calverdon {

struct ChainSummary {
    // The carried file's name (UTF-8, made safe); empty when the first
    // part has no readable hex-text header, and then nothing else is known.
    std::string name;
    // Parts found in the folder, the first part included: a part counts
    // when its first line carries its number.
    std::uint32_t found = 0;
    // The number of the last part when it is among those found (its data
    // end with "~~"), else 0.
    std::uint32_t last = 0;
    // How many parts are missing: those below the last part, or, while the
    // last one is not found, those below the highest part found and the
    // one after it.
    std::uint64_t missing = 0;
    // File names of the first of them, in order, at most kNamedMissing.
    std::vector<std::string> missingNames;

    static constexpr std::size_t kNamedMissing = 3;
};

// Summarises the chain whose first part is `firstPart`.
ChainSummary SummarizeChain(const std::filesystem::path& firstPart);

}  // namespace calverdon
