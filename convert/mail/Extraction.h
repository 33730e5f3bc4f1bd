#pragma once
// One whole extraction, as the command line and the window run it: the
// inputs scanned, the parts joined into chains, each complete chain decoded
// into a folder, and one German line of report per chain.

#include <filesystem>
#include <optional>
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

struct ExtractOptions {
    bool checkOnly = false;
    // Parts of chains that are not complete yet are kept there, and the
    // chains waiting there are completed from the new mails.
    std::optional<std::filesystem::path> store;
    // No message when the sources hold no part at all (a mail filter hands
    // over every mail).
    bool quietWhenNothing = false;
};

// The same with options. A source "-" is one mail, or an mbox, read from
// standard input.
ExtractionReport ExtractAll(const std::vector<std::filesystem::path>& sources,
                            const std::filesystem::path& folder, Services services, const ExtractOptions& options);

// One line per chain waiting in the store at `store`: its name, the parts
// there of how many, the numbers missing, and when its oldest part came.
ExtractionReport ListWaiting(const std::filesystem::path& store);
// Removes the chains in the store whose newest part came more than `days`
// days ago, with a line for each.
ExtractionReport ForgetWaiting(const std::filesystem::path& store, unsigned days);

}  // namespace calverdon::mail
