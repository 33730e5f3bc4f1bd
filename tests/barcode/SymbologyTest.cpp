// The pure parts of the barcode library: element widths in pixels, symbol
// values and module texts. Expected values are worked out by hand (the
// arithmetic beside the rows) from the symbologies' character tables;
// none is taken from our output.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "Cp1252.h"
#include "Symbology.h"

namespace calverdon::barcode {
namespace {

std::string Bytes(std::u16string_view text) { return Utf16ToCp1252(text, std::nullopt); }

TEST(ElementWidthTest, NarrowWidthIsTruncatedExtentPlusOne) {
    struct Row {
        int dpi;
        int module;
        int narrow;
    };
    // e = dpi * module / 25400; narrow = trunc(e) + 1.
    constexpr std::array<Row, 13> rows = {{
        {96, 375, 2}, {96, 400, 2}, {96, 460, 2},     // e = 1.42, 1.51, 1.74
        {300, 375, 5}, {300, 400, 5}, {300, 460, 6},  // e = 4.43, 4.72, 5.43
        {600, 375, 9}, {600, 400, 10}, {600, 460, 11},  // e = 8.86, 9.45, 10.87
        {300, 254, 4},  // e = 3 exactly after the float step: 3 + 1, not 3
        {600, 127, 4},  // the same product, 76200
        {96, 529, 2},   // e = 1.9993
        {96, 530, 3},   // e = 2.0031: the first module of 3 pixels at 96 dpi
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.dpi) + " dpi, " + std::to_string(row.module) + " um");
        EXPECT_EQ(NarrowWidth(row.dpi, row.module), row.narrow);
    }
}

TEST(ElementWidthTest, WideWidthReachesTheRatio) {
    struct Row {
        int dpi;
        int module;
        double ratio;
        int narrow;
        int wide;
    };
    // wide starts at trunc(e * ratio) and grows until trunc(wide * 100 /
    // narrow) >= ratio * 100; e.g. 96 dpi, 375 um: e = 1.417, start 3,
    // 300/2 = 150 < 225, 4 -> 200, 5 -> 250.
    constexpr std::array<Row, 8> rows = {{
        {96, 400, 2.0, 2, 4},     // Code 39 defaults
        {300, 400, 2.0, 5, 10},
        {600, 400, 2.0, 10, 20},
        {96, 375, 2.25, 2, 5},    // interleaved 2 of 5 defaults
        {300, 375, 2.25, 5, 12},
        {600, 375, 2.25, 9, 21},
        {96, 400, 3.0, 2, 6},     // start 4 -> 200, 5 -> 250, 6 -> 300
        {96, -300, 2.0, 1, 2},    // e = -1.13: narrow 0 becomes 1; start -2 grows to 2
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.dpi) + " dpi, " + std::to_string(row.module) + " um, ratio " +
                     std::to_string(row.ratio));
        const ElementWidths w = NarrowAndWideWidths(row.dpi, row.module, row.ratio);
        EXPECT_EQ(w.narrow, row.narrow);
        EXPECT_EQ(w.wide, row.wide);
    }
}

struct ValuesRow {
    const char* name;
    std::u16string data;
    std::vector<int> values;  // start to check value
};

TEST(Code128Test, SymbolValuesUpToTheCheckValue) {
    // Check values worked out by hand: sum = start + sum of place * value,
    // check = sum % 103.
    const std::vector<ValuesRow> rows = {
        {"digits in set C", u"12345678", {105, 12, 34, 56, 78, 47}},            // 665 % 103
        {"two digits stay in set B", u"AB12", {104, 33, 34, 17, 18, 19}},       // 328 % 103
        {"empty", u"", {104, 1}},                                               // 104 % 103
        {"set C then B", u"1234AB", {105, 12, 34, 100, 33, 34, 66}},            // 787 % 103
        {"odd run: first digit in B", u"A12345", {104, 33, 17, 99, 23, 45, 64}},  // 785 % 103
        {"umlaut in set B", u"Müller", {104, 45, 93, 76, 76, 69, 82, 56}},      // 1704 % 103
        {"four digits start in C", u"1234", {105, 12, 34, 82}},           // 185 % 103
        {"five digits start in B", u"12345", {104, 17, 99, 23, 45, 53}},  // 568 % 103
        {"German letters", u"ÄÖÜäöüß", {104, 59, 60, 61, 91, 92, 93, 94, 34}},  // 2506 % 103
        {"bracket dropped", u"a[b", {104, 65, 66, 95}},                   // 301 % 103
        {"unmappable and control characters dropped", u"a中\tb€", {104, 65, 66, 95}},
    };
    for (const ValuesRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Code128Values(Bytes(row.data)), row.values);
    }
}

