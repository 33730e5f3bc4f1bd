#pragma once
// How the decoder reads the numbers of a hex-text file. Hex-text files are
// read the way the C library reads numbers (strtol, atol, scanf "%08X"),
// and files in circulation depend on exactly that, odd inputs included; these
// functions reproduce those readings without depending on the locale.

#include <array>
#include <cstdint>
#include <string_view>

namespace calverdon {

// The value of each byte as a hexadecimal digit, or 0xFF.
inline constexpr std::array<std::uint8_t, 256> kHexDigitValue = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(0xFF);
    for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    return table;
}();

// White space as the C locale's isspace sees it.
constexpr bool IsCSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The byte that a pair of characters stands for: the two characters, as a
// NUL-terminated string, read as strtol(pair, nullptr, 16) reads them
// (white space, an optional sign, hex digits up to the first other
// character, 0 without digits), cut to its low 8 bits. "ff" gives 0xFF,
// "-1" 0xFF, " f" 0x0F, "1g" 0x01, "zz" 0x00.
constexpr std::uint8_t PairValue(unsigned char first, unsigned char second) {
    const unsigned char text[3] = {first, second, 0};
    int i = 0;
    while (i < 2 && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    unsigned value = 0;
    while (i < 2 && kHexDigitValue[text[i]] < 16) value = value * 16 + kHexDigitValue[text[i++]];
    if (negative) value = 0u - value;
    return static_cast<std::uint8_t>(value & 0xFFu);
}

// The number at the start of a line, as atol reads it: white space, an
// optional sign, decimal digits up to the first other character, 0 when
// there are none; values beyond the range of a long saturate.
long ReadLeadingNumber(std::string_view line);


}  // namespace calverdon
