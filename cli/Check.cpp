#include <memory>
#include <ostream>

#include "Commands.h"
#include "HexText.h"

namespace calverdon::cli {

int RunCheck(const CheckOptions& options, Console& console) {
    ConsoleMessages messages(console, false, {options.source, {}, true});
    const std::string name = ReadTargetName(options.source, messages);
    if (name.empty()) return kExitFailed;
    ConsoleProgress progress(console);
    const ConversionResult result = CheckHexText(options.source, {messages, &progress});
    if (result != ConversionResult::Failed) progress.Finish();
    if (result == ConversionResult::Succeeded) console.out << "In Ordnung: " << Printable(name) << '\n';
    return ExitCodeFor(result);
}

Command AddCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* sub = app.add_subcommand("check", "Eine Hex-Text-Kette prüfen, ohne etwas zu schreiben");
    sub->add_option("QUELLE", options->source, "Erste Datei der Hex-Text-Kette")->required();
    return {sub, [options](Console& console) { return RunCheck(*options, console); }};
}

}  // namespace calverdon::cli
