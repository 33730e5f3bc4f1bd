#pragma once
// Windows-1252 ("ANSI") text, as hex-text files, words and barcode data hold
// it, converted from and to the UTF-8 of Linux paths and the UTF-16 of the
// library's interfaces.

#include <optional>
#include <string>
#include <string_view>

namespace calverdon {

// One Windows-1252 byte as a Unicode code point. The five bytes that the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control characters of the same value, as Windows does.
char32_t Cp1252ToCodePoint(unsigned char byte);

// The Windows-1252 byte of a code point, or nothing when the code page
// cannot hold it.
std::optional<unsigned char> CodePointToCp1252(char32_t cp);

std::string Cp1252ToUtf8(std::string_view cp1252);
std::u16string Cp1252ToUtf16(std::string_view cp1252);

// Characters that Windows-1252 cannot hold become `replacement`, or are
// dropped when there is none. Invalid UTF-8 sequences count as such
// characters, one per byte.
std::string Utf8ToCp1252(std::string_view utf8, std::optional<char> replacement = '_');
std::string Utf16ToCp1252(std::u16string_view utf16, std::optional<char> replacement = '_');

// How many bytes of the UTF-8 text at `at` form a control character: 1
// for C0 and DEL, 2 for C1 (U+0080 to U+009F), 3 for the controls of
// bidirectional text, 0 when none starts there.
std::size_t ControlCharacterAt(std::string_view utf8, std::size_t at);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// UTF-8 and UTF-16 between each other; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace calverdon
