// The small rules of the hex-text format: how numbers are read, how parts
// are named, and the line generator.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "HexText.h"
#include "LineGenerator.h"
#include "Names.h"
#include "PairReading.h"

namespace calverdon {
namespace {

TEST(LineGeneratorTest, StartsWithTheKnownSequence) {
    // The first three values and line targets after start-up, from the
    // format's description of the generator.
    LineGenerator lines;
    EXPECT_EQ(lines.Next(), 1410184549u);
    EXPECT_EQ(lines.Next(), 672584604u);
    EXPECT_EQ(lines.Next(), 1915668986u);
    LineGenerator targets;
    EXPECT_EQ(targets.NextLineTarget(), 64);
    EXPECT_EQ(targets.NextLineTarget(), 69);
    EXPECT_EQ(targets.NextLineTarget(), 71);
}

TEST(PairValueTest, ReadsPairsAsStrtolDoes) {
    // Expected values worked out by hand from strtol's rules for base 16.
    struct Row {
        const char* pair;
        int value;
    };
    const Row rows[] = {
        {"ff", 0xFF}, {"FF", 0xFF}, {"0a", 0x0A}, {"-1", 0xFF}, {" f", 0x0F}, {"1g", 0x01},
        {"zz", 0x00}, {"+f", 0x0F}, {"-f", 0xF1}, {"\tA", 0x0A}, {"0x", 0x00}, {"x1", 0x00},
        {"+-", 0x00}, {"  ", 0x00}, {"g1", 0x00}, {"\r\r", 0x00},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pair);
        EXPECT_EQ(PairValue(static_cast<unsigned char>(row.pair[0]), static_cast<unsigned char>(row.pair[1])),
                  row.value);
    }
    // A NUL ends the string that strtol sees.
    EXPECT_EQ(PairValue('\0', 'f'), 0x00);
    EXPECT_EQ(PairValue('f', '\0'), 0x0F);
}

TEST(ReadLeadingNumberTest, ReadsPartNumbersAsAtolDoes) {
    struct Row {
        const char* line;
        long value;
    };
    const Row rows[] = {
        {"2 LfdNr\r\n", 2},  {"  17 LfdNr", 17},           {"+3", 3}, {"-4 LfdNr", -4},
        {"LfdNr 2", 0},      {"", 0},                      {"0002", 2}, {"2x", 2},
        {"99999999999999999999999", LONG_MAX}, {"-99999999999999999999999", LONG_MIN},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ReadLeadingNumber(row.line), row.value);
    }
}

TEST(PartFileNameTest, AppendsTheNumberBeforeTheExtension) {
    EXPECT_EQ(PartFileName("bericht.txt", 2), "bericht_2.txt");
    EXPECT_EQ(PartFileName("a.b.txt", 2), "a.b_2.txt");
    EXPECT_EQ(PartFileName("x.txt", 10), "x_10.txt");
    // The last four characters go, whatever they are; the extension is
    // taken from the last dot on.
    EXPECT_EQ(PartFileName("x.TXT", 3), "x_3.TXT");
    EXPECT_EQ(PartFileName("abc", 2), "_2");
}

TEST(ParseKilobytesTest, ReadsTheFieldAsAWholeNumber) {
    struct Row {
        const char* text;
        std::int32_t value;
    };
    const Row rows[] = {
        {"0", 0},          {"1", 1},      {"  12", 12},     {"+5", 5},        {"-3", -3},
        {"$10", 16},       {"x1F", 31},   {"0x20", 32},     {"-$10", -16},    {"$FFFFFFFF", -1},
        {"", 0},           {"abc", 0},    {"12 ", 0},       {"1.5", 0},       {"$", 0},
        {"2147483647", 2147483647},       {"2147483648", 0}, {"-2147483648", INT32_MIN},
        {"$100000000", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseKilobytes(row.text), row.value);
    }
}

TEST(SafeFileNameTest, KeepsOnlyTheLastComponent) {
    EXPECT_EQ(SafeFileName("bericht.pdf"), "bericht.pdf");
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("C:\\Windows\\x.dll"), "x.dll");
    EXPECT_EQ(SafeFileName("/abs/name"), "name");
    EXPECT_EQ(SafeFileName(""), "");
    EXPECT_EQ(SafeFileName("."), "");
    EXPECT_EQ(SafeFileName(".."), "");
    EXPECT_EQ(SafeFileName("dir/"), "");
    EXPECT_EQ(SafeFileName("a/.."), "");
}

TEST(EncodeTargetForTest, ReplacesOrAppendsTheExtension) {
    EXPECT_EQ(EncodeTargetFor("/d/report.pdf"), "/d/report.txt");
    EXPECT_EQ(EncodeTargetFor("/d/noext"), "/d/noext.txt");
    EXPECT_EQ(EncodeTargetFor("/d/a.tar.gz"), "/d/a.tar.txt");
    EXPECT_EQ(EncodeTargetFor("rel.bin"), "rel.txt");
}

}  // namespace
}  // namespace calverdon
