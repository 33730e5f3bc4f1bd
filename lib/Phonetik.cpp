#include "Phonetik.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "CharLowerBuffA.h"

namespace {

// ---------------------------------------------------------------------------
// Cologne phonetic code

constexpr int kNoCode = -1;
constexpr int kCodeX = 48;  // x alone: the two digits 4 and 8

// The code of one position and the number of letters it consumes; consumed
// letters get no code of their own.
struct PositionCode {
    int code;
    std::size_t consumed;
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
PositionCode CodeNextPosition(Window w) {
    switch (w.first) {
        case 'a':
        case 'o':
            return {0, w.second == 'r' ? std::size_t{2} : std::size_t{1}};  // ar and or swallow the r
        case 'e':
        case 'i':
        case 'j':
        case 'u':
            return {0, 1};
        case 'd':
        case 't':
            if (w.second == 'c' || w.second == 'z' || w.second == 's') return {8, 2};
            return {2, 1};
        case 'p':
            return w.second == 'h' ? PositionCode{3, 2} : PositionCode{1, 1};
        case 'c':
            if (w.second == 'x') return {8, 2};
            if (EndsCPair(w.second)) return {4, 2};
            return {0, 1};  // a lone c later in the word is coded like a vowel
        case 'k':
        case 'q':
            return w.second == 'x' ? PositionCode{8, 2} : PositionCode{4, 1};
        case 'x':
            return {kCodeX, 1};
        case 's':
            if (w.second == 'c' && w.third == 'h') return {8, 3};
            if (w.second == 'c' || w.second == 'z') return {8, 2};
            return {8, 1};
        case 'z':
            return {8, 1};
        case 'l':
            return {5, 1};
        case 'r':
            return {7, 1};
        case 'm':
        case 'n':
            return {6, 1};
        case 'b':
            return {1, 1};
        case 'f':
        case 'v':
        case 'w':
            return {3, 1};
        case 'g':
            return {4, 1};
        default:
            return {kNoCode, 1};  // h and y
    }
}

// The coder for the first position. Its own rules cover vowels (ar and or
// are not looked for: a and o are vowels here) and c (cx is an ordinary c
// pair here, and a lone c is 8). Every other first letter is coded as it
// would be later in the word, so that a leading consonant counts: Müller
// gets 657 and not 57, the code of Keller's tail.
PositionCode CodeFirstPosition(Window w) {
    if (IsVowel(w.first)) return {0, 1};
    if (w.first == 'c') return EndsCPair(w.second) ? PositionCode{4, 2} : PositionCode{8, 1};
    return CodeNextPosition(w);
}

// Byte after lower-casing -> letter of the letter string, 0 for a dropped
// byte: a to z as they are, and ß ä ö ü (Windows-1252) as s a o u.
constexpr std::array<char, 256> MakeLetterTable() {
    std::array<char, 256> table{};
    for (int b = 'a'; b <= 'z'; ++b) table[b] = static_cast<char>(b);
    table[0xDF] = 's';
    table[0xE4] = 'a';
    table[0xF6] = 'o';
    table[0xFC] = 'u';
    return table;
}

constexpr std::array<char, 256> kLetters = MakeLetterTable();

// Takes the digits of the positions in order and keeps the code: the first
// digit always, every later one unless it is 0 or repeats the digit kept last
// (so 2, 0, 2 keeps one 2).
class CodeBuilder {
public:
    CodeBuilder(String& code, std::size_t limit) : code_(code), limit_(limit) {}

    // False once the code has reached its maximum length: later digits could
    // only add to its end, which the cut removes.
    bool Add(int digit) {
        const auto c = static_cast<char16_t>(u'0' + digit);
        if (code_.empty() || (digit != 0 && c != code_.back())) code_.push_back(c);
        return code_.size() < limit_;
    }

private:
    String& code_;
    std::size_t limit_;
};

// ---------------------------------------------------------------------------
// Restricted Damerau-Levenshtein distance

constexpr std::size_t kMaxWordBytes = 80;

// Bit vectors of two 64-bit machine words, enough for the 80 bytes a word
// may have. The compiler carries additions and shifts across the two words.
__extension__ typedef unsigned __int128 TwoWords;

// Hyyrö's bit-parallel form of the restricted distance (H. Hyyrö, "A
// bit-vector algorithm for computing Levenshtein and Damerau edit
// distances", Nordic Journal of Computing 10, 2003); variable names follow
// the paper. One column j of the distance matrix (rows: the pattern) is held
// as its vertical differences: bit i of VP (VN) is set when row i+1 is one
// more (one less) than row i. Each byte of the text advances one column in a
// constant number of word operations; the last row's value is kept in
// `distance`. Needs 1 <= m <= bit width of Bits.
template <typename Bits>
std::int32_t OsaBitParallel(std::string_view pattern, std::string_view text) {
    // Match masks per byte value: bit i set where pattern[i] is that byte.
    // Only the entries of bytes that occur in either word are written, and
    // only those are read, so no 256-entry clearing per call.
    Bits PM[256];
    for (const char c : text) PM[static_cast<unsigned char>(c)] = 0;
    for (const char c : pattern) PM[static_cast<unsigned char>(c)] = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        PM[static_cast<unsigned char>(pattern[i])] |= Bits{1} << i;
    }

