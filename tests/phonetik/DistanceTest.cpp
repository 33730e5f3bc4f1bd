// DamerauLevenshteinDistance: hand-checked cases of the restricted distance,
// and the bit-parallel version against the full-matrix reference over
// seeded random word pairs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "Cp1252.h"
#include <calverdon/Phonetik.h>
#include "ReferenceDistance.h"

namespace {

struct DistanceRow {
    const char* name;
    std::string first;  // Windows-1252 bytes
    std::string second;
    std::int32_t distance;
};

std::string Ansi(const char* utf8) { return calverdon::Utf8ToCp1252(utf8, std::nullopt); }

TEST(DistanceTest, HandCheckedPairsInBothOrders) {
    const std::string a80(80, 'a');
    const std::string a81(81, 'a');
    const std::string longMiddle(78, 'm');
    const std::array<DistanceRow, 22> rows{{
        {"both empty", "", "", 0},
        {"empty against abc", "", "abc", 3},
        {"one swap", "ca", "ac", 1},
        {"one swap ab", "ab", "ba", 1},
        {"abc reversed", "abc", "cba", 2},
        // The restricted form: CA -> AC -> ABC would be 2, but it edits the
        // swapped pair again; without that it takes 3.
        {"restricted form", "CA", "ABC", 3},
        {"Sonntag", "Sonntag", "Samstag", 3},
        {"three swaps", "abcdef", "badcfe", 3},
        {"Meier", "Meier", "Meyer", 1},
        {"case counts", "abc", "ABC", 3},
        {"ü is one byte", Ansi("Müller"), Ansi("Mueller"), 2},
        {"80 bytes allowed", a80, "", 80},
        {"80 against 80", a80, std::string(80, 'b'), 80},
        // Both 80 bytes, different at both ends, so the whole words go
        // through the two-word bit vectors: two substitutions.
        {"two-word vectors", "q" + longMiddle + "z", "z" + longMiddle + "q", 2},
        {"81 bytes refused", a81, "", -1},
        {"81 against equal 81", a81, a81, -1},
        {"81 against short", a81, "a", -1},
        {"NUL ends the word", std::string("ab\0zzz", 6), "ab", 0},
        {"NUL in both", std::string("ab\0x", 4), std::string("ab\0y", 4), 0},
        {"NUL first", std::string("\0abc", 4), "abc", 3},
        // The bytes after the NUL still count for the limit: 2 + 1 + 78 = 81.
        {"NUL, 81 bytes in all", std::string("ab\0", 3) + std::string(78, 'x'), "ab", -1},
        {"NUL, 80 bytes in all", std::string("ab\0", 3) + std::string(77, 'x'), "ab", 0},
    }};
    for (const DistanceRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DamerauLevenshteinDistance(row.first, row.second), row.distance);
        EXPECT_EQ(DamerauLevenshteinDistance(row.second, row.first), row.distance);
        EXPECT_EQ(ReferenceDistance(row.first, row.second), row.distance);  // the reference itself
    }
}

// Random pairs: a word and an edited copy of it (swaps, repeats, umlauts,
// changes at both ends), or two unrelated words, at every length up to 80
// and a few beyond.
class PairMaker {
public:
    explicit PairMaker(unsigned seed) : random_(seed) {}

    std::string Word(std::size_t length) {
        std::string word(length, ' ');
        for (char& c : word) c = Letter();
        return word;
    }

    std::string Edited(std::string word) {
        const int edits = Pick(0, 6);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at =
                word.empty() ? 0 : static_cast<std::size_t>(Pick(0, static_cast<int>(word.size()) - 1));
            const int kind = Pick(0, 4);
            if (kind == 0) {
                word.insert(at, 1, Letter());
            } else if (word.empty()) {
                continue;
            } else if (kind == 1) {
                word.erase(at, 1);
            } else if (kind == 2) {
                word[at] = Letter();
            } else if (kind == 3) {
                if (at + 1 < word.size()) std::swap(word[at], word[at + 1]);
            } else {
                word.insert(at, 1, word[at]);  // a repeat
            }
        }
        return word;
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

private:
    char Letter() {
        // Few distinct bytes, so that matches and swaps are frequent.
        static const std::string letters = Ansi("aeinrstAEäöüß");
        return letters[static_cast<std::size_t>(Pick(0, static_cast<int>(letters.size()) - 1))];
    }

    std::mt19937 random_;
};

TEST(DistanceTest, AgreesWithReferenceOnRandomPairs) {
    PairMaker maker(5042);
    for (int round = 0; round < 20000; ++round) {
        // Lengths cluster around the one- and two-word boundary of 64.
        const int length = round % 4 == 0 ? maker.Pick(60, 84) : maker.Pick(0, 80);
        std::string first = maker.Word(static_cast<std::size_t>(length));
        std::string second =
            round % 5 == 0 ? maker.Word(static_cast<std::size_t>(maker.Pick(0, 80))) : maker.Edited(first);
        // Now and then a NUL byte, which ends a word early.
        if (round % 50 == 1 && !first.empty()) first[static_cast<std::size_t>(maker.Pick(0, length - 1))] = '\0';
        SCOPED_TRACE(calverdon::Cp1252ToUtf8(first) + " | " + calverdon::Cp1252ToUtf8(second));

        const std::int32_t expected = ReferenceDistance(first, second);
        ASSERT_EQ(DamerauLevenshteinDistance(first, second), expected);
        ASSERT_EQ(DamerauLevenshteinDistance(second, first), expected);
        if (expected >= 0) {
            ASSERT_LE(expected, static_cast<std::int32_t>(std::max(first.size(), second.size())));
        }
    }
}

}  // namespace
