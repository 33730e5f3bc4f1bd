#include "Console.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>

#include "Cp1252.h"

namespace calverdon::cli {
namespace {

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return Printable(text);
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t control = ControlCharacterAt(text, i);
        if (control == 0) {
            out += text[i];
            continue;
        }
        const bool c1 = control == 2;
        const unsigned value = static_cast<unsigned char>(text[c1 ? ++i : i]);
        char escape[8];
        std::snprintf(escape, sizeof escape, c1 ? "\\u%04x" : "\\x%02x", value);
        out += escape;
    }
    return out;
}

int ConsoleMessages::Show(const std::string& text, const std::string& caption, MessageKind kind) {
    if (kind != MessageKind::YesNoWarning) {
        // Caption and text together read as one German sentence.
        console_.err << caption << ' ' << OneLine(text) << '\n';
        return kAnswerOk;
    }
    if (assumeYes_) return kAnswerYes;
    if (!console_.inputIsTerminal) {
        console_.err << caption << ' ' << OneLine(text)
                     << " Ohne Terminal wird sie nur mit --yes überschrieben.\n";
        return kAnswerNo;
    }
    console_.err << caption << ' ' << OneLine(text) << " [j/N] " << std::flush;
    std::string answer;
    std::getline(console_.in, answer);
    return answer == "j" || answer == "J" || answer == "ja" || answer == "Ja" ? kAnswerYes : kAnswerNo;
}

ConsoleProgress::~ConsoleProgress() {
    if (drawn_) console_.err << "\r\033[K" << std::flush;
}

void ConsoleProgress::SetProgress(int percent) {
    if (!console_.errorIsTerminal) return;
    constexpr int kWidth = 40;
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kWidth / 100;
    console_.err << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << shown
                 << " %" << std::flush;
    drawn_ = true;
}

}  // namespace calverdon::cli
