// Interleaved 2 of 5: digits in pairs, the first digit of a pair in the
// widths of five bars and the second in the five spaces between them. No
// check digit.

#include <array>
#include <string>
#include <string_view>

#include <calverdon/Codecommon.h>
#include "Symbology.h"

namespace calverdon::barcode {
namespace {

// The five element widths of each digit, "1" wide: checked against
// ISO/IEC 16390. Each has two wide elements of five, no two are alike.
constexpr std::array<std::string_view, 10> kDigits = {
    "00110",  // 0
    "10001",  // 1
    "01001",  // 2
    "11000",  // 3
    "00101",  // 4
    "10100",  // 5
    "01100",  // 6
    "00011",  // 7
    "10010",  // 8
    "01010",  // 9
};

constexpr bool TableValid() {
    for (std::size_t i = 0; i < kDigits.size(); ++i) {
        if (kDigits[i].size() != 5) return false;
        int wide = 0;
        for (const char c : kDigits[i]) {
            if (c == '1') ++wide;
            else if (c != '0') return false;
        }
        if (wide != 2) return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (kDigits[j] == kDigits[i]) return false;
        }
    }
    return true;
}
static_assert(TableValid(), "an interleaved 2 of 5 pattern is mistyped");

constexpr std::string_view kStart = "slsl";  // narrow bar, space, bar, space
constexpr std::string_view kStop = "Sls";    // wide bar, narrow space, narrow bar

}  // namespace

std::string Code2of5IModuleText(std::string_view data, bool alternateEnd) {
    std::string digits;
    for (const char c : data) {
        if (c >= '0' && c <= '9') digits += c;
    }
    // Pairs need an even count; a leading zero keeps the value the same.
    if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');

    std::string text(kStart);
    text.reserve(kStart.size() + digits.size() * 5 + kStop.size());
    for (std::size_t p = 0; p < digits.size(); p += 2) {
        const std::string_view bars = kDigits[static_cast<std::size_t>(digits[p] - '0')];
        const std::string_view spaces = kDigits[static_cast<std::size_t>(digits[p + 1] - '0')];
        for (std::size_t k = 0; k < 5; ++k) {
            text += bars[k] == '1' ? 'S' : 's';
            text += spaces[k] == '1' ? 'L' : 'l';
        }
    }
    text += kStop;
    // With a pair, the first pair's first space and second bar trade
    // places; without one, the stop's space and last bar.
    if (alternateEnd) ExchangeSixthAndSeventh(text);
    return text;
}

}  // namespace calverdon::barcode

using namespace calverdon::barcode;

int KcBarcode::Code2of5I(int x, int y, UnicodeString data) {
    return DrawSymbol(*this, x, y, data, Code2of5IModuleText, ModuleAlphabet::BarSpaceLetters);
}
