#include <memory>
#include <ostream>

#include "Commands.h"
#include "Extraction.h"

namespace calverdon::cli {

int RunExtract(const ExtractOptions& options, Console& console) {
    ConsoleMessages messages(console, options.yes);
    ConsoleProgress progress(console);
    const std::vector<std::filesystem::path> sources(options.sources.begin(), options.sources.end());
    const mail::ExtractionReport report =
        mail::ExtractAll(sources, options.folder, {messages, &progress}, options.dryRun);
    if (report.outcome == mail::Outcome::AllVerified || report.outcome == mail::Outcome::SomeIncomplete)
        progress.Finish();
    for (const std::string& error : report.errors) console.err << Printable(error) << '\n';
    for (const std::string& line : report.lines) console.out << Printable(line) << '\n';
    switch (report.outcome) {
        case mail::Outcome::AllVerified:
            return kExitConverted;
        case mail::Outcome::SomeIncomplete:
            return kExitChecksum;
        case mail::Outcome::Failed:
        case mail::Outcome::NothingFound:
            break;
    }
    return kExitFailed;
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
