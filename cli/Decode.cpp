#include <memory>
#include <ostream>

#include "Commands.h"
#include "HexText.h"

namespace calverdon::cli {

int RunDecode(const DecodeOptions& options, Console& console) {
    const std::filesystem::path source = options.source;
    ConsoleMessages messages(console, options.yes, {source, {}});
    const std::string name = ReadTargetName(source, messages);
    if (name.empty()) return kExitFailed;
    const std::filesystem::path target =
        options.target.empty() ? source.parent_path() / name : std::filesystem::path(options.target);
    messages.SetTarget(target);

    ConsoleProgress progress(console);
    std::filesystem::path written;
    const ConversionResult result = HexToBin(source, target, {messages, &progress}, &written);
    if (result != ConversionResult::Failed) {
        progress.Finish();
        console.out << Printable(written.string()) << '\n';
    }
    return ExitCodeFor(result);
}

Command AddDecodeCommand(CLI::App& app) {
    auto options = std::make_shared<DecodeOptions>();
    CLI::App* sub = app.add_subcommand("decode", "Eine Hex-Text-Datei (mit ihren Teildateien) zurückwandeln");
    sub->add_option("-o,--output", options->target,
                    "Zieldatei (Vorgabe: der Name aus dem Kopf, im Ordner der Quelle)");
    sub->add_flag("-y,--yes", options->yes, "Eine bestehende Zieldatei ohne Rückfrage überschreiben");
    sub->add_option("QUELLE", options->source, "Erste Datei der Hex-Text-Kette")->required();
    return {sub, [options](Console& console) { return RunDecode(*options, console); }};
}

}  // namespace calverdon::cli
