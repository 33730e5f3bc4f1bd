#pragma once
// The Cologne phonetic code written plainly, one step after the other: the
// peer that the tests, the fuzz target and the benchmark compare the
// library's packed coder with. Same contract as kPhonetik: the digits 0 to
// 8, cut to `maxLength`; empty for an empty word, a word without codable
// letters, or a maximum length of 0 or less.
//
// The two rule functions here are also where the library takes its rules
// from: it tabulates them at compile time. What the comparison checks is
// everything the library does around them (lower-casing, the letter
// string, the windows and the letters a position consumes, the merging of
// digits, the cut and the early stop); the hand-worked cases of
// tests/phonetik check the rules themselves.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace calverdon::reference {

inline constexpr std::uint8_t kNoCode = 0xFF;
inline constexpr std::uint8_t kCodeX = 48;  // x alone: the two digits 4 and 8

// The code of one position and the number of letters it consumes; consumed
// letters get no code of their own.
struct PositionCode {
    std::uint8_t code;
    std::uint8_t consumed;
};

// The letter at a position and the two after it; '\0' past the end.
struct Window {
    char first;
    char second;
    char third;
};

constexpr bool IsVowel(char c) {
    // j counts as a vowel, y does not.
    return c == 'a' || c == 'e' || c == 'i' || c == 'j' || c == 'o' || c == 'u';
}

// Second letters of the c pairs: ca ch ck cl co cq cr cu cx.
constexpr bool EndsCPair(char c) {
    return c == 'a' || c == 'h' || c == 'k' || c == 'l' || c == 'o' || c == 'q' || c == 'r' || c == 'u' ||
           c == 'x';
}

// The coder for every position but the first. The rules form one ordered
// list; grouped here by first letter, their order only matters among the
// rules for the same letter, and each case keeps it: ar/or before the vowel,
// the d/t pairs before d and t, ph before p, the x pairs cx/kx/qx before the
// c pairs and before c, k and q, sch before the s pairs before s.
constexpr PositionCode CodeNextPosition(Window w) {
    switch (w.first) {
        case 'a':
        case 'o': return {0, static_cast<std::uint8_t>(w.second == 'r' ? 2 : 1)};  // ar and or swallow the r
        case 'e':
        case 'i':
        case 'j':
        case 'u': return {0, 1};
        case 'd':
        case 't':
            if (w.second == 'c' || w.second == 'z' || w.second == 's') return {8, 2};
            return {2, 1};
        case 'p': return w.second == 'h' ? PositionCode{3, 2} : PositionCode{1, 1};
        case 'c':
            if (w.second == 'x') return {8, 2};
            if (EndsCPair(w.second)) return {4, 2};
            return {0, 1};  // a lone c later in the word is coded like a vowel
        case 'k':
        case 'q': return w.second == 'x' ? PositionCode{8, 2} : PositionCode{4, 1};
        case 'x': return {kCodeX, 1};
        case 's':
            if (w.second == 'c' && w.third == 'h') return {8, 3};
            if (w.second == 'c' || w.second == 'z') return {8, 2};
            return {8, 1};
        case 'z': return {8, 1};
        case 'l': return {5, 1};
        case 'r': return {7, 1};
        case 'm':
        case 'n': return {6, 1};
        case 'b': return {1, 1};
        case 'f':
        case 'v':
        case 'w': return {3, 1};
        case 'g': return {4, 1};
        default: return {kNoCode, 1};  // h and y
    }
}

// The coder for the first position. Its own rules cover vowels (ar and or
// are not looked for: a and o are vowels here) and c (cx is an ordinary c
// pair here, and a lone c is 8). Every other first letter is coded as it
// would be later in the word, so that a leading consonant counts: Müller
// gets 657 and Keller 457, where both would otherwise get 057.
constexpr PositionCode CodeFirstPosition(Window w) {
    if (IsVowel(w.first)) return {0, 1};
    if (w.first == 'c') return EndsCPair(w.second) ? PositionCode{4, 2} : PositionCode{8, 1};
    return CodeNextPosition(w);
}

// The letter a Windows-1252 byte stands for, or '\0' for a dropped byte.
// Lower-casing matters only for A to Z and for Ä, Ö and Ü, so those are
// mapped here directly; ß counts as s, the umlauts as their vowels.
constexpr char LetterOf(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') return static_cast<char>(byte);
    if (byte >= 'A' && byte <= 'Z') return static_cast<char>(byte - 'A' + 'a');
    switch (byte) {
        case 0xDF: return 's';  // ß
        case 0xC4:              // Ä
        case 0xE4: return 'a';  // ä
        case 0xD6:              // Ö
        case 0xF6: return 'o';  // ö
        case 0xDC:              // Ü
        case 0xFC: return 'u';  // ü
        default: return '\0';
    }
}

inline std::u16string ReferencePhonetik(const std::string& word, std::int16_t maxLength) {
    // The letter string: the bytes up to the first NUL, each kept one as
    // its letter, and each run of one letter as one, across dropped bytes.
    std::string letters;
    for (const char byte : std::string_view(word.c_str())) {
        const char letter = LetterOf(static_cast<unsigned char>(byte));
        if (letter != '\0' && (letters.empty() || letters.back() != letter)) letters += letter;
    }

    // The digit string: each position coded with its window, the first
    // position by its own coder; a position goes past the letters it
    // consumes.
    const auto at = [&](std::size_t p) { return p < letters.size() ? letters[p] : '\0'; };
    std::u16string digits;
    for (std::size_t p = 0; p < letters.size();) {
        const Window window{letters[p], at(p + 1), at(p + 2)};
        const PositionCode position = p == 0 ? CodeFirstPosition(window) : CodeNextPosition(window);
        if (position.code == kCodeX) {
            digits += u"48";
        } else if (position.code != kNoCode) {
            digits += static_cast<char16_t>(u'0' + position.code);
        }
        p += position.consumed;
    }

    // The code: the first digit always; a later one unless it is 0 or the
    // digit kept last. Then the cut.
    std::u16string code;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i == 0 || (digits[i] != u'0' && digits[i] != code.back())) code += digits[i];
    }
    if (maxLength <= 0) return {};
    return code.substr(0, static_cast<std::size_t>(maxLength));
}

}  // namespace calverdon::reference
