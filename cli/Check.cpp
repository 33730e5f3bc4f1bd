#include <memory>
#include <ostream>

#include "Commands.h"
#include "HexText.h"

namespace calverdon::cli {

Command AddCheckCommand(CLI::App& app) {
    auto source = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand("check", "Eine Hex-Text-Kette prüfen, ohne etwas zu schreiben");
    sub->add_option("QUELLE", *source, "Erste Datei der Hex-Text-Kette")->required();
    return {sub, [source](Console& console) {
                ConsoleMessages messages(console, false);
                const std::string name = ReadTargetName(*source, messages);
                if (name.empty()) return kExitFailed;
                ConsoleProgress progress(console);
                const ConversionResult result = CheckHexText(*source, {messages, &progress});
                if (result == ConversionResult::Succeeded) console.out << "In Ordnung: " << Printable(name) << '\n';
                return ExitCodeFor(static_cast<int>(result));
            }};
}

}  // namespace calverdon::cli
