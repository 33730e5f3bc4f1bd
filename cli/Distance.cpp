#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Cp1252.h"
#include <calverdon/Phonetik.h>

namespace calverdon::cli {
namespace {

// A character that Windows-1252 cannot hold becomes the substitute control
// character (0x1A): it still counts as one character, equal to no letter.
constexpr char kSubstitute = '\x1A';

// Writes the distance of two UTF-8 words; false when a word is too long
// (the line then says -1, as the function does).
bool WriteDistance(const std::string& first, const std::string& second, std::ostream& out) {
    const std::int32_t distance =
        DamerauLevenshteinDistance(Utf8ToCp1252(first, kSubstitute), Utf8ToCp1252(second, kSubstitute));
    out << distance << '\n';
    return distance >= 0;
}

}  // namespace

int RunDistance(const DistanceOptions& options, Console& console) {
    if (options.words.size() == 1 || options.words.size() > 2) {
        console.err << "distance erwartet zwei Wörter oder keines.\n";
        return kExitUsage;
    }
    if (options.words.size() == 2) {
        if (WriteDistance(options.words[0], options.words[1], console.out)) return kExitConverted;
        console.err << "Ein Wort ist länger als 80 Zeichen.\n";
        return kExitFailed;
    }

    // Lines "A<TAB>B". A faulty line is told on stderr and answered with an
    // empty line, so that the output stays line by line beside the input.
    int exitCode = kExitConverted;
    std::string line;
    for (long number = 1; std::getline(console.in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto tab = line.find('\t');
        if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) {
            console.err << "Zeile " << number << ": erwartet zwei Wörter, durch einen Tabulator getrennt.\n";
            console.out << '\n';
            exitCode = kExitFailed;
        } else if (!WriteDistance(line.substr(0, tab), line.substr(tab + 1), console.out)) {
            console.err << "Zeile " << number << ": Ein Wort ist länger als 80 Zeichen.\n";
            exitCode = kExitFailed;
        }
    }
    return exitCode;
}

Command AddDistanceCommand(CLI::App& app) {
    auto options = std::make_shared<DistanceOptions>();
    CLI::App* sub = app.add_subcommand(
        "distance",
        "Die eingeschränkte Damerau-Levenshtein-Distanz zweier Wörter ausgeben (ohne Wörter: je "
        "Zeile der Standardeingabe \"A<Tab>B\")");
    sub->add_option("WORT", options->words, "Die beiden Wörter A und B");
    return {sub, [options](Console& console) { return RunDistance(*options, console); }};
}

}  // namespace calverdon::cli
