// The RTF reader: characters and escapes, skipped destinations, group
// scoping of formats, paragraphs and lists, plain-text input, damaged input,
// a file that a word processor wrote, and our own help text.
//
// Expected characters come from the Windows-1252 code chart and the Unicode
// code charts (U+2022 BULLET and so on); \u parameters were converted by
// hand (negative values plus 65536).
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Rtf.h"

namespace calverdon::rtf {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The run whose text is `text`, or nullptr.
const Run* FindRun(const Document& doc, std::string_view text) {
    for (const auto& paragraph : doc.paragraphs) {
        for (const auto& run : paragraph.runs) {
            if (run.text == text) return &run;
        }
    }
    return nullptr;
}

std::string Trimmed(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

struct TextRow {
    const char* name;
    std::string_view input;
    std::string_view text;  // Document::PlainText()
};

constexpr std::array<TextRow, 32> kTextRows = {{
    {"HexEscapesInWindows1252", R"({\rtf1\ansi\ansicpg1252 Gr\'fc\'DFe \'80})", "Grüße €"},
    {"UnicodeSkipsOneFallbackByDefault", R"({\rtf1 a\u8364?b})", "a€b"},
    {"UnicodeSkipsHexEscapeAsOneCharacter", R"({\rtf1 \u252\'fcber})", "über"},
    {"UcTwoSkipsTwo", R"({\rtf1\uc2 \u8364\'80\'81x})", "€x"},
    {"UcZeroSkipsNothing", R"({\rtf1\uc0 \u228 x})", "äx"},
    {"UcIsScopedToTheGroup", R"({\rtf1 {\uc2 \u8364 ab}\u8364 ab})", "€€b"},
    {"ControlWordCountsAsOneSkipped", R"({\rtf1 \u8364\bullet x})", "€x"},
    {"GroupEndStopsSkipping", R"({\rtf1\uc3 \u8364{x}y})", "€xy"},
    // -1568 + 65536 = 63968 = U+F9E0
    {"NegativeUnicode", R"({\rtf1 \u-1568?})", "\uF9E0"},
    // -10179 + 65536 = 0xD83D, -8704 + 65536 = 0xDE00: U+1F600
    {"SurrogatePair", R"({\rtf1 \u-10179?\u-8704?})", "\U0001F600"},
    {"LoneSurrogateIsReplaced", R"({\rtf1 \u-10179?x})", "\uFFFDx"},
    {"ControlSymbols", R"({\rtf1 a\~b\-c\_d\{\}\\})", "a\u00A0b\u00ADc\u2011d{}\\"},
    {"SymbolWords", R"({\rtf1 \bullet\emdash\endash\lquote\rquote\ldblquote\rdblquote})",
     "\u2022\u2014\u2013\u2018\u2019\u201C\u201D"},
    {"TabAndLine", R"({\rtf1 a\tab b\line c})", "a\tb\u2028c"},
    {"LineEndsInTheFileAreNotText", "{\\rtf1 a\r\nb\nc}", "abc"},
    {"EscapedLineEndIsAParagraph", "{\\rtf1 a\\\nb}", "a\nb"},
    {"ParagraphsWithoutTrailingEmptyOne", R"({\rtf1 a\par b\par})", "a\nb"},
    {"EmptyParagraphKept", R"({\rtf1 a\par\par b})", "a\n\nb"},
    {"SkippedDestinations",
     R"({\rtf1{\fonttbl{\f0 Arial;}}{\stylesheet{\s1 Heading;}}{\info{\title T}{\author A}})"
     R"({\header H}{\footerr F}{\listtable{\list{\listlevel{\leveltext x;}}}}{\listoverridetable{\listoverride}})"
     R"({\*\themedata 0102}{\*\colorschememapping 3c3f}{\*\datastore 01}{\*\latentstyles{\lsdlockedexcept x}})"
     R"({\*\generator W;}{\*\xmlnstbl{\xmlns1 u}}{\*\rsidtbl \rsid1}{\*\unknownthing secret}body})",
     "body"},
    {"PictureWithBinaryBraces", "{\\rtf1 a{\\pict\\bin3 }{}}b}", "ab"},
    {"PictureWithHexData", R"({\rtf1 a{\pict\pngblip 89504e47}b})", "ab"},
    {"StarredDestinationInsideTextIsSkipped", R"({\rtf1 a{\*\bkmkstart x}b})", "ab"},
    {"FieldShowsItsResult", R"({\rtf1 {\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt Link}}})", "Link"},
    {"UnknownWordsIgnoredTextKept", R"({\rtf1 \foo1 x\barbaz y{\mystery z}})", "xyz"},
    {"HiddenTextNotShown", R"({\rtf1 a{\v hidden}b\v c\v0 d})", "abd"},
    {"NothingAfterTheDocumentEnds", R"({\rtf1 a}b{c})", "a"},
    // 0x81 is undefined in Windows-1252; \u150 is the C1 control U+0096.
    {"ControlCharactersDropped", "{\\rtf1 a\\'81\\u150?\\'07\\u0?\\u10?b\tc}", "ab\tc"},
    {"SymbolFontBullet", R"({\rtf1{\fonttbl{\f1\fcharset2 Symbol;}}{\f1\'b7} x})", "\u2022 x"},
    // Truncated and malformed input.
    {"CutInsideGroup", R"({\rtf1 {\b bold)", "bold"},
    {"CutInsideHexEscape", R"({\rtf1 a\'4)", "a4"},  // the broken escape goes, the digit stays
    {"CutAfterBackslash", "{\\rtf1 a\\", "a"},
    {"BadHexEscapeDropped", R"({\rtf1 a\'zzb})", "azzb"},
}};

TEST(RtfParse, Text) {
    for (const auto& row : kTextRows) {
        SCOPED_TRACE(row.name);
        const Document doc = Parse(row.input);
        EXPECT_TRUE(doc.isRtf);
        EXPECT_EQ(doc.PlainText(), row.text);
    }
}

TEST(RtfParse, NestedGroupsRestoreFormatting) {
    const Document doc = Parse(R"({\rtf1 a{\b b{\i c}d}e})");
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    const auto& runs = doc.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 5u);
    const std::array<std::pair<bool, bool>, 5> boldItalic = {{{false, false}, {true, false}, {true, true},
                                                              {true, false}, {false, false}}};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(runs[i].text);
        EXPECT_EQ(runs[i].text, std::string(1, static_cast<char>('a' + i)));
        EXPECT_EQ(runs[i].format.bold, boldItalic[i].first);
        EXPECT_EQ(runs[i].format.italic, boldItalic[i].second);
    }
}

