// Fuzz target for the mail layer. The input is one file: an mbox when it
// starts with "From ", otherwise a single mail or a part file. Checked:
// each part's copy exists with the size recorded and every chain starts
// with its first part; the part splitter finds the same parts whether the
// text comes in one piece or in many; and an mbox gives the same files
// whatever the order of its mails.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Chains.h"
#include "Extraction.h"
#include "FuzzSupport.h"
#include "MailScanner.h"
#include "PartText.h"
#include "TestMessages.h"

namespace {

namespace fs = std::filesystem;
using calverdon::fuzz::Require;

void Write(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The files in a folder, by name, with their bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
}

// The mails of an mbox, each from its "From " line on.
std::vector<std::string_view> Mails(std::string_view mbox) {
    std::vector<std::string_view> mails;
    std::size_t start = 0;
    for (std::size_t at = mbox.find("\nFrom ", 0); at != std::string_view::npos; at = mbox.find("\nFrom ", at + 1)) {
        mails.push_back(mbox.substr(start, at + 1 - start));
        start = at + 1;
    }
    mails.push_back(mbox.substr(start));
    return mails;
}

class Parts final : public calverdon::mail::PartSink {
public:
    void Begin() override {}
    void Write(std::string_view) override {}
    void End(const calverdon::mail::SplitPart& part) override {
        found += std::to_string(part.number) + "/" + part.headerName + "/" + part.nextName + "/" +
                 std::to_string(static_cast<int>(part.end)) + "/" + std::to_string(part.digest.bytes) + ";";
    }
    std::string found;
};

// Extracts `mbox` into a folder of its own and returns what came out.
std::map<std::string, std::string> Extracted(const fs::path& folder, std::string_view mbox) {
    fs::create_directories(folder / "ziel");
    Write(folder / "eingang", mbox);
    calverdon::testing::SilentMessages yes;
    calverdon::mail::ExtractAll({folder / "eingang"}, folder / "ziel", {yes}, false);
    return Files(folder / "ziel");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static calverdon::fuzz::ScratchFolder scratchFolder;
    const fs::path folder = scratchFolder.Empty();
    const fs::path file = folder / "eingang";
    Write(file, input);

    calverdon::fuzz::ScratchFolder scratch("calverdon-fuzz-mail");
    calverdon::mail::MailScanner scanner(scratch);
    scanner.Scan({file});
    for (const auto& part : scanner.Parts()) {
        std::error_code error;
        Require(fs::file_size(part.file, error) >= part.offset + part.size && !error, "copy missing or cut short");
        Require(part.number >= 1, "part without a number");
    }
    const auto linked = calverdon::mail::LinkChains(scanner.Parts(), scanner.Mails());
    for (const auto& chain : linked.chains) {
        Require(!chain.parts.empty() && chain.parts.front()->number == 1, "chain without its first part");
    }

    // The splitter fed in pieces of seven bytes finds what it finds in one.
    Parts whole;
    Parts pieces;
    {
        calverdon::mail::PartSplitter one(whole, true);
        one.Feed(input);
        one.Finish();
        calverdon::mail::PartSplitter many(pieces, true);
        for (std::size_t i = 0; i < input.size(); i += 7) many.Feed(input.substr(i, 7));
        many.Finish();
    }
    Require(whole.found == pieces.found, "the splitter depends on how its text is cut");

    // The order of the mails does not change what comes out.
    if (input.starts_with("From ")) {
        std::vector<std::string_view> mails = Mails(input);
        if (mails.size() > 1) {
            std::string reversed;
            for (auto it = mails.rbegin(); it != mails.rend(); ++it) {
                reversed += *it;
                if (!it->ends_with('\n')) reversed += '\n';
            }
            std::string forward;
            for (const std::string_view mail : mails) {
                forward += mail;
                if (!mail.ends_with('\n')) forward += '\n';
            }
            Require(Extracted(folder / "vorwaerts", forward) == Extracted(folder / "rueckwaerts", reversed),
                    "the order of the mails changes what is extracted");
        }
    }
    return 0;
}