TEST(Code128Test, ModuleTextOfTwelveToSeventyEight) {
    // Start C, 12, 34, 56, 78, check 47 and the stop, looked up in the
    // Code 128 pattern table: 79 modules in all.
    const std::string expected = "211232" "112232" "131123" "331121" "241112" "133121" "2331112";
    const std::string text = Code128ModuleText(Code128Values("12345678"), false);
    EXPECT_EQ(text, expected);
    int modules = 0;
    for (const char c : text) modules += c - '0';
    EXPECT_EQ(modules, 79);
}

TEST(Code128Test, AlternateEndReplacesTheStop) {
    const std::string text = Code128ModuleText({104, 1}, true);
    EXPECT_EQ(text, "211214" "222122" "1233213");  // Start B, check 1, alternate end
}

TEST(Ean128Test, SymbolValuesUpToTheCheckValue) {
    // Check values worked out by hand as for Code 128; Start C and FNC1
    // alone add 105 + 102 = 207.
    const std::vector<ValuesRow> rows = {
        {"GTIN with identifier", u"(01)12345678901234",
         {105, 102, 1, 12, 34, 56, 78, 90, 12, 100, 19, 20, 75}},  // 3165 % 103
        {"same without parentheses", u"0112345678901234", {105, 102, 1, 12, 34, 56, 78, 90, 12, 100, 19, 20, 75}},
        {"batch with letters", u"(10)ABC123", {105, 102, 100, 17, 16, 33, 34, 35, 17, 18, 19, 79}},  // 1624 % 103
        {"last two digits in B", u"123456", {105, 102, 12, 34, 100, 21, 22, 43}},  // 970 % 103
        {"empty", u"", {105, 102, 1}},                                         // 207 % 103
        {"two digits", u"12", {105, 102, 100, 17, 18, 15}},                   // 530 % 103
        // 207 + 2 * 100 + 3 * 33 = 506, 506 % 103 = 94.
        {"letter first", u"A", {105, 102, 100, 33, 94}},
        // Blanks and an unpaired parenthesis go; "0112345678" remains:
        // 207 + 2*1 + 3*12 + 4*34 + 5*56 + 6*100 + 7*23 + 8*24 = 1614, % 103 = 69.
        {"blanks and unpaired parenthesis", u"(01) 1234(5678", {105, 102, 1, 12, 34, 56, 100, 23, 24, 69}},
    };
    for (const ValuesRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Ean128Values(Bytes(row.data)), row.values);
    }
}

// EAN-128 by its rule spelled out plainly: at every position count the
// digits that remain in the run, and take a pair in code set C only while
// they are at least four and an even number. For data of digits and ASCII
// letters, which stand in code set B at their byte minus 32.
std::vector<int> PlainEan128(std::string_view data) {
    std::vector<int> values = {105, 102};  // Start C, FNC1
    bool setC = true;
    for (std::size_t p = 0; p < data.size();) {
        std::size_t digits = 0;
        while (p + digits < data.size() && data[p + digits] >= '0' && data[p + digits] <= '9') ++digits;
        if (digits >= 4 && digits % 2 == 0) {
            if (!setC) values.push_back(99);
            setC = true;
            values.push_back(10 * (data[p] - '0') + (data[p + 1] - '0'));
            p += 2;
        } else {
            if (setC) values.push_back(100);
            setC = false;
            values.push_back(data[p] - 32);
            ++p;
        }
    }
    long long sum = values[0];
    for (std::size_t i = 1; i < values.size(); ++i) sum += static_cast<long long>(i) * values[i];
    values.push_back(static_cast<int>(sum % 103));
    return values;
}

