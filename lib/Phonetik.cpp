#include <calverdon/Phonetik.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string_view>
#include <utility>

#include "CharLowerBuffA.h"

namespace {

// ---------------------------------------------------------------------------
// Cologne phonetic code

constexpr std::uint8_t kNoCode = 0xFF;
constexpr std::uint8_t kCodeX = 48;  // x alone: the two digits 4 and 8

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

// Letters are handled as indices: 1 to 26 for a to z. 0 stands for "no
// letter" past the end of the letter string, kBeforeStart for the places
// before its start.
constexpr unsigned kNoLetter = 0;
constexpr unsigned kBeforeStart = 27;
constexpr unsigned IndexOf(char letter) { return static_cast<unsigned>(letter - 'a' + 1); }
constexpr char LetterAt(unsigned index) { return index == kNoLetter ? '\0' : static_cast<char>('a' + index - 1); }

// A position's code packed into one byte: the low four bits hold the digit
// 0 to 8, kPackedX for x or kPackedNone, the high bits the number of
// letters consumed.
constexpr std::uint8_t kPackedX = 9;
constexpr std::uint8_t kPackedNone = 15;

constexpr std::uint8_t Pack(PositionCode position) {
    const std::uint8_t code = position.code == kNoCode  ? kPackedNone
                              : position.code == kCodeX ? kPackedX
                                                        : position.code;
    return static_cast<std::uint8_t>(code | position.consumed << 4);
}

// Both coders tabulated at compile time over every window, so that coding a
// position is one lookup. A window's third letter only matters when it is h
// (for sch), so the index tells h apart from every other third letter:
// is first position << 11 | first letter << 6 | second letter << 1 | third
// is h. Windows that start before the word (or past its end) give no code
// and consume one letter.
using CoderTable = std::array<std::uint8_t, 2 * 32 * 64>;

constexpr unsigned WindowIndex(bool isFirst, unsigned first, unsigned second, bool thirdIsH) {
    return static_cast<unsigned>(isFirst) << 11 | first << 6 | second << 1 | static_cast<unsigned>(thirdIsH);
}

constexpr CoderTable Tabulate() {
    CoderTable table{};
    for (auto& entry : table) entry = Pack({kNoCode, 1});
    for (const bool isFirst : {false, true}) {
        for (unsigned first = IndexOf('a'); first <= IndexOf('z'); ++first) {
            for (unsigned second = kNoLetter; second <= IndexOf('z'); ++second) {
                for (const bool thirdIsH : {false, true}) {
                    const Window window{LetterAt(first), LetterAt(second),
                                        second != kNoLetter && thirdIsH ? 'h' : '\0'};
                    table[WindowIndex(isFirst, first, second, thirdIsH)] =
                        Pack(isFirst ? CodeFirstPosition(window) : CodeNextPosition(window));
                }
            }
        }
    }
    return table;
}

constexpr CoderTable kCoder = Tabulate();

static_assert(kCoder[WindowIndex(false, IndexOf('s'), IndexOf('c'), true)] == Pack({8, 3}));   // sch
static_assert(kCoder[WindowIndex(false, IndexOf('s'), IndexOf('c'), false)] == Pack({8, 2}));  // sc
static_assert(kCoder[WindowIndex(false, IndexOf('c'), IndexOf('x'), false)] == Pack({8, 2}));  // cx later
static_assert(kCoder[WindowIndex(true, IndexOf('c'), IndexOf('x'), false)] == Pack({4, 2}));   // cx first
static_assert(kCoder[WindowIndex(true, IndexOf('o'), IndexOf('r'), false)] == Pack({0, 1}));   // or first
static_assert(kCoder[WindowIndex(false, IndexOf('x'), kNoLetter, false)] == Pack({kCodeX, 1}));
static_assert(kCoder[WindowIndex(false, IndexOf('h'), IndexOf('a'), false)] == Pack({kNoCode, 1}));
static_assert(kCoder[WindowIndex(false, kBeforeStart, kBeforeStart, false)] == Pack({kNoCode, 1}));

// Byte after lower-casing -> letter index, 0 for a dropped byte: a to z as
// they are, and ß ä ö ü (Windows-1252) as s a o u.
constexpr std::array<std::uint8_t, 256> MakeLetterTable() {
    std::array<std::uint8_t, 256> table{};
    for (char c = 'a'; c <= 'z'; ++c) table[static_cast<unsigned char>(c)] = static_cast<std::uint8_t>(IndexOf(c));
    table[0xDF] = IndexOf('s');
    table[0xE4] = IndexOf('a');
    table[0xF6] = IndexOf('o');
    table[0xFC] = IndexOf('u');
    return table;
}

constexpr std::array<std::uint8_t, 256> kLetters = MakeLetterTable();

// Moves a full buffer of digits into the code; a long code gets room for
// the longest it can get at once, so that the result is still allocated
// once. Kept out of line: usual codes never fill the buffer.
[[gnu::noinline]] void AppendDigits(String& code, const char16_t* digits, std::size_t size, std::size_t longest) {
    if (code.empty()) code.reserve(longest);
    code.append(digits, size);
}

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
        // Transpositions: pattern byte i equals the previous text byte and
        // pattern byte i-1 this one, where the previous column did not
        // already reach row i-1 by a free diagonal step.
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

