#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Cp1252.h"
#include <calverdon/Phonetik.h>
#include "Usage.h"

namespace calverdon::cli {
namespace {

// One code per line, an empty line for an empty code. Characters that
// Windows-1252 cannot hold are dropped: the coding would drop them anyway.
void WriteCode(const std::string& utf8, std::int16_t maxLength, std::ostream& out) {
    out << Utf16ToUtf8(kPhonetik(Utf8ToCp1252(utf8, std::nullopt), maxLength)) << '\n';
}

}  // namespace

int RunPhonetik(const PhonetikOptions& options, Console& console) {
    const auto maxLength = static_cast<std::int16_t>(options.maxLength);  // range checked by the parser
    if (!options.words.empty()) {
        for (const auto& word : options.words) WriteCode(word, maxLength, console.out);
        return kExitConverted;
    }
    std::string line;
    while (std::getline(console.in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        WriteCode(line, maxLength, console.out);
    }
    return kExitConverted;
}

Command AddPhonetikCommand(CLI::App& app) {
    auto options = std::make_shared<PhonetikOptions>();
    CLI::App* sub =
        app.add_subcommand("phonetik",
                           "Den Code der Kölner Phonetik ausgeben, je Wort eine Zeile (ohne Wörter: je Zeile der "
                           "Standardeingabe ein Wort)");
    WholeNumberIn(sub->add_option("--max", options->maxLength, "Höchstlänge des Codes (Vorgabe 32767)"), -32768,
                  32767);
    sub->add_option("WORT", options->words, "Zu codierende Wörter");
    return {sub, [options](Console& console) { return RunPhonetik(*options, console); }};
}

}  // namespace calverdon::cli
