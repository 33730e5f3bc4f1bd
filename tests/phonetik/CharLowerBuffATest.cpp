// The Windows-1252 lower-casing layer against an independent oracle: each
// byte decoded to its code point, lower-cased with the C library's Unicode
// tables (C.UTF-8 locale), and encoded back when Windows-1252 can hold the
// result. That is how Windows lower-cases ANSI text.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <string>

#include "CharLowerBuffA.h"
#include "Cp1252.h"

namespace {

TEST(CharLowerBuffATest, EveryByteAsUnicodeLowerCases) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    int changed = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const auto lower =
            static_cast<char32_t>(std::towlower(static_cast<std::wint_t>(calverdon::Cp1252ToCodePoint(byte))));
        const auto expected = calverdon::CodePointToCp1252(lower).value_or(byte);

        char text[1] = {static_cast<char>(byte)};
        CharLowerBuffA(text, 1);
        SCOPED_TRACE(b);
        EXPECT_EQ(static_cast<unsigned char>(text[0]), expected);
        if (expected != byte) ++changed;
    }
    // 26 ASCII capitals, 30 Latin-1 capitals and Š Œ Ž Ÿ: guards the oracle.
    EXPECT_EQ(changed, 60);
}

TEST(CharLowerBuffATest, WorksOnTheGivenLengthPastNulBytes) {
    std::string text("AB\0\xC4ZQ", 6);
    EXPECT_EQ(CharLowerBuffA(text.data(), 5), 5u);
    EXPECT_EQ(text, std::string("ab\0\xE4zQ", 6));  // the sixth byte lies outside
    EXPECT_EQ(CharLowerBuffA(text.data(), 0), 0u);
}

}  // namespace