TEST(RtfParse, TogglesAndPlain) {
    const Document doc = Parse(R"({\rtf1\b\i\ul\strike\fs40 a\b0\i0\ulnone\strike0 b\ul c\ul0 d\b\fs20 e\plain f})");
    const auto format = [](bool bold, bool italic, bool underline, bool strike, int size) {
        CharFormat f;
        f.bold = bold;
        f.italic = italic;
        f.underline = underline;
        f.strike = strike;
        f.fontSizeHalfPoints = size;
        return f;
    };
    struct Row {
        const char* text;
        CharFormat format;
    };
    const std::array<Row, 6> rows = {{
        {"a", format(true, true, true, true, 40)},
        {"b", format(false, false, false, false, 40)},
        {"c", format(false, false, true, false, 40)},
        {"d", format(false, false, false, false, 40)},
        {"e", format(true, false, false, false, 20)},
        {"f", CharFormat{}},  // \plain: 12 points, nothing set
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const auto* run = FindRun(doc, row.text);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(run->format, row.format);
    }
}

TEST(RtfParse, FontsAndColours) {
    const Document doc = Parse(
        R"({\rtf1\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman{\*\panose 0102}Times New Roman;}{\f2 Schw\'e4bisch;}})"
        R"({\colortbl;\red255\green0\blue0;\red0\green128\blue0;}a\f1\cf2 b\cf0 c\f2\cf9 d\f7\cf1 e})");
    struct Row {
        const char* text;
        const char* family;
        std::optional<Color> color;
    };
    const std::array<Row, 5> rows = {{
        {"a", "Arial", std::nullopt},
        {"b", "Times New Roman", Color{0, 128, 0}},
        {"c", "Times New Roman", std::nullopt},  // \cf0: the first, empty entry
        {"d", "Schwäbisch", std::nullopt},       // \cf9: no such colour
        {"e", "", Color{255, 0, 0}},             // \f7: no such font
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const auto* run = FindRun(doc, row.text);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(run->format.fontFamily, row.family);
        EXPECT_EQ(run->format.color, row.color);
    }
}

TEST(RtfParse, FontTableWithoutInnerGroups) {
    const Document doc = Parse(R"({\rtf1{\fonttbl\f0\fswiss Helvetica;\f1\fmodern Courier;}\f1 x})");
    const auto* run = FindRun(doc, "x");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->format.fontFamily, "Courier");
}

TEST(RtfParse, ParagraphProperties) {
    const Document doc = Parse(
        R"({\rtf1\qc\li720\ri360\fi-360\sb120\sa240 a\par\pard b\qr\par{\qj c\par}d\par\pard\qc\li-99999 e\par})");
    struct Row {
        Alignment alignment;
        int left, right, first, before, after;
    };
    const std::array<Row, 5> rows = {{
        {Alignment::Center, 720, 360, -360, 120, 240},
        {Alignment::Right, 0, 0, 0, 0, 0},    // set before its \par, so it holds for the paragraph
        {Alignment::Justify, 0, 0, 0, 0, 0},  // inside a group ...
        {Alignment::Right, 0, 0, 0, 0, 0},    // ... and restored after it
        {Alignment::Center, -22 * 1440, 0, 0, 0, 0},  // clamped to 22 inches
    }};
    ASSERT_EQ(doc.paragraphs.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& p = doc.paragraphs[i];
        EXPECT_EQ(p.alignment, rows[i].alignment);
        EXPECT_EQ(p.leftIndent, rows[i].left);
        EXPECT_EQ(p.rightIndent, rows[i].right);
        EXPECT_EQ(p.firstLineIndent, rows[i].first);
        EXPECT_EQ(p.spaceBefore, rows[i].before);
        EXPECT_EQ(p.spaceAfter, rows[i].after);
    }
}

TEST(RtfParse, ListTextOfBothKinds) {
    // Old-style \pntext with a Symbol bullet, the newer \listtext with a
    // Unicode bullet and with a number; \pard inside the list text group
    // must not reset the paragraph, and {\*\pn...} is never shown.
    const Document doc = Parse(
        R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}})"
        R"({\pntext\f1\'b7\tab}{\*\pn\pnlvlblt\pnf1{\pntxtb\'b7}}\fi-360\li720 eins\par)"
        R"({\listtext\pard\plain \u8226\'95\tab}zwei\par)"
        R"(\pard{\listtext 1.\tab}drei\par vier\par})");
    ASSERT_EQ(doc.paragraphs.size(), 4u);
    EXPECT_EQ(doc.paragraphs[0].listText, "\u2022");
    EXPECT_EQ(doc.paragraphs[0].Text(), "eins");
    EXPECT_EQ(doc.paragraphs[0].leftIndent, 720);
    EXPECT_EQ(doc.paragraphs[0].firstLineIndent, -360);
    EXPECT_EQ(doc.paragraphs[1].listText, "\u2022");
    EXPECT_EQ(doc.paragraphs[1].Text(), "zwei");
    EXPECT_EQ(doc.paragraphs[1].leftIndent, 720);
    EXPECT_EQ(doc.paragraphs[2].listText, "1.");
    EXPECT_EQ(doc.paragraphs[3].listText, "");
}

