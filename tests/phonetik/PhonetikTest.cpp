// kPhonetik. Expected codes are worked out by hand from the Cologne coding
// rules as this library applies them (the derivation is noted beside the
// row where it is not plain).
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "Cp1252.h"
#include <calverdon/Phonetik.h>

namespace {

struct CodeRow {
    const char* word;  // UTF-8, turned into Windows-1252 for the call
    const char* code;
};

std::string Ansi(const char* utf8) { return calverdon::Utf8ToCp1252(utf8, std::nullopt); }

std::string Code(const std::string& word, std::int16_t maxLength = 32767) {
    return calverdon::Utf16ToUtf8(kPhonetik(word, maxLength));
}

void ExpectCodes(const CodeRow* begin, const CodeRow* end) {
    for (const CodeRow* row = begin; row != end; ++row) {
        SCOPED_TRACE(row->word);
        EXPECT_EQ(Code(Ansi(row->word)), row->code);
    }
}

TEST(PhonetikTest, WorkedExamples) {
    constexpr std::array<CodeRow, 5> rows{{
        {"Achim-Lüdenscheidt", "04652682"},
        {"Christoph", "47823"},
        {"Ochsenfurt", "0486372"},
        {"Heinrich", "0674"},
        {"Oberhausen", "01786"},
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, CaseUmlautsAndSharpS) {
    constexpr std::array<CodeRow, 9> rows{{
        {"ÄCHZEN", "0486"},  // Ä and A-Z lower-cased before coding
        {"ächzen", "0486"},
        {"Ächzen", "0486"},
        {"Ölschläger", "058547"},
        {"Ärztin", "07826"},
        {"Straße", "8278"},  // hand: s 8, t 2, r 7, a 0, ß=s 8, e 0
        {"Müller", "657"},   // leading consonant coded: m 6, u 0, l 5, e 0, r 7
        {"René", "76"},      // é is dropped, not coded as e: r 7, e 0, n 6
        {"PEÑA", "1"},       // Ñ lower-cased to ñ and dropped: p 1, e 0, a 0 (16 if taken for n)
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, RunsAndRepeatedDigits) {
    constexpr std::array<CodeRow, 6> rows{{
        {"Amman", "06"},       // mm is one m; 0 6 0 6 keeps 0 6
        {"Anne-Marie", "06"},  // n and m both 6, merged across the vowel
        {"Eder", "027"},
        {"a-a", "0"},       // one a, across the hyphen
        {"Axxel", "0485"},  // xx is one x, as in Axel
        {"Maks", "648"},    // k s gives 4 8 just as x does (Max)
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, FirstLetter) {
    constexpr std::array<CodeRow, 8> rows{{
        {"Axel", "0485"},    // a leading vowel keeps its 0
        {"Jürgen", "0746"},  // j counts as a vowel
        {"Hans", "068"},     // h adds nothing; the vowel's 0 leads
        {"Huber", "017"},
        {"Yvonne", "36"},  // y adds nothing either
        {"Ypsilon", "1856"},
        {"Zimmer", "867"},  // hand: z coded as later in the word, 8; i 0, m 6, e 0, r 7
        {"Keller", "457"},  // hand: k 4, e 0, l 5, e 0, r 7; differs from Müller's 657
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, ROfArAndOr) {
    constexpr std::array<CodeRow, 5> rows{{
        {"Oskar", "084"},  // ar at a later position: 0, the r consumed
        {"Yorck", "04"},
        {"Ort", "072"},  // at the first position o is a vowel and r counts
        {"Arthur", "0727"},
        {"Ar", "07"},  // hand: the same for a word of two letters; a 0, r 7
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, XAndCRules) {
    constexpr std::array<CodeRow, 13> rows{{
        {"Alex", "0548"},
        {"Oxford", "04832"},
        {"Ex-Ex", "04848"},
        {"Akx", "08"},      // kx is an x pair: one 8 for both letters
        {"Xaver", "4837"},  // hand: leading x gives 4 8, a 0, v 3, e 0, r 7
        {"Carl", "475"},
        {"Ceres", "878"},  // a lone c at the first position is 8
        {"Claudia", "42"},
        {"Chemnitz", "468"},
        {"Cuxhaven", "4836"},  // cx at a later position is an x pair, 8
        {"Cxa", "4"},          // hand: cx at the first position is a c pair, 4 for both; a 0
        {"Cicero", "87"},      // a lone c later counts as a vowel
        {"C", "8"},            // hand: a word of one c is a lone c at the first position
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, PairsAndSch) {
    constexpr std::array<CodeRow, 6> rows{{
        {"Echtz", "048"},  // tz: 8 for both letters
        {"Atze", "08"},
        {"Äsche", "08"},
        {"Eschweiler", "08357"},
        {"Aschaffenburg", "0836174"},
        {"Scholz", "858"},  // hand: sch at the first position, 8 for three letters; o 0, l 5, z 8
    }};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, NothingToCode) {
    constexpr std::array<CodeRow, 5> rows{{{"", ""}, {"123", ""}, {"-", ""}, {"h", ""}, {"hy", ""}}};
    ExpectCodes(rows.begin(), rows.end());
}

TEST(PhonetikTest, NulByteEndsTheWord) {
    EXPECT_EQ(Code(std::string("abc\0def", 7)), "01");  // a 0, b 1, lone c 0
    EXPECT_EQ(Code(std::string("\0abc", 4)), "");
}

TEST(PhonetikTest, CutToMaximumLength) {
    struct CutRow {
        const char* word;
        std::int16_t maxLength;
        const char* code;
    };
    constexpr std::array<CutRow, 12> rows{{
        {"Achim-Lüdenscheidt", 32767, "04652682"},
        {"Achim-Lüdenscheidt", 9, "04652682"},
        {"Achim-Lüdenscheidt", 8, "04652682"},  // exactly the code's length
        {"Achim-Lüdenscheidt", 7, "0465268"},   // one below it
        {"Achim-Lüdenscheidt", 4, "0465"},
        {"Achim-Lüdenscheidt", 1, "0"},
        {"Achim-Lüdenscheidt", 0, ""},
        {"Achim-Lüdenscheidt", -1, ""},
        {"Achim-Lüdenscheidt", -32768, ""},
        {"Ex", 2, "04"},  // the cut falls between the 4 and the 8 of x
        {"", -5, ""},
        {"", 0, ""},
    }};
    for (const CutRow& row : rows) {
        SCOPED_TRACE(std::string(row.word) + " / " + std::to_string(row.maxLength));
        EXPECT_EQ(Code(Ansi(row.word), row.maxLength), row.code);
    }
}

// Over random words with the characters that matter: the code holds only
// the digits 0 to 8, never two equal digits in a row and no 0 but in front;
// a cut code is the front of the full one; case does not matter.
TEST(PhonetikTest, PropertiesOverRandomWords) {
    const std::string alphabet = Ansi("aAcCdhkLorsStxXyzäÄöÖüÜß-'é0 ") + std::string(1, '\0');
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        std::string word(std::uniform_int_distribution<std::size_t>(0, 24)(random), ' ');
        std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
        for (char& c : word) c = alphabet[pick(random)];
        SCOPED_TRACE(calverdon::Cp1252ToUtf8(word));

        const std::string full = Code(word);
        for (std::size_t i = 0; i < full.size(); ++i) {
            ASSERT_TRUE(full[i] >= '0' && full[i] <= '8');
            if (i > 0) {
                ASSERT_NE(full[i], '0');
                ASSERT_NE(full[i], full[i - 1]);
            }
        }
        for (std::int16_t cut = 0; cut <= 10; ++cut) {
            ASSERT_EQ(Code(word, cut), full.substr(0, static_cast<std::size_t>(cut)));
        }
        std::string upper = word;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
            if (c == '\xE4' || c == '\xF6' || c == '\xFC') c = static_cast<char>(c - 0x20);
        }
        ASSERT_EQ(Code(upper), full);
    }
}

}  // namespace