    // Lower-cased in place: the word is our own copy. Bytes after a NUL are
    // lower-cased as well, and then ignored.
    char* const bytes = word.data();
    const std::size_t size = word.size();
    for (std::size_t done = 0; done < size;) {
        const auto chunk = static_cast<std::uint32_t>(
            std::min<std::size_t>(size - done, std::numeric_limits<std::uint32_t>::max()));
        CharLowerBuffA(bytes + done, chunk);
        done += chunk;
    }

    // The code, kept from the digits of the positions: the first digit
    // always, every later one unless it is 0 or repeats the digit kept last
    // (so 2, 0, 2 keeps one 2). Whether a digit is kept is data, not a
    // branch, since vowels and consonants alternate unpredictably. The code
    // collects in a local buffer, so the result string is allocated at most
    // once. Coding stops as soon as the code has its maximum length: later
    // digits could only add to its end, which the cut removes.
    constexpr unsigned kNoDigitYet = 10;
    String code;
    std::array<char16_t, 64> buffer;
    std::size_t used = 0;                             // digits in the buffer
    auto room = static_cast<std::size_t>(maxLength);  // digits the buffer may take before the cut
    unsigned last = kNoDigitYet;
    auto add = [&](unsigned digit) __attribute__((always_inline)) {  // a digit 0 to 8, or kPackedNone
        if (used == buffer.size()) {
            AppendDigits(code, buffer.data(), used, std::min<std::size_t>(maxLength, 2 * size));
            room -= used;
            used = 0;
        }
        const bool keep = (digit != kPackedNone) & ((last == kNoDigitYet) | ((digit != 0) & (digit != last)));
        buffer[used] = static_cast<char16_t>(u'0' + digit);
        used += keep;
        last = keep ? digit : last;
        return used < room;
    };

    // One pass over the bytes up to the first NUL (the string's own
    // terminator at the latest) forms the letter string: kept bytes mapped
    // to letters, each run of one letter reduced to one, across the bytes
    // dropped in between. Each letter that arrives completes the window of
    // the position two places before it, which is coded then; so only the
    // last two letters are kept, and the letter string starts with two
    // places before the word, which give no code. A position that an earlier
    // one consumed gets no code either; `skip` counts how many of those are
    // still to come. Branch-free as well: pairs are frequent and irregular.
    unsigned beforeLast = kBeforeStart;
    unsigned lastLetter = kBeforeStart;
    unsigned skip = 0;
    unsigned firstInTwo = 0b100;  // its low bit marks the word's first position
    auto arrive = [&](unsigned letter) __attribute__((always_inline)) {
        const unsigned packed =
            kCoder[WindowIndex(firstInTwo & 1, beforeLast, lastLetter, letter == IndexOf('h'))];
        firstInTwo >>= 1;
        beforeLast = lastLetter;
        lastLetter = letter;
        const bool coded = skip == 0;
        skip = coded ? (packed >> 4) - 1 : skip - 1;
        const unsigned digit = coded ? packed & 0x0F : kPackedNone;
        if (digit == kPackedX) return add(4) && add(8);
        return add(digit);
    };
    bool full = false;
    for (const char* byte = bytes; *byte != '\0' && !full; ++byte) {
        const unsigned letter = kLetters[static_cast<unsigned char>(*byte)];
        if (letter != kNoLetter && letter != lastLetter) full = !arrive(letter);
    }
    // The end of the letter string completes the windows of its last two
    // positions.
    if (lastLetter == kBeforeStart) return {};  // no letters at all
    if (!full && arrive(kNoLetter)) arrive(kNoLetter);

    code.append(buffer.data(), used);
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

    // The distance is symmetric. The longer word becomes the bit pattern, so
    // that the loop runs over the shorter one.
    if (a.size() < b.size()) std::swap(a, b);
    if (b.empty()) return static_cast<std::int32_t>(a.size());
    if (a.size() <= 64) return OsaBitParallel<std::uint64_t>(a, b);
    return OsaBitParallel<TwoWords>(a, b);
}
