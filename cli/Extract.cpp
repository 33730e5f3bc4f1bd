#include <algorithm>
#include <memory>
#include <ostream>

#include "Commands.h"
#include "Extraction.h"
#include "Store.h"

namespace calverdon::cli {

namespace {

std::filesystem::path StoreOf(const std::optional<std::string>& given) {
    return given && !given->empty() ? std::filesystem::path(*given) : mail::DefaultStorePath();
}

int Report(const mail::ExtractionReport& report, Console& console) {
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

}  // namespace

int RunExtract(const ExtractOptions& options, Console& console) {
    if (options.waiting) return Report(mail::ListWaiting(StoreOf(options.waiting)), console);
    if (options.forgetOlderThan) {
        return Report(mail::ForgetWaiting(StoreOf(options.keepIncomplete), *options.forgetOlderThan), console);
    }
    if (options.sources.empty()) {
        console.err << "Es fehlt die QUELLE: E-Mails, mbox-Dateien, Ordner oder Teildateien, oder - für die "
                       "Standardeingabe.\nMehr dazu: calverdon-cli extract --help\n";
        return kExitUsage;
    }
    ConsoleMessages messages(console, options.yes);
    ConsoleProgress progress(console);
    mail::ExtractOptions extract;
    extract.checkOnly = options.dryRun;
    if (options.keepIncomplete) extract.store = StoreOf(options.keepIncomplete);
    // A mail filter hands over every mail: one without a part is no news.
    extract.quietWhenNothing =
        !options.verbose && std::all_of(options.sources.begin(), options.sources.end(),
                                        [](const std::string& source) { return source == "-"; });
    const std::vector<std::filesystem::path> sources(options.sources.begin(), options.sources.end());
    const mail::ExtractionReport report = mail::ExtractAll(sources, options.folder, {messages, &progress}, extract);
    if (report.outcome == mail::Outcome::AllVerified || report.outcome == mail::Outcome::SomeIncomplete)
        progress.Finish();
    return Report(report, console);
}

namespace {

// The help, with the optional values of --keep-incomplete and --waiting
// shown as such.
class ExtractFormatter final : public CLI::Formatter {
public:
    explicit ExtractFormatter(const CLI::Formatter& base) : CLI::Formatter(base) {}
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        if (option->get_name() == "--keep-incomplete" || option->get_name() == "--waiting") {
            return option->get_name() + "[=ORDNER]";
        }
        return CLI::Formatter::make_option_name(option, positional);
    }
};

}  // namespace

Command AddExtractCommand(CLI::App& app) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* sub = app.add_subcommand(
        "extract", "Hex-Text-Ketten aus E-Mails, mbox-Dateien, Maildir- und anderen Ordnern zurückwandeln");
    if (const auto* base = dynamic_cast<const CLI::Formatter*>(app.get_formatter().get())) {
        sub->formatter(std::make_shared<ExtractFormatter>(*base));
    }
    sub->add_option("-C,--directory", options->folder, "Zielordner (Vorgabe: der aktuelle Ordner)");
    sub->add_flag("-y,--yes", options->yes, "Bestehende Zieldateien ohne Rückfrage überschreiben");
    sub->add_flag("-n,--dry-run", options->dryRun, "Nur prüfen, nichts schreiben");
    // Flags that may carry a value after "=": "--keep-incomplete" alone is
    // the usual place, and a source after it stays a source.
    sub->add_flag("--keep-incomplete{}", options->keepIncomplete,
                  "Teile unvollständiger Ketten im Eingang aufbewahren und mit späteren E-Mails vervollständigen "
                  "(Vorgabe: ~/.local/state/calverdon/eingang)");
    sub->add_flag("--waiting{}", options->waiting, "Zeigen, welche Ketten im Eingang auf Teile warten");
    sub->add_option("--forget-older-than", options->forgetOlderThan,
                    "Ketten aus dem Eingang entfernen, deren letzter Teil vor mehr als TAGE Tagen kam")
        ->type_name("TAGE");
    sub->add_flag("-v,--verbose", options->verbose, "Auch melden, wenn die Standardeingabe keinen Teil enthält");
    sub->add_option("QUELLE", options->sources, "E-Mails, mbox-Dateien, Ordner oder Teildateien; - für die Standardeingabe");
    return {sub, [options](Console& console) { return RunExtract(*options, console); }};
}

}  // namespace calverdon::cli
