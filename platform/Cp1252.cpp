#include "Cp1252.h"

#include <array>

namespace calverdon {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of Windows-1252 equals
// ISO 8859-1. Checked against the code page table that Windows publishes
// (bestfit1252.txt); undefined bytes keep their C1 value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char32_t kReplacementChar = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at `pos`; returns nothing for an invalid one
// (overlong, surrogate, out of range or cut short) and then advances by one
// byte.
std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (pos + extra >= s.size()) {
        ++pos;
        return std::nullopt;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto c = static_cast<unsigned char>(s[pos + i]);
        if ((c & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return std::nullopt;
    }
    pos += extra + 1;
    return cp;
}

// Decodes one UTF-16 unit or surrogate pair; a lone surrogate gives nothing.
std::optional<char32_t> NextUtf16(std::u16string_view s, std::size_t& pos) {
    const char16_t u = s[pos++];
    if (u < 0xD800 || u > 0xDFFF) return u;
    if (u <= 0xDBFF && pos < s.size() && s[pos] >= 0xDC00 && s[pos] <= 0xDFFF) {
        const char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (s[pos] - 0xDC00);
        ++pos;
        return cp;
    }
    return std::nullopt;
}

// Unicode text in another encoding: `next` decodes one code point at a
// time (nothing for an invalid sequence), `append` writes it to the output.
template <typename Out, typename Text, typename Next, typename Append>
Out Recode(Text text, Next next, Append append) {
    Out out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) append(out, next(text, pos));
    return out;
}

// Writes a code point as its Windows-1252 byte; one the code page cannot
// hold, or an invalid sequence, as `replacement`, or not at all.
struct Cp1252Writer {
    std::optional<char> replacement;
    void operator()(std::string& out, std::optional<char32_t> cp) const {
        const auto byte = cp ? CodePointToCp1252(*cp) : std::nullopt;
        if (byte) {
            out += static_cast<char>(*byte);
        } else if (replacement) {
            out += *replacement;
        }
    }
};

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t Cp1252ToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

std::optional<unsigned char> CodePointToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size());
    for (const char c : cp1252) AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
    return out;
}

std::u16string Cp1252ToUtf16(std::string_view cp1252) {
    std::u16string out;
    out.reserve(cp1252.size());
    for (const char c : cp1252) {
        out += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view utf8, std::optional<char> replacement) {
    return Recode<std::string>(utf8, NextUtf8, Cp1252Writer{replacement});
}

std::string Utf16ToCp1252(std::u16string_view utf16, std::optional<char> replacement) {
    return Recode<std::string>(utf16, NextUtf16, Cp1252Writer{replacement});
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    return Recode<std::u16string>(utf8, NextUtf8, [](std::u16string& out, std::optional<char32_t> cp) {
        AppendUtf16(out, cp.value_or(kReplacementChar));
    });
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    return Recode<std::string>(utf16, NextUtf16, [](std::string& out, std::optional<char32_t> cp) {
        AppendUtf8(out, cp.value_or(kReplacementChar));
    });
}

std::size_t ControlCharacterAt(std::string_view utf8, std::size_t at) {
    const auto c = static_cast<unsigned char>(utf8[at]);
    if (c < 0x20 || c == 0x7F) return 1;
    if (c == 0xC2 && at + 1 < utf8.size()) {
        const auto next = static_cast<unsigned char>(utf8[at + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    // The embedding, override and isolate controls of bidirectional text
    // (U+202A to U+202E, U+2066 to U+2069) reorder what is shown around
    // them: "rechnung\u202Efdp.exe" reads as an innocent name.
    if (c == 0xE2 && at + 2 < utf8.size()) {
        const auto second = static_cast<unsigned char>(utf8[at + 1]);
        const auto third = static_cast<unsigned char>(utf8[at + 2]);
        if (second == 0x80 && third >= 0xAA && third <= 0xAE) return 3;
        if (second == 0x81 && third >= 0xA6 && third <= 0xA9) return 3;
    }
    return 0;
}

}  // namespace calverdon
