#include "Extraction.h"

#include <memory>

#include "Chains.h"
#include "File.h"
#include "Messages.h"
#include "MailScanner.h"

namespace calverdon::mail {
namespace {

// "3", "3 und 5", "2, 3 bis 5 und 8": the missing numbers as German text.
std::string NumberList(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges, std::uint64_t& count) {
    std::string text;
    count = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const auto [from, to] = ranges[i];
        count += to - from + 1ull;
        if (i > 0) text += i + 1 == ranges.size() ? " und " : ", ";
        text += std::to_string(from);
        if (to != from) text += (to == from + 1 ? " und " : " bis ") + std::to_string(to);
    }
    return text;
}

// What is wrong with a chain that cannot be decoded, after its name.
std::string Shortcoming(const Chain& chain) {
    const std::size_t found = chain.parts.size();
    if (!chain.conflicts.empty()) {
        std::string numbers;
        for (std::size_t i = 0; i < chain.conflicts.size(); ++i) {
            if (i > 0) numbers += i + 1 == chain.conflicts.size() ? " und " : ", ";
            numbers += std::to_string(chain.conflicts[i]);
        }
        return "Teil " + numbers + " in verschiedenen Fassungen gefunden, nicht umgewandelt (" +
               std::to_string(found) + " Teile gefunden)";
    }
    std::uint64_t count = 0;
    const std::string missing = NumberList(chain.missing, count);
    const char* verb = count == 1 ? " fehlt" : " fehlen";
    if (chain.total) {
        const std::string total = std::to_string(*chain.total);
        return "Teil " + missing + " von " + total + verb + " (" + std::to_string(found) + " von " + total +
               " Teilen gefunden)";
    }
    std::string text = missing.empty() ? std::string() : "Teil " + missing + verb + ", ";
    return text + "das letzte Teil fehlt (Gesamtzahl unbekannt), " + std::to_string(found) +
           (found == 1 ? " Teil gefunden" : " Teile gefunden");
}

// The report line of a complete chain after decoding or checking it.
std::string OutcomeLine(const Chain& chain, const ExtractResult& result, const std::string& shown, bool checkOnly) {
    const std::string parts = std::to_string(chain.parts.size());
    std::string line = (result.targetName.empty() ? shown : result.targetName) + ": " + parts + " von " + parts +
                       " Teilen, ";
    switch (result.result) {
        case ConversionResult::Succeeded:
            return line + (checkOnly ? "in Ordnung" : "umgewandelt in " + result.written.string());
        case ConversionResult::ChecksumMismatch:
            return line + "Prüfsummenfehler" + (checkOnly ? "" : ", geschrieben als " + result.written.string());
        case ConversionResult::Failed:
            break;
    }
    return line + "nicht umgewandelt";
}

class Extraction {
public:
    Extraction(Services services, bool checkOnly) : services_(services), checkOnly_(checkOnly) {}
    ExtractionReport Run(const std::vector<std::filesystem::path>& sources, const std::filesystem::path& folder);

private:
    void Scan(MailScanner& scanner, const std::vector<std::filesystem::path>& sources);
    void Decode(const Chain& chain, const std::filesystem::path& scratch, const std::filesystem::path& folder);

    Services services_;
    bool checkOnly_;
    ExtractionReport report_;
    bool failed_ = false;
    bool incomplete_ = false;
};

void Extraction::Scan(MailScanner& scanner, const std::vector<std::filesystem::path>& sources) {
    int shown = -1;
    scanner.Scan(sources, [&](std::uint64_t done, std::uint64_t total) {
        const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        if (percent != shown && services_.progress != nullptr) services_.progress->SetProgress(shown = percent);
    });
    for (const auto& [path, error] : scanner.Unreadable()) {
        // A FIFO, device or socket has no errno to show: the sentence says
        // what it is, as the decoder's messages do.
        report_.errors.push_back(error == kNotRegularFile
                                     ? "Fehler beim Lesen von " + path.string() + std::string(texts::kNotRegularFile)
                                     : "Fehler " + std::to_string(error) + " beim Lesen von " + path.string() + ".");
        failed_ = true;
    }
}

void Extraction::Decode(const Chain& chain, const std::filesystem::path& scratch, const std::filesystem::path& folder) {
    const std::string name = ChainTargetName(chain);
    const std::string shown = name.empty() ? "(ohne Namen)" : name;
    if (!chain.Complete()) {
        report_.lines.push_back(shown + ": " + Shortcoming(chain));
        incomplete_ = true;
        return;
    }
    const ExtractResult result = ExtractChain(chain, scratch, folder, services_, checkOnly_);
    report_.lines.push_back(OutcomeLine(chain, result, shown, checkOnly_));
    failed_ = failed_ || result.result == ConversionResult::Failed;
    incomplete_ = incomplete_ || result.result == ConversionResult::ChecksumMismatch;
}

ExtractionReport Extraction::Run(const std::vector<std::filesystem::path>& sources,
                                 const std::filesystem::path& folder) {
    std::unique_ptr<ScratchFolder> scratch;
    try {
        scratch = std::make_unique<ScratchFolder>();
    } catch (const std::filesystem::filesystem_error& e) {
        report_.errors.push_back("Fehler " + std::to_string(e.code().value()) + " beim Anlegen des Arbeitsordners.");
        report_.outcome = Outcome::Failed;
        return report_;
    }
    MailScanner scanner(scratch->Path());
    Scan(scanner, sources);
    const Linked linked = LinkChains(scanner.Parts());
    for (const Chain& chain : linked.chains) Decode(chain, scratch->Path(), folder);
    for (const FoundPart* stray : linked.strays) {
        report_.lines.push_back((stray->names.empty() ? "(ohne Namen)" : stray->names.front()) + ": Teil " +
                                std::to_string(stray->number) + " ohne erstes Teil");
        incomplete_ = true;
    }
    if (linked.chains.empty() && linked.strays.empty()) {
        report_.errors.push_back("Keine Hex-Text-Kette gefunden.");
        report_.outcome = Outcome::NothingFound;
    } else {
        report_.outcome = failed_ ? Outcome::Failed : incomplete_ ? Outcome::SomeIncomplete : Outcome::AllVerified;
    }
    return report_;
}

}  // namespace

ExtractionReport ExtractAll(const std::vector<std::filesystem::path>& sources, const std::filesystem::path& folder,
                            Services services, bool checkOnly) {
    return Extraction(services, checkOnly).Run(sources, folder);
}

}  // namespace calverdon::mail