    Bits VP = ~Bits{0};
    Bits VN = 0;
    Bits D0 = 0;
    Bits PM_j_old = 0;
    const Bits last = Bits{1} << (pattern.size() - 1);
    auto distance = static_cast<std::int32_t>(pattern.size());
    for (const char c : text) {
        const Bits PM_j = PM[static_cast<unsigned char>(c)];
        // Transpositions: a match here one row down that matched one row up
        // in the previous column, where the diagonal did not already match.
        const Bits TR = (((~D0) & PM_j) << 1) & PM_j_old;
        D0 = (((PM_j & VP) + VP) ^ VP) | PM_j | VN | TR;
        Bits HP = VN | ~(D0 | VP);
        Bits HN = D0 & VP;
        distance += (HP & last) != 0;
        distance -= (HN & last) != 0;
        HP = (HP << 1) | 1;
        HN = HN << 1;
        VP = HN | ~(D0 | HP);
        VN = HP & D0;
        PM_j_old = PM_j;
    }
    return distance;
}

}  // namespace

String kPhonetik(AnsiString word, const std::int16_t maxLength) {
    if (word.empty() || maxLength <= 0) return {};

    // Everything from the first NUL byte on is ignored.
    const std::size_t length = std::strlen(word.c_str());
    char* const bytes = word.data();
    for (std::size_t done = 0; done < length;) {
        const auto chunk = static_cast<std::uint32_t>(
            std::min<std::size_t>(length - done, std::numeric_limits<std::uint32_t>::max()));
        CharLowerBuffA(bytes + done, chunk);
        done += chunk;
    }

    // The letter string, written over the word (it is our copy): kept bytes
    // mapped to letters, each run of one letter reduced to one, across the
    // bytes that are dropped in between.
    std::size_t count = 0;
    char previous = '\0';
    for (std::size_t i = 0; i < length; ++i) {
        const char letter = kLetters[static_cast<unsigned char>(bytes[i])];
        if (letter != '\0' && letter != previous) {
            bytes[count++] = letter;
            previous = letter;
        }
    }
    const char* const letters = bytes;

    String code;
    CodeBuilder builder(code, static_cast<std::size_t>(maxLength));
    for (std::size_t p = 0; p < count;) {
        const Window window{letters[p], p + 1 < count ? letters[p + 1] : '\0',
                            p + 2 < count ? letters[p + 2] : '\0'};
        const PositionCode position = p == 0 ? CodeFirstPosition(window) : CodeNextPosition(window);
        p += position.consumed;
        if (position.code == kCodeX) {
            if (!builder.Add(4) || !builder.Add(8)) break;
        } else if (position.code != kNoCode) {
            if (!builder.Add(position.code)) break;
        }
    }
    return code;
}

std::int32_t DamerauLevenshteinDistance(AnsiString first, AnsiString second) {
    // The limit counts the whole string, bytes after a NUL included.
    if (first.size() > kMaxWordBytes || second.size() > kMaxWordBytes) return -1;
    std::string_view a(first.c_str());  // up to the first NUL
    std::string_view b(second.c_str());

    // A common prefix or suffix is matched at no cost in some optimal
    // alignment (a swap across its edge would need four equal bytes, which
    // match as well), so only the middle parts need the matrix.
    while (!a.empty() && !b.empty() && a.front() == b.front()) {
        a.remove_prefix(1);
        b.remove_prefix(1);
    }
    while (!a.empty() && !b.empty() && a.back() == b.back()) {
        a.remove_suffix(1);
        b.remove_suffix(1);
    }

    // The distance is symmetric; the shorter word becomes the bit pattern.
    if (a.size() > b.size()) std::swap(a, b);
    if (a.empty()) return static_cast<std::int32_t>(b.size());
    if (a.size() <= 64) return OsaBitParallel<std::uint64_t>(a, b);
    return OsaBitParallel<TwoWords>(a, b);
}
