#include <calverdon/Phonetik.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string_view>
#include <utility>

#include "CharLowerBuffA.h"
#include "ReferencePhonetik.h"

namespace {

// ---------------------------------------------------------------------------
// Cologne phonetic code. The rules are those of the plain coder
// (ReferencePhonetik.h), tabulated here so that a position costs one lookup
// and no branch.

using calverdon::reference::CodeFirstPosition;
using calverdon::reference::CodeNextPosition;
using calverdon::reference::kCodeX;
using calverdon::reference::kNoCode;
using calverdon::reference::PositionCode;
using calverdon::reference::Window;

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

// Lower-cases the word in place; it is the caller's copy. Bytes after a NUL
// are lower-cased as well, and then ignored.
void LowerCase(AnsiString& word) {
    for (std::size_t done = 0; done < word.size();) {
        const auto chunk = static_cast<std::uint32_t>(
            std::min<std::size_t>(word.size() - done, std::numeric_limits<std::uint32_t>::max()));
        CharLowerBuffA(word.data() + done, chunk);
        done += chunk;
    }
}

// Moves a full buffer of digits into the code; a long code gets room for
// the longest it can get at once, so that the result is still allocated
// once. Kept out of line: usual codes never fill the buffer.
[[gnu::noinline]] void AppendDigits(String& code, const char16_t* digits, std::size_t size, std::size_t longest) {
    if (code.empty()) code.reserve(longest);
    code.append(digits, size);
}

// The code, kept from the digits of the positions: the first digit always,
// every later one unless it is 0 or repeats the digit kept last (so 2, 0, 2
// keeps one 2). Whether a digit is kept is data, not a branch, since vowels
// and consonants alternate unpredictably. The code collects in a local
// buffer, so the result string is allocated at most once.
class CodeCollector {
public:
    CodeCollector(std::int16_t maxLength, std::size_t wordSize)
        : room_(static_cast<std::size_t>(maxLength)),
          longest_(std::min<std::size_t>(static_cast<std::size_t>(maxLength), 2 * wordSize)) {}

    // Takes a digit 0 to 8, or kPackedNone for a position without code;
    // false once the code has its maximum length: later digits could only
    // add to its end, which the cut removes.
    [[gnu::always_inline]] bool Add(unsigned digit) {
        if (used_ == buffer_.size()) {
            AppendDigits(code_, buffer_.data(), used_, longest_);
            room_ -= used_;
            used_ = 0;
        }
        const bool keep = (digit != kPackedNone) & ((last_ == kNoDigitYet) | ((digit != 0) & (digit != last_)));
        buffer_[used_] = static_cast<char16_t>(u'0' + digit);
        used_ += keep;
        last_ = keep ? digit : last_;
        return used_ < room_;
    }

    String Finish() && {
        code_.append(buffer_.data(), used_);
        return std::move(code_);
    }

private:
    static constexpr unsigned kNoDigitYet = 10;
    String code_;
    std::array<char16_t, 64> buffer_;
    std::size_t used_ = 0;  // digits in the buffer
    std::size_t room_;      // digits the buffer may take before the cut
    std::size_t longest_;   // the longest the code can get
    unsigned last_ = kNoDigitYet;
};

// Codes the letter string as it arrives, one letter at a time. Each letter
// completes the window of the position two places before it, which is
// coded then; so only the last two letters are kept, and the letter string
// starts with two places before the word, which give no code. A position
// that an earlier one consumed gets no code either; `skip_` counts how many
// of those are still to come. Branch-free as well: pairs are frequent and
// irregular.
class PositionCoder {
public:
    unsigned LastLetter() const { return lastLetter_; }

    // False once the code is full.
    [[gnu::always_inline]] bool Arrive(unsigned letter, CodeCollector& code) {
        const unsigned packed =
            kCoder[WindowIndex(firstInTwo_ & 1, beforeLast_, lastLetter_, letter == IndexOf('h'))];
        firstInTwo_ >>= 1;
        beforeLast_ = lastLetter_;
        lastLetter_ = letter;
        const bool coded = skip_ == 0;
        skip_ = coded ? (packed >> 4) - 1 : skip_ - 1;
        const unsigned digit = coded ? packed & 0x0F : kPackedNone;
        if (digit == kPackedX) return code.Add(4) && code.Add(8);
        return code.Add(digit);
    }

    // The end of the letter string completes the windows of its last two
    // positions.
    void End(CodeCollector& code) {
        if (Arrive(kNoLetter, code)) Arrive(kNoLetter, code);
    }

private:
    unsigned beforeLast_ = kBeforeStart;
    unsigned lastLetter_ = kBeforeStart;
    unsigned skip_ = 0;
    unsigned firstInTwo_ = 0b100;  // its low bit marks the word's first position
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
    LowerCase(word);
    CodeCollector code(maxLength, word.size());
    PositionCoder coder;

    // One pass over the bytes up to the first NUL (the string's own
    // terminator at the latest) forms the letter string: kept bytes mapped
    // to letters, each run of one letter reduced to one, across the bytes
    // dropped in between. It stops as soon as the code is full.
    bool full = false;
    for (const char* byte = word.c_str(); *byte != '\0' && !full; ++byte) {
        const unsigned letter = kLetters[static_cast<unsigned char>(*byte)];
        if (letter != kNoLetter && letter != coder.LastLetter()) full = !coder.Arrive(letter, code);
    }
    if (coder.LastLetter() == kBeforeStart) return {};  // no letters at all
    if (!full) coder.End(code);
    return std::move(code).Finish();
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
