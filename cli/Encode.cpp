#include <memory>
#include <ostream>
#include <vector>

#include "Commands.h"
#include "HexText.h"

namespace calverdon::cli {

int RunEncode(const EncodeOptions& options, Console& console) {
    if (!options.target.empty() && options.sources.size() > 1) {
        console.err << "--output geht nur mit einer einzigen Quelldatei.\n";
        return kExitUsage;
    }
    int exitCode = kExitConverted;
    // All sources draw from the one line generator of the process, in order,
    // as successive encodings in one run of the program would.
    for (const auto& sourceText : options.sources) {
        const std::filesystem::path source = sourceText;
        const std::filesystem::path target =
            options.target.empty() ? EncodeTargetFor(source) : std::filesystem::path(options.target);
        ConsoleMessages messages(console, options.yes, {source, target});
        ConsoleProgress progress(console);
        const ConversionResult result = BinToHex(source, target, options.kilobytes, {messages, &progress});
        if (result == ConversionResult::Succeeded) {
            progress.Finish();
            console.out << Printable(target.string()) << '\n';
        } else {
            exitCode = kExitFailed;
        }
    }
    return exitCode;
}

Command AddEncodeCommand(CLI::App& app) {
    auto options = std::make_shared<EncodeOptions>();
    CLI::App* sub = app.add_subcommand("encode", "Dateien als Hex-Text schreiben");
    sub->add_option("-o,--output", options->target,
                    "Erste Zieldatei (Vorgabe: die Quelle mit der Endung \".txt\")");
    sub->add_option("--kb", options->kilobytes,
                    "Größte Teildatei in kB, wie im Feld \"Dateigröße max.\" eingegeben (Vorgabe \"0\": "
                    "nicht teilen)");
    sub->add_flag("-y,--yes", options->yes, "Bestehende Zieldateien ohne Rückfrage überschreiben");
    sub->add_option("QUELLE", options->sources, "Zu codierende Dateien")->required();
    return {sub, [options](Console& console) { return RunEncode(*options, console); }};
}

}  // namespace calverdon::cli