TEST(RtfParse, DeepNestingKeepsTrackOfGroups) {
    // Far beyond the tracked depth, the groups still pair up: the bold group
    // ends where it should and the text inside is kept.
    const std::string deep(100000, '{');
    const std::string shut(100000, '}');
    const Document doc = Parse(R"({\rtf1 {\b )" + deep + "x" + shut + "}y}");
    ASSERT_NE(FindRun(doc, "x"), nullptr);
    EXPECT_TRUE(FindRun(doc, "x")->format.bold);
    ASSERT_NE(FindRun(doc, "y"), nullptr);
    EXPECT_FALSE(FindRun(doc, "y")->format.bold);
}

TEST(RtfParse, OutlandishParametersAreClamped) {
    const Document doc = Parse(
        R"({\rtf1\fs99999999999999999 a\fs0 b\fs-4 c\cf-5\f-1 d)"
        R"(\abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz e{\uc99999 \u99999999 0123456789abcdefg}})");
    // \uc is capped at 16: the \u out of range shows nothing, yet takes the
    // next 16 characters with it.
    // \fs is held to 1..1638 points; \cf-5 and \f-1 change nothing, so
    // "b" to "g" make one run.
    CharFormat smallest;
    smallest.fontSizeHalfPoints = 2;
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    const auto& runs = doc.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "a");
    EXPECT_EQ(runs[0].format.fontSizeHalfPoints, 3276);
    EXPECT_EQ(runs[1].text, "bcdeg");
    EXPECT_EQ(runs[1].format, smallest);
}

struct PlainRow {
    const char* name;
    std::string_view input;
    std::vector<std::string> lines;
};

