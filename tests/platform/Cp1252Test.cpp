// Windows-1252 text to and from UTF-8 and UTF-16.
#include <gtest/gtest.h>

#include "Cp1252.h"

namespace calverdon {
namespace {

TEST(Cp1252Test, ConvertsTheGermanLettersAndTheHighControls) {
    // Byte values from the Windows-1252 code page table.
    EXPECT_EQ(Cp1252ToUtf8("\xc4\xd6\xdc\xe4\xf6\xfc\xdf"), "ÄÖÜäöüß");
    EXPECT_EQ(Cp1252ToUtf8("\x80\x84\x93\x94\x96\x9f"), "€„“”–Ÿ");
    EXPECT_EQ(Utf8ToCp1252("€ Größe"), "\x80 Gr\xf6\xdf" "e");
    EXPECT_EQ(Cp1252ToUtf16("\x80"), u"€");
    EXPECT_EQ(Utf16ToCp1252(u"Ä€"), "\xc4\x80");
}

TEST(Cp1252Test, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(byte)), byte) << b;
        EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(byte)), byte) << b;
    }
}

TEST(Cp1252Test, UnmappableCharactersAreReplacedOrDropped) {
    EXPECT_EQ(Utf8ToCp1252("aΩb"), "a_b");
    EXPECT_EQ(Utf8ToCp1252("aΩb", std::nullopt), "ab");
    EXPECT_EQ(Utf16ToCp1252(u"a\U0001F600b", '?'), "a?b");
    EXPECT_EQ(Utf16ToCp1252(u"x\xD800y", std::nullopt), "xy");  // lone surrogate
    // Invalid UTF-8: a cut sequence, a stray continuation byte, an overlong
    // form; each byte counts as one unmappable character.
    EXPECT_EQ(Utf8ToCp1252("a\xc3"), "a_");
    EXPECT_EQ(Utf8ToCp1252("\x80z"), "_z");
    EXPECT_EQ(Utf8ToCp1252("\xc0\xaf"), "__");
}

TEST(Cp1252Test, ConvertsBetweenUtf8AndUtf16) {
    EXPECT_EQ(Utf8ToUtf16("Grüße \U0001F600"), u"Grüße \U0001F600");
    EXPECT_EQ(Utf16ToUtf8(u"Grüße \U0001F600"), "Grüße \U0001F600");
    EXPECT_EQ(Utf8ToUtf16("\xff"), u"\xFFFD");
}

}  // namespace
}  // namespace calverdon
