#pragma once
// One whole extraction, as the command line and the window run it: the
// inputs scanned, the parts joined into chains, each complete chain decoded
// into a folder, and one German line of report per chain.

#include <filesystem>
#include <string>
#include <vector>

#include "Services.h"

namespace calverdon::mail {

enum class Outcome {
    AllVerified,     // every chain found was decoded (or checked) and verified
    SomeIncomplete,  // a chain incomplete, conflicting, or failing its checksum
    Failed,          // a chain could not be decoded, or an input not read
    NothingFound,    // no part of any chain in the inputs
};

struct ExtractionReport {
    std::vector<std::string> lines;   // one per chain or stray part, for the user
    std::vector<std::string> errors;  // inputs that could not be read, and the like
    Outcome outcome = Outcome::NothingFound;
};

// Extracts every chain in `sources` into `folder`; with `checkOnly` the
// chains are only checked and nothing is written. The decoder's messages,
// questions and progress go through `services`; the progress of the scan
// too.
ExtractionReport ExtractAll(const std::vector<std::filesystem::path>& sources,
                            const std::filesystem::path& folder, Services services, bool checkOnly);

}  // namespace calverdon::mail