TEST(RtfParse, PlainText) {
    const std::array<PlainRow, 7> rows = {{
        {"Utf8WithCrLf", "Grüße\r\nzweite\n", {"Grüße", "zweite"}},
        {"Windows1252", "Gr\xFC\xDF" "e", {"Grüße"}},
        {"ByteOrderMarkDropped", "\xEF\xBB\xBFÄrger", {"Ärger"}},
        {"BareCrAndEmptyLines", "a\r\rb\n\n", {"a", "", "b", ""}},
        {"Empty", "", {}},
        {"UppercaseRtfIsNotRtf", "{\\RTF1 x}", {"{\\RTF1 x}"}},
        {"LeadingSpaceIsNotRtf", " {\\rtf1 x}", {" {\\rtf1 x}"}},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Document doc = Parse(row.input);
        EXPECT_FALSE(doc.isRtf);
        std::vector<std::string> lines;
        for (const auto& p : doc.paragraphs) {
            lines.push_back(p.Text());
            for (const auto& run : p.runs) EXPECT_EQ(run.format, CharFormat{});
        }
        EXPECT_EQ(lines, row.lines);
    }
}

// tests/data/rtf/writer-sample.rtf was written by LibreOffice 7.4 from
// writer-sample.html beside it:
//   soffice --headless --infilter="HTML (StarWriter)" --convert-to rtf writer-sample.html
// The expectations are what the HTML says.
TEST(RtfParse, WordProcessorFile) {
    const Document doc = Parse(ReadFile(CALVERDON_TEST_DATA "/rtf/writer-sample.rtf"));
    ASSERT_TRUE(doc.isRtf);
    ASSERT_EQ(doc.paragraphs.size(), 8u);

    const auto& heading = doc.paragraphs[0];
    EXPECT_EQ(heading.Text(), "Kurzanleitung für Prüfer");
    ASSERT_EQ(heading.runs.size(), 1u);
    EXPECT_TRUE(heading.runs[0].format.bold);
    EXPECT_GT(heading.runs[0].format.fontSizeHalfPoints, doc.paragraphs[1].runs[0].format.fontSizeHalfPoints);

    EXPECT_EQ(doc.paragraphs[1].Text(),
              "Dieser Absatz enthält fett, kursiv und unterstrichen gesetzte Wörter sowie Gestrichenes.");
    struct Styled {
        const char* text;
        bool bold, italic, underline, strike;
    };
    for (const Styled& s : {Styled{"fett", true, false, false, false}, Styled{"kursiv", false, true, false, false},
                            Styled{"unterstrichen", false, false, true, false},
                            Styled{"Gestrichenes", false, false, false, true},
                            Styled{"Dieser Absatz enthält ", false, false, false, false}}) {
        SCOPED_TRACE(s.text);
        const auto* run = FindRun(doc, s.text);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(run->format.bold, s.bold);
        EXPECT_EQ(run->format.italic, s.italic);
        EXPECT_EQ(run->format.underline, s.underline);
        EXPECT_EQ(run->format.strike, s.strike);
    }

    // The HTML's line break before </li> reaches the file as a trailing blank.
    const std::array<const char*, 3> items = {"Äpfel und Birnen", "Öl, Essig & Salz", "Übergrößen – ab 50 €"};
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(items[i]);
        const auto& p = doc.paragraphs[2 + i];
        EXPECT_EQ(p.listText, "\u2022");
        EXPECT_EQ(Trimmed(p.Text()), items[i]);
        EXPECT_GT(p.leftIndent, 0);
        EXPECT_LT(p.firstLineIndent, 0);
    }

    EXPECT_EQ(doc.paragraphs[5].Text(), "Zentrierte Zeile");
    EXPECT_EQ(doc.paragraphs[5].alignment, Alignment::Center);
    EXPECT_EQ(doc.paragraphs[6].Text(), "Rechtsbündig");
    EXPECT_EQ(doc.paragraphs[6].alignment, Alignment::Right);
    EXPECT_EQ(doc.paragraphs[1].alignment, Alignment::Left);

    EXPECT_EQ(doc.paragraphs[7].Text(), "Ein rotes Wort zum Schluss.");
    const auto* red = FindRun(doc, "rotes");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->format.color, (Color{0xC0, 0x00, 0x00}));  // color:#c00000
    EXPECT_FALSE(FindRun(doc, "Ein ")->format.color.has_value());
}

TEST(RtfParse, ShippedHelpText) {
    const Document doc = Parse(ReadFile(CALVERDON_HELP_FILE));
    ASSERT_TRUE(doc.isRtf);
    ASSERT_GT(doc.paragraphs.size(), 10u);
    ASSERT_FALSE(doc.paragraphs[0].runs.empty());
    EXPECT_EQ(doc.paragraphs[0].Text(), "Calverdon – Hilfe");
    EXPECT_TRUE(doc.paragraphs[0].runs[0].format.bold);
    const std::string text = doc.PlainText();
    // Nothing of the markup may show, and the umlauts arrive.
    EXPECT_EQ(text.find_first_of("\\{}"), std::string::npos);
    EXPECT_NE(text.find("Prüfsumme"), std::string::npos);
    EXPECT_NE(text.find("Codieren.ini"), std::string::npos);
    EXPECT_NE(text.find("Dateigröße max."), std::string::npos);
}

}  // namespace
}  // namespace calverdon::rtf
