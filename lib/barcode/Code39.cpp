// Code 39: nine elements per character, three of them wide, and a narrow
// gap after every character; the asterisk starts and stops the symbol. No
// check character.

#include <array>
#include <string>
#include <string_view>

#include <calverdon/Codecommon.h>
#include "Symbology.h"

namespace calverdon::barcode {
namespace {

struct Code39Char {
    char ch;
    std::string_view pattern;  // bar, space, bar, ... bar: "1" wide, "0" narrow
};

// Checked against the character table of ISO/IEC 16388. The static_asserts
// below check that each pattern has three wide elements of nine, two of
// them bars (none for the four characters $ / + %), and that no two are
// alike.
constexpr std::array<Code39Char, 44> kCode39 = {{
    {'0', "000110100"}, {'1', "100100001"}, {'2', "001100001"}, {'3', "101100000"},
    {'4', "000110001"}, {'5', "100110000"}, {'6', "001110000"}, {'7', "000100101"},
    {'8', "100100100"}, {'9', "001100100"},
    {'A', "100001001"}, {'B', "001001001"}, {'C', "101001000"}, {'D', "000011001"},
    {'E', "100011000"}, {'F', "001011000"}, {'G', "000001101"}, {'H', "100001100"},
    {'I', "001001100"}, {'J', "000011100"}, {'K', "100000011"}, {'L', "001000011"},
    {'M', "101000010"}, {'N', "000010011"}, {'O', "100010010"}, {'P', "001010010"},
    {'Q', "000000111"}, {'R', "100000110"}, {'S', "001000110"}, {'T', "000010110"},
    {'U', "110000001"}, {'V', "011000001"}, {'W', "111000000"}, {'X', "010010001"},
    {'Y', "110010000"}, {'Z', "011010000"},
    {'-', "010000101"}, {'.', "110000100"}, {' ', "011000100"}, {'*', "010010100"},
    {'$', "010101000"}, {'/', "010100010"}, {'+', "010001010"}, {'%', "000101010"},
}};

// The table holds all 44 characters of the standard so that it can be
// checked whole; this library takes neither the full stop nor the asterisk
// (start and stop) from the data.
constexpr bool Encodable(char c) { return c != '.' && c != '*'; }

constexpr std::string_view kStartStop = "0100101000";  // "*" and its gap

constexpr bool TableValid() {
    for (std::size_t i = 0; i < kCode39.size(); ++i) {
        const std::string_view p = kCode39[i].pattern;
        if (p.size() != 9) return false;
        int wideBars = 0;
        int wideSpaces = 0;
        for (std::size_t k = 0; k < 9; ++k) {
            if (p[k] == '1') (k % 2 == 0 ? wideBars : wideSpaces)++;
            else if (p[k] != '0') return false;
        }
        const bool special = std::string_view("$/+%").find(kCode39[i].ch) != std::string_view::npos;
        if (special ? (wideBars != 0 || wideSpaces != 3) : (wideBars != 2 || wideSpaces != 1)) return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (kCode39[j].ch == kCode39[i].ch || kCode39[j].pattern == p) return false;
        }
    }
    return true;
}

// 10 digits, 26 letters, the blank, "-", ".", "*" and "$", "/", "+", "%".
static_assert(kCode39.size() == 10 + 26 + 4 + 4, "one row per Code 39 character");
static_assert(TableValid(), "a Code 39 pattern is mistyped");
static_assert(kCode39[39].ch == '*' && std::string_view(kCode39[39].pattern) == kStartStop.substr(0, 9));

constexpr std::string_view PatternOf(char c) {
    for (const auto& row : kCode39) {
        if (row.ch == c) return row.pattern;
    }
    return {};
}

}  // namespace

std::string Code39ModuleText(std::string_view data, bool alternateEnd) {
    std::string text(kStartStop);
    for (char c : data) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!Encodable(c)) continue;
        const std::string_view pattern = PatternOf(c);
        if (pattern.empty()) continue;
        text += pattern;
        text += '0';
    }
    text += kStartStop;
    // The start character's sixth element, a space, becomes wide and its
    // seventh, a bar, narrow.
    if (alternateEnd) ExchangeSixthAndSeventh(text);
    return text;
}

}  // namespace calverdon::barcode

using namespace calverdon::barcode;

int KcBarcode::Code39(int x, int y, UnicodeString data) {
    return DrawSymbol(*this, x, y, data, Code39ModuleText, ModuleAlphabet::NarrowWideTens);
}
