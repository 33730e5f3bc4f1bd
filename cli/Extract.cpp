#include <memory>
#include <ostream>

#include "Chains.h"
#include "Commands.h"
#include "MailScanner.h"

namespace calverdon::cli {
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
std::string Shortcoming(const mail::Chain& chain) {
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

}  // namespace

int RunExtract(const ExtractOptions& options, Console& console) {
    ConsoleMessages messages(console, options.yes);
    std::unique_ptr<mail::ScratchFolder> scratch;
    try {
        scratch = std::make_unique<mail::ScratchFolder>();
    } catch (const std::filesystem::filesystem_error& e) {
        console.err << "Fehler " << e.code().value() << " beim Anlegen des Arbeitsordners.\n";
        return kExitFailed;
    }
    mail::MailScanner scanner(scratch->Path());
    {
        ConsoleProgress progress(console);
        int shown = -1;
        std::vector<std::filesystem::path> inputs(options.sources.begin(), options.sources.end());
        scanner.Scan(inputs, [&](std::uint64_t done, std::uint64_t total) {
            const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
            if (percent != shown) progress.SetProgress(shown = percent);
        });
    }
    bool failed = false;
    bool incomplete = false;
    for (const auto& [path, error] : scanner.Unreadable()) {
        console.err << "Fehler " << error << " beim Lesen von " << Printable(path.string()) << ".\n";
        failed = true;
    }

    const mail::Linked linked = mail::LinkChains(scanner.Parts());
    const std::filesystem::path folder = options.folder;
    for (const mail::Chain& chain : linked.chains) {
        const std::string name = mail::ChainTargetName(chain);
        const std::string shown = Printable(name.empty() ? "(ohne Namen)" : name);
        if (!chain.Complete()) {
            console.out << shown << ": " << Shortcoming(chain) << '\n';
            incomplete = true;
            continue;
        }
        ConsoleProgress progress(console);
        const mail::ExtractResult result =
            mail::ExtractChain(chain, scratch->Path(), folder, {messages, &progress}, options.dryRun);
        const std::string parts = std::to_string(chain.parts.size());
        console.out << Printable(result.targetName.empty() ? shown : result.targetName) << ": " << parts
                    << " von " << parts << " Teilen, ";
        switch (result.result) {
            case ConversionResult::Succeeded:
                if (options.dryRun) {
                    console.out << "in Ordnung\n";
                } else {
                    console.out << "umgewandelt in " << Printable(result.written.string()) << '\n';
                }
                break;
            case ConversionResult::ChecksumMismatch:
                console.out << "Prüfsummenfehler";
                if (!options.dryRun) console.out << ", geschrieben als " << Printable(result.written.string());
                console.out << '\n';
                incomplete = true;
                break;
            case ConversionResult::Failed:
                console.out << "nicht umgewandelt\n";
                failed = true;
                break;
        }
    }
    for (const mail::FoundPart* stray : linked.strays) {
        console.out << Printable(stray->names.empty() ? "(ohne Namen)" : stray->names.front()) << ": Teil "
                    << stray->number << " ohne erstes Teil\n";
        incomplete = true;
    }
    if (linked.chains.empty() && linked.strays.empty()) {
        console.err << "Keine Hex-Text-Kette gefunden.\n";
        return kExitFailed;
    }
    return failed ? kExitFailed : incomplete ? kExitChecksum : kExitConverted;
}

Command AddExtractCommand(CLI::App& app) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* sub = app.add_subcommand(
        "extract", "Hex-Text-Ketten aus E-Mails, mbox-Dateien, Maildir- und anderen Ordnern zurückwandeln");
    sub->add_option("-C,--directory", options->folder, "Zielordner (Vorgabe: der aktuelle Ordner)");
    sub->add_flag("-y,--yes", options->yes, "Bestehende Zieldateien ohne Rückfrage überschreiben");
    sub->add_flag("-n,--dry-run", options->dryRun, "Nur prüfen, nichts schreiben");
    sub->add_option("QUELLE", options->sources, "E-Mails, mbox-Dateien, Ordner oder Teildateien")->required();
    return {sub, [options](Console& console) { return RunExtract(*options, console); }};
}

}  // namespace calverdon::cli
