#pragma once
// Found parts joined into chains by the evidence there is, and a complete
// chain decoded.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DecodedFile.h"
#include "Format.h"
#include "MailScanner.h"
#include "Services.h"

namespace calverdon::mail {

struct Chain {
    // The parts by number: parts[0] is the first part, parts[k - 1] part
    // k; nullptr where none was found.
    std::vector<const FoundPart*> parts;
    // The number of parts, known once the last part was found, or from
    // what the mails say ("Teil 2 von 5", our own header).
    std::optional<std::uint32_t> total;
    bool lastFound = false;
    // Missing numbers, as ranges [from, to].
    std::vector<std::pair<std::uint32_t, std::uint32_t>> missing;
    // Places for which the evidence could not decide between parts.
    struct Competition {
        std::uint32_t number = 0;
        std::vector<const FoundPart*> parts;
    };
    std::vector<Competition> competing;

    const FoundPart& First() const { return *parts.front(); }
    std::size_t Found() const;
    bool Complete() const { return lastFound && missing.empty() && competing.empty(); }
};

struct Linked {
    std::vector<Chain> chains;              // one per distinct first part, in the order found
    std::vector<const FoundPart*> strays;   // continuation parts that no chain takes
};

// Joins the parts. A part is taken for a place by the evidence that ties it
// to the chain: the name it arrived under against the name the previous
// part's continuation line gives (or the chain's naming pattern), the mail
// it came in (the same mail, the same thread, our own chain header, the
// subject's numbering, the sender), and where candidates remain that
// nothing else separates, the running checksum, which each part's share
// lets test without decoding. A name that says another chain rules a part
// out. Linear in the parts in all ordinary cases.
Linked LinkChains(const std::vector<FoundPart>& parts, const std::vector<MailInfo>& mails);

// The carried file's name as a chain's first part gives it (made safe);
// empty when it gives none.
std::string ChainTargetName(const Chain& chain);

// Whether only checking, or decoding as well.
enum class Extract { Decode, CheckOnly };

struct ExtractResult {
    ConversionResult result = ConversionResult::Failed;
    std::filesystem::path written;  // where the result went (decoding only)
    bool repaired = false;          // read the lenient way, and verified so
    // The result's ticket in the batch it waits in, when it waits.
    std::optional<std::size_t> ticket;
};

// Decodes a complete chain from the parts' copies into `target`, with all
// the decoder's questions and safeguards; with CheckOnly it is only
// checked. The decoder's note that it repaired the text is not shown but
// told in the result. With a batch, the result waits in it for its name.
ExtractResult ExtractChain(const Chain& chain, const std::filesystem::path& target, Services services, Extract mode,
                           PublishBatch* batch = nullptr);

}  // namespace calverdon::mail
