// Fuzz target for the mail scanner. The input is one file: an mbox when it
// starts with "From ", otherwise a single mail or a part file. Every part
// found is joined into chains, and complete chains are checked by the
// decoder. Checked: each part's copy exists with the size recorded, every
// chain starts with its first part, and the part-start reader agrees
// whether the input is cut into pieces or not.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "Chains.h"
#include "FuzzSupport.h"
#include "MailScanner.h"
#include "PartText.h"

namespace {

namespace fs = std::filesystem;
using calverdon::fuzz::Require;

class Quiet final : public calverdon::UserMessages {
public:
    int Show(const std::string&, const std::string&, calverdon::MessageKind) override { return calverdon::kAnswerNo; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static const calverdon::fuzz::ScratchFolder scratchFolder;
    const fs::path folder = scratchFolder.Empty();
    const fs::path file = folder / "eingang";
    std::ofstream(file, std::ios::binary).write(input.data(), static_cast<std::streamsize>(input.size()));
    const fs::path scratch = folder / "teile";
    fs::create_directory(scratch);

    calverdon::mail::MailScanner scanner(scratch);
    scanner.Scan({file});
    for (const auto& part : scanner.Parts()) {
        std::error_code error;
        Require(fs::file_size(part.file, error) == part.size && !error, "copy missing or of another size");
        Require(part.number >= 1, "part without a number");
    }
    const auto linked = calverdon::mail::LinkChains(scanner.Parts());
    Quiet quiet;
    for (const auto& chain : linked.chains) {
        Require(chain.parts.at(1) == chain.first && chain.first->number == 1, "chain without its first part");
        if (chain.Complete()) calverdon::mail::ExtractChain(chain, scratch, folder, {quiet}, true);
    }

    // The end finder fed in pieces of seven bytes sees what it sees in one.
    calverdon::mail::PartEndFinder whole(1);
    calverdon::mail::PartEndFinder pieces(1);
    whole.Feed(input);
    for (std::size_t i = 0; i < input.size(); i += 7) pieces.Feed(input.substr(i, 7));
    Require(whole.Ending() == pieces.Ending() && whole.NextName() == pieces.NextName(), "end finder depends on pieces");
    return 0;
}
