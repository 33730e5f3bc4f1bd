#pragma once
// A reader for rich text (RTF) as word processors write it, enough to show a
// help text: paragraphs with alignment, indents and list text, and runs of
// text with bold, italic, underline, strike-through, size, font and colour.
// Everything else (pictures, tables of styles and lists, headers, document
// information, unknown "\*" destinations) is skipped. Input that does not
// start with "{\rtf" is taken as plain text.
//
// The reader works on untrusted bytes: it never reads past the input, never
// recurses, limits the nesting of groups it keeps track of, and never throws
// on bad input (only std::bad_alloc can escape).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace calverdon::rtf {

enum class Alignment { Left, Center, Right, Justify };

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Color&) const = default;
};

// Size of text when a document sets none: 12 points.
constexpr int kDefaultFontSizeHalfPoints = 24;

// Font names are cut to this many bytes, at a character boundary. Real ones
// are far shorter; the cut keeps a hostile name from costing its length in
// every run and paragraph, which each hold a copy.
constexpr std::size_t kMaxFontNameBytes = 255;

struct CharFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int fontSizeHalfPoints = kDefaultFontSizeHalfPoints;
    std::string fontFamily;      // UTF-8, at most kMaxFontNameBytes; empty when the document names no font
    std::optional<Color> color;  // nothing: the viewer's text colour ("auto")
    bool operator==(const CharFormat&) const = default;
};

// Text in UTF-8. A tab is '\t'; a line break inside the paragraph ("\line")
// is U+2028 LINE SEPARATOR, so that '\n' never occurs inside a paragraph.
struct Run {
    std::string text;
    CharFormat format;
};

// Indents are in twips (1/1440 inch), as the file gives them; the first-line
// indent is relative to the left indent and negative for a hanging indent.
struct ParagraphFormat {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
};

struct Paragraph : ParagraphFormat {
    // The bullet or number shown before the paragraph ("•", "1."), without
    // the tab that separates it from the text; empty for ordinary paragraphs.
    std::string listText;
    std::vector<Run> runs;
    // The character format at the paragraph's end, which gives an empty
    // paragraph its height.
    CharFormat markFormat;

    // All runs' text joined.
    std::string Text() const;
};

struct Document {
    // False when the input was not RTF and was read as plain text: then every
    // run has the default format and the viewer's own font should be used.
    bool isRtf = false;
    std::vector<Paragraph> paragraphs;

    // The paragraphs' text, each list text followed by a tab, paragraphs
    // separated by '\n'.
    std::string PlainText() const;
};

// Reads RTF, or plain text (UTF-8 when valid, else Windows-1252) when the
// bytes do not start with "{\rtf".
Document Parse(std::string_view bytes);

// Nesting of groups beyond this depth is counted but not tracked: deeper
// groups share the formatting of the group at the limit.
constexpr std::size_t kMaxGroupDepth = 512;

}  // namespace calverdon::rtf