TEST(Ean128Test, DigitRunsOfEveryLengthFollowThePlainRule) {
    // Every text of up to ten characters from a digit and a letter, so that
    // runs of each length start and end everywhere; then long runs of odd
    // and even length with letters between them.
    std::vector<std::string> texts;
    for (std::size_t length = 0; length <= 10; ++length) {
        for (unsigned bits = 0; bits < (1u << length); ++bits) {
            std::string text;
            for (std::size_t i = 0; i < length; ++i) text += ((bits >> i) & 1) ? 'K' : static_cast<char>('0' + i);
            texts.push_back(text);
        }
    }
    std::string runs;
    for (const std::size_t length : {5001, 5000, 4999, 4}) {
        runs += 'x';
        for (std::size_t i = 0; i < length; ++i) runs += static_cast<char>('0' + i * 7 % 10);
    }
    texts.push_back(runs);
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 20));
        ASSERT_EQ(Ean128Values(text), PlainEan128(text));
    }
}

struct TextRow {
    const char* name;
    std::u16string data;
    std::string moduleText;
};

constexpr const char* kStar = "0100101000";

TEST(Code39Test, ModuleTexts) {
    // Patterns from the Code 39 character table, each followed by the gap "0".
    const std::string a = "1000010010", b = "0010010010", c = "1010010000", dash = "0100001010";
    const std::string one = "1001000010", five = "1001100000", slash = "0101000100", dollar = "0101010000";
    const std::vector<TextRow> rows = {
        {"empty: start and stop", u"", std::string(kStar) + kStar},
        {"letters, dash, digit", u"AB-1", kStar + a + b + dash + one + kStar},
        {"lower case as capitals", u"abc", kStar + a + b + c + kStar},
        {"full stop dropped", u"1.5", kStar + one + five + kStar},
        {"asterisk dropped", u"1*5", kStar + one + five + kStar},
        {"slash has its own pattern", u"A/B", kStar + a + slash + b + kStar},
        {"dollar", u"A$B", kStar + a + dollar + b + kStar},
        {"umlauts and unmappable dropped", u"Ä1中ß", kStar + one + kStar},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Code39ModuleText(Bytes(row.data), false), row.moduleText);
    }
}

TEST(Code2of5ITest, ModuleTexts) {
    const std::string pair12 = "SlsLslslSL";  // bars of 1 WNNNW, spaces of 2 NWNNW
    const std::string pair34 = "SlSlsLslsL";  // bars of 3 WWNNN, spaces of 4 NNWNW
    const std::string pair01 = "sLslSlSlsL";  // bars of 0 NNWWN, spaces of 1 WNNNW
    const std::string pair23 = "sLSLslslSl";  // bars of 2 NWNNW, spaces of 3 WWNNN
    const std::vector<TextRow> rows = {
        {"two pairs", u"1234", "slsl" + pair12 + pair34 + "Sls"},
        {"a dash between pairs", u"12-34", "slsl" + pair12 + pair34 + "Sls"},
        {"letters around", u"x12y", "slsl" + pair12 + "Sls"},
        {"a letter inside a pair", u"1a2", "slsl" + pair12 + "Sls"},
        {"no digits", u"abc", "slslSls"},
        {"empty", u"", "slslSls"},
        {"odd count gets a leading zero", u"123", "slsl" + pair01 + pair23 + "Sls"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Code2of5IModuleText(Bytes(row.data), false), row.moduleText);
    }
}

TEST(AlternateEndTest, ExchangesTheSixthAndSeventhElement) {
    // The start character's sixth element, a space, becomes wide and its
    // seventh, a bar, narrow.
    EXPECT_EQ(Code39ModuleText("", true).substr(0, 10), "0100110000");
    EXPECT_EQ(Code2of5IModuleText("1234", true).substr(0, 10), "slslSslLsl");
}

}  // namespace
}  // namespace calverdon::barcode
