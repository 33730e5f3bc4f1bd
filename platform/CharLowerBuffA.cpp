#include "CharLowerBuffA.h"

#include <array>

namespace {

// Byte -> lower-case byte for Windows-1252. Windows lower-cases ANSI text by
// going through Unicode: each byte is decoded with the code page, given the
// simple lower-case mapping of Unicode, and encoded back. For Windows-1252
// that moves exactly these bytes (table checked once against Python's cp1252
// codec and str.lower()):
//   0x41-0x5A  A..Z           -> 0x61-0x7A  (U+0041.. -> U+0061..)
//   0x8A  Š U+0160            -> 0x9A  š U+0161
//   0x8C  Œ U+0152            -> 0x9C  œ U+0153
//   0x8E  Ž U+017D            -> 0x9E  ž U+017E
//   0x9F  Ÿ U+0178            -> 0xFF  ÿ U+00FF
//   0xC0-0xDE À..Þ but 0xD7 × -> +0x20  (Latin-1 capitals, U+00C0..U+00DE)
// ß (0xDF) has no single-character capital pair and stays; the multiplication
// sign 0xD7 sits among the capitals but is no letter.
constexpr std::array<unsigned char, 256> MakeLowerTable() {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
    for (int b = 'A'; b <= 'Z'; ++b) table[b] = static_cast<unsigned char>(b + 0x20);
    for (int b = 0xC0; b <= 0xDE; ++b) {
        if (b != 0xD7) table[b] = static_cast<unsigned char>(b + 0x20);
    }
    table[0x8A] = 0x9A;
    table[0x8C] = 0x9C;
    table[0x8E] = 0x9E;
    table[0x9F] = 0xFF;
    return table;
}

constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

static_assert(kLower['Z'] == 'z' && kLower[0xC4] == 0xE4 && kLower[0xD7] == 0xD7 && kLower[0xDF] == 0xDF);

}  // namespace

std::uint32_t CharLowerBuffA(char* text, std::uint32_t length) {
    if (text == nullptr) return 0;
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    for (std::uint32_t i = 0; i < length; ++i) bytes[i] = kLower[bytes[i]];
    return length;
}
