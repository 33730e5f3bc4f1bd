// kPhonetik. Expected codes are worked out by hand from the Cologne coding
// rules as this library applies them (the derivation is noted beside the
// row where it is not plain); the breadth comes from the comparison with
// the plain coder at the end.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <random>
#include <string>

#include "Cp1252.h"
#include <calverdon/Phonetik.h>
#include "ReferencePhonetik.h"

namespace {

using calverdon::reference::ReferencePhonetik;

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

// The packed coder against the plain one of ReferencePhonetik.h, on seeded
// random words of the letters the rules tell apart, in both cases, with
// umlauts, ß, repeats, dropped bytes and NUL bytes, mostly short and now
// and then long enough to fill the coder's buffer; cut anywhere up to just
// past the code's own length.
TEST(PhonetikTest, AgreesWithReferenceOnRandomWords) {
    const std::string alphabet = Ansi("aAcCdDhHkKoOpPqrRsStTxXyzZlmuäÄöÖüÜß-'é0 ") + std::string(1, '\0');
    std::mt19937 random(20261209);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 20000; ++round) {
        std::string word;
        const int length = round % 20 == 0 ? pick(50, 300) : pick(0, 24);
        while (static_cast<int>(word.size()) < length) {
            const char c = alphabet[static_cast<std::size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
            word.append(static_cast<std::size_t>(pick(0, 3) == 0 ? 2 : 1), c);  // a repeat now and then
        }
        SCOPED_TRACE(calverdon::Cp1252ToUtf8(word));
        const String full = ReferencePhonetik(word, 32767);
        ASSERT_EQ(kPhonetik(word, 32767), full);
        const auto maxLength = static_cast<std::int16_t>(pick(-1, static_cast<int>(full.size()) + 1));
        ASSERT_EQ(kPhonetik(word, maxLength), ReferencePhonetik(word, maxLength)) << "cut to " << maxLength;
    }
}

// Every word of the German word list (package wngerman), turned into
// Windows-1252; characters the code page cannot hold are dropped.
TEST(PhonetikTest, AgreesWithReferenceOnTheWordList) {
    std::ifstream list(PHONETIK_WORD_LIST);
    ASSERT_TRUE(list) << PHONETIK_WORD_LIST << " missing (package wngerman)";
    std::size_t words = 0;
    for (std::string line; std::getline(list, line); ++words) {
        const std::string word = Ansi(line.c_str());
        ASSERT_EQ(kPhonetik(word, 32767), ReferencePhonetik(word, 32767)) << line;
    }
    EXPECT_GT(words, 300000u);
}

}  // namespace
