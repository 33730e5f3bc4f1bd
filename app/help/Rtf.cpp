#include "Rtf.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <map>

#include "Cp1252.h"

namespace calverdon::rtf {
namespace {

// Limits that keep hostile input from costing more than its own size.
// Control words have at most 32 letters; longer ones are cut and unknown.
constexpr std::size_t kMaxWordLetters = 32;
// Parameters are 16-bit in the format; anything beyond ten digits is noise.
constexpr int kMaxParamDigits = 10;
constexpr std::size_t kMaxFonts = 4096;
constexpr std::size_t kMaxColors = 4096;
// Fallback characters after \uN: Word writes at most a few bytes.
constexpr int kMaxUnicodeSkip = 16;
// Font sizes in half-points: 1 to 1638 points.
constexpr int kMinFontSize = 2;
constexpr int kMaxFontSize = 3276;
// Indents and spacing in twips: up to 22 inches = 22 * 1440 twips either way.
constexpr int kMaxTwips = 22 * 1440;

constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kReplacementChar = 0xFFFD;

// ---------------------------------------------------------------------------
// Control words
//
// Each control word is looked up once in one sorted table, which tells what
// the word does. Words not in the table are ignored.

enum class Action : std::uint8_t {
    Unknown,
    // Destinations: the rest of the group is read into a table, read as list
    // text, or skipped.
    FontTable, ColorTable, ListText, SkippedDestination,
    // Document settings: \ansicpgN; \ansi, \mac, \pc, \pca; \deffN.
    DocumentCodePage, DocumentCharset, DefaultFont,
    // Characters; Character is the one that the table entry gives.
    Character, Unicode, UnicodeSkip, ParagraphBreak,
    // Character formatting.
    Plain, Bold, Italic, Underline, NoUnderline, Strike, Hidden, FontSize, Font, Color,
    // Paragraph formatting.
    ParagraphDefaults, AlignLeft, AlignCenter, AlignRight, Justify,
    LeftIndent, RightIndent, FirstLineIndent, SpaceBefore, SpaceAfter,
    // Only in the font table, where \f also starts an entry.
    FontCharset, FontCodePage,
    // Only in the colour table.
    Red, Green, Blue,
};

struct ControlWord {
    std::string_view name;
    Action action = Action::Unknown;
    char32_t character = 0;  // for Action::Character
};

// The words the reader acts on, by what they do.
constexpr ControlWord kActedOnWords[] = {
    // Destinations.
    {"fonttbl", Action::FontTable},
    {"colortbl", Action::ColorTable},
    {"listtext", Action::ListText},
    {"pntext", Action::ListText},
    // Document settings.
    {"ansicpg", Action::DocumentCodePage},
    {"ansi", Action::DocumentCharset}, {"mac", Action::DocumentCharset},
    {"pc", Action::DocumentCharset}, {"pca", Action::DocumentCharset},
    {"deff", Action::DefaultFont},
    // Characters.
    {"u", Action::Unicode},
    {"uc", Action::UnicodeSkip},
    {"par", Action::ParagraphBreak}, {"row", Action::ParagraphBreak}, {"sect", Action::ParagraphBreak},
    {"line", Action::Character, kLineSeparator},
    {"tab", Action::Character, '\t'},
    {"cell", Action::Character, '\t'},
    {"bullet", Action::Character, 0x2022},
    {"emdash", Action::Character, 0x2014},
    {"endash", Action::Character, 0x2013},
    {"emspace", Action::Character, 0x2003},
    {"enspace", Action::Character, 0x2002},
    {"qmspace", Action::Character, 0x2005},
    {"lquote", Action::Character, 0x2018},
    {"rquote", Action::Character, 0x2019},
    {"ldblquote", Action::Character, 0x201C},
    {"rdblquote", Action::Character, 0x201D},
    {"zwj", Action::Character, 0x200D},
    {"zwnj", Action::Character, 0x200C},
    // Character formatting.
    {"plain", Action::Plain},
    {"b", Action::Bold},
    {"i", Action::Italic},
    {"ul", Action::Underline}, {"uld", Action::Underline}, {"uldash", Action::Underline},
    {"uldashd", Action::Underline}, {"uldashdd", Action::Underline}, {"uldb", Action::Underline},
    {"ulhwave", Action::Underline}, {"ulldash", Action::Underline}, {"ulth", Action::Underline},
    {"ulthd", Action::Underline}, {"ulthdash", Action::Underline}, {"ululdbwave", Action::Underline},
    {"ulw", Action::Underline}, {"ulwave", Action::Underline},
    {"ulnone", Action::NoUnderline},
    {"strike", Action::Strike}, {"striked", Action::Strike},
    {"v", Action::Hidden},
    {"fs", Action::FontSize},
    {"f", Action::Font},
    {"cf", Action::Color},
    // Paragraph formatting.
    {"pard", Action::ParagraphDefaults},
    {"ql", Action::AlignLeft},
    {"qc", Action::AlignCenter},
    {"qr", Action::AlignRight},
    {"qj", Action::Justify}, {"qd", Action::Justify},
    {"li", Action::LeftIndent}, {"lin", Action::LeftIndent},
    {"ri", Action::RightIndent}, {"rin", Action::RightIndent},
    {"fi", Action::FirstLineIndent},
    {"sb", Action::SpaceBefore},
    {"sa", Action::SpaceAfter},
    // Font table.
    {"fcharset", Action::FontCharset},
    {"cpg", Action::FontCodePage},
    // Colour table.
    {"red", Action::Red}, {"green", Action::Green}, {"blue", Action::Blue},
};

// Non-starred destinations whose contents are not shown: document tables,
// document information, pictures and objects, headers, footers, footnotes,
// index and bookmark entries, list definitions. Starred ones ("\*") are
// skipped whatever their name.
constexpr std::string_view kSkippedDestinations[] = {
    "aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atnid", "author", "bkmkend",
    "bkmkstart", "blipuid", "buptim", "colorschememapping", "comment", "company", "creatim",
    "datastore", "doccomm", "docvar", "falt", "fchars", "filetbl", "fldinst", "footer", "footerf",
    "footerl", "footerr", "footnote", "ftncn", "ftnsep", "ftnsepc", "generator", "header",
    "headerf", "headerl", "headerr", "info", "keywords", "latentstyles", "lchars",
    "listoverridetable", "listpicture", "listtable", "manager", "mmathPr", "nonshppict", "objdata",
    "object", "operator", "panose", "pgdsctbl", "pict", "pn", "pnseclvl", "printim", "private",
    "protusertbl", "revtbl", "revtim", "rsidtbl", "rxe", "shp", "stylesheet", "subject", "tc",
    "template", "themedata", "title", "txe", "userprops", "xe", "xmlnstbl",
};

// Both lists in one table, sorted by name for binary search; no word may be
// listed twice.
constexpr auto kControlWords = [] {
    std::array<ControlWord, std::size(kActedOnWords) + std::size(kSkippedDestinations)> words{};
    const auto skipped = std::ranges::copy(kActedOnWords, words.begin()).out;
    std::ranges::transform(kSkippedDestinations, skipped,
                           [](std::string_view name) { return ControlWord{name, Action::SkippedDestination}; });
    std::ranges::sort(words, {}, &ControlWord::name);
    return words;
}();
static_assert(std::ranges::adjacent_find(kControlWords, {}, &ControlWord::name) == kControlWords.end(),
              "a control word is listed twice");

ControlWord FindWord(std::string_view name) {
    const auto found = std::ranges::lower_bound(kControlWords, name, {}, &ControlWord::name);
    if (found == kControlWords.end() || found->name != name) return {};
    return *found;
}

// ---------------------------------------------------------------------------
// Symbol fonts
//
// Fonts with the symbol character set (\fcharset2) hold glyph numbers rather
// than letters, and so does a font or document whose code page is Windows'
// symbol code page, 42 (\cpg42, \ansicpg42). Every other code page is read
// as Windows-1252.

constexpr int kSymbolCodePage = 42;

enum class Glyphs : std::uint8_t {
    AsDocument,  // the font names no code page: the document's holds
    Letters,
    Symbols,
};

// Character sets that Windows gives a code page of letters; a font with any
// other but the symbol set (2) follows the document's code page. Sorted.
constexpr std::array<int, 17> kLetterCharsets = {0,   77,  128, 129, 134, 136, 161, 162, 163,
                                                 177, 178, 186, 204, 222, 238, 254, 255};
static_assert(std::ranges::is_sorted(kLetterCharsets));

Glyphs GlyphsOfCharset(int charset) {
    if (charset == 2) return Glyphs::Symbols;
    return std::ranges::binary_search(kLetterCharsets, charset) ? Glyphs::Letters : Glyphs::AsDocument;
}

Glyphs GlyphsOfCodePage(int codePage) { return codePage == kSymbolCodePage ? Glyphs::Symbols : Glyphs::Letters; }

// Bullet glyphs of the two symbol fonts that word processors use for list
// bullets, as the fonts draw them (Symbol 0xB7 is the round bullet;
// Wingdings draws squares, an arrowhead, a tick and a diamond).
char32_t SymbolFontChar(unsigned char byte, bool wingdings) {
    if (!wingdings) return byte == 0xB7 ? 0x2022 : Cp1252ToCodePoint(byte);
    switch (byte) {
        case 0x6E: return 0x25A0;
        case 0x71: return 0x2751;
        case 0x76: return 0x2756;
        case 0xA7: return 0x25AA;
        case 0xD8: return 0x27A2;
        case 0xFC: return 0x2713;
        default: return 0x2022;
    }
}

// ---------------------------------------------------------------------------
// Small helpers

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Clamp(long long value, int low, int high) {
    return static_cast<int>(std::clamp<long long>(value, low, high));
}

int Twips(int param) { return std::clamp(param, -kMaxTwips, kMaxTwips); }

void TrimSpaces(std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        s.clear();
        return;
    }
    s.erase(0, first);
    s.erase(s.find_last_not_of(" \t") + 1);
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
void CutUtf8(std::string& s, std::size_t limit) {
    if (s.size() <= limit) return;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
}

// ---------------------------------------------------------------------------
// The parser

enum class Destination : std::uint8_t { Text, Skip, FontTable, ColorTable, ListText };

// Character properties as the file states them; fonts and colours are
// table indices, resolved when text is written.
struct CharProps {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    int fontSize = kDefaultFontSizeHalfPoints;
    int font = -1;
    int color = 0;
    bool operator==(const CharProps&) const = default;
};

// Everything a group saves on entry and restores on exit.
struct GroupState {
    Destination destination = Destination::Text;
    CharProps chars;
    ParagraphFormat paragraph;
    int unicodeSkip = 1;  // \ucN
};

struct FontEntry {
    std::string family;
    Glyphs glyphs = Glyphs::AsDocument;
    bool wingdings = false;
};

class Parser {
public:
    explicit Parser(std::string_view in) : in_(in) {}

    Document Parse();

private:
    // Reading the input.
    void OpenGroup();
    // False when the outermost group has closed.
    bool CloseGroup();
    void ReadControl();
    void HexEscape();
    void ReadControlWord();

    // Control words, by destination.
    void ApplyWord(std::string_view name, bool hasParam, int param);
    void TextWord(const ControlWord& word, bool hasParam, int param);
    void FontTableWord(Action action, bool hasParam, int param);
    void ColorTableWord(Action action, int param);

    // What control words do in text.
    void OpenFontTable();
    void OpenColorTable();
    void OpenListText();
    void SkipDestination();
    void DocumentCodePage(int codePage);
    void DefaultFont(int font);
    void SetUnicodeSkip(int param);
    void ParagraphBreak();
    void Plain();

    // Characters.
    void Unicode(int param);
    void FlushHighSurrogate();
    void Byte(unsigned char byte);
    bool InSymbolFont() const;
    void Char(char32_t cp);
    void TextChar(char32_t cp);
    CharFormat Resolve(const CharProps& props) const;
    void EndParagraph();

    // The font and colour tables.
    void StartFont(int id);
    void FontTableChar(char32_t cp);
    void CommitFont();
    void CommitColor();

    GroupState& State() { return stack_.back(); }
    const GroupState& State() const { return stack_.back(); }

    std::string_view in_;
    std::size_t pos_ = 0;

    std::vector<GroupState> stack_;
    std::size_t untrackedDepth_ = 0;  // groups nested beyond kMaxGroupDepth
    int pendingSkip_ = 0;             // fallback characters still to drop after \uN
    char32_t highSurrogate_ = 0;

    bool symbolDocument_ = false;  // the document's code page is the symbol one (\ansicpg42)
    int defaultFont_ = -1;
    std::map<int, FontEntry> fonts_;
    std::vector<std::optional<Color>> colors_;

    // Font table entry being read.
    int fontId_ = -1;
    FontEntry font_;
    std::string fontName_;
    bool fontOpen_ = false;
    // Colour table entry being read.
    Color color_;
    bool colorSet_ = false;

    Document doc_;
    std::vector<Run> runs_;
    CharProps runProps_;  // properties of runs_.back()
    std::string listText_;
};

// --- Reading the input -----------------------------------------------------

Document Parser::Parse() {
    doc_.isRtf = true;
    stack_.reserve(64);
    while (pos_ < in_.size()) {
        const char c = in_[pos_];
        if (c == '{') {
            ++pos_;
            OpenGroup();
        } else if (c == '}') {
            ++pos_;
            if (!CloseGroup()) break;
        } else if (c == '\\') {
            ++pos_;
            ReadControl();
        } else if (c == '\r' || c == '\n') {
            ++pos_;  // line ends in the file carry no meaning
        } else {
            ++pos_;
            if (stack_.empty()) continue;  // text outside every group
            Byte(static_cast<unsigned char>(c));
        }
    }
    // A file cut short still shows what it held.
    FlushHighSurrogate();
    if (!stack_.empty() && (!runs_.empty() || !listText_.empty())) EndParagraph();
    return std::move(doc_);
}

void Parser::OpenGroup() {
    pendingSkip_ = 0;
    if (stack_.empty()) {
        stack_.emplace_back();
    } else if (stack_.size() < kMaxGroupDepth) {
        stack_.push_back(stack_.back());
    } else {
        ++untrackedDepth_;
    }
}

bool Parser::CloseGroup() {
    pendingSkip_ = 0;
    if (untrackedDepth_ > 0) {
        --untrackedDepth_;
        return true;
    }
    if (stack_.empty()) return false;
    // A table's last entry may lack its closing semicolon.
    if (State().destination == Destination::FontTable) CommitFont();
    if (State().destination == Destination::ColorTable && colorSet_) CommitColor();
    // The outermost group stays, so that its state ends the last paragraph.
    if (stack_.size() == 1) return false;
    stack_.pop_back();
    return true;
}

// After a backslash: a control word, or a control symbol (a backslash and
// one character that is not a letter).
void Parser::ReadControl() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (IsLetter(c)) {
        ReadControlWord();
        return;
    }
    ++pos_;
    if (stack_.empty()) return;
    if (c == '\'') {
        HexEscape();
        return;
    }
    if (pendingSkip_ > 0) {
        --pendingSkip_;
        return;
    }
    switch (c) {
        case '\\':
        case '{':
        case '}': Char(static_cast<unsigned char>(c)); break;
        case '~': Char(0x00A0); break;  // no-break space
        case '-': Char(0x00AD); break;  // soft hyphen
        case '_': Char(0x2011); break;  // non-breaking hyphen
        case '\r':
        case '\n': ParagraphBreak(); break;
        case '\t': Char('\t'); break;
        case '*':
            // The rest of the group is optional: shown by no reader that
            // does not know it, so by us never. The outermost group stays.
            if (stack_.size() > 1) State().destination = Destination::Skip;
            break;
        default: break;  // \: \| and unknown symbols
    }
}

// \'hh: one byte in the current code page. A broken escape is dropped, but
// still counts as a fallback character after \uN.
void Parser::HexEscape() {
    int value = -1;
    if (pos_ + 1 < in_.size()) {
        const int high = HexValue(in_[pos_]);
        const int low = HexValue(in_[pos_ + 1]);
        if (high >= 0 && low >= 0) {
            value = high * 16 + low;
            pos_ += 2;
        }
    }
    if (pendingSkip_ > 0) {
        --pendingSkip_;
        return;
    }
    if (value >= 0) Byte(static_cast<unsigned char>(value));
}

// A control word: letters, an optional signed number and an optional space.
void Parser::ReadControlWord() {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    const std::string_view name = in_.substr(start, std::min(pos_ - start, kMaxWordLetters));
    bool hasParam = false;
    bool negative = false;
    long long value = 0;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    int digits = 0;
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
        if (digits++ < kMaxParamDigits) value = value * 10 + (in_[pos_] - '0');
        hasParam = true;
        ++pos_;
    }
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiting space belongs to the word
    const int param = Clamp(negative ? -value : value, -2147483647 - 1, 2147483647);

    if (name == "bin") {
        // Raw binary data follow; they may hold any byte, braces included.
        const std::size_t count = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
        pos_ += std::min(count, in_.size() - pos_);
        if (pendingSkip_ > 0) --pendingSkip_;
        return;
    }
    if (stack_.empty()) return;
    if (pendingSkip_ > 0) {
        --pendingSkip_;
        return;
    }
    ApplyWord(name, hasParam, param);
}

// --- Control words, by destination -----------------------------------------

void Parser::ApplyWord(std::string_view name, bool hasParam, int param) {
    const Destination destination = State().destination;
    if (destination == Destination::Skip) return;
    const ControlWord word = FindWord(name);
    if (destination == Destination::FontTable) {
        FontTableWord(word.action, hasParam, param);
    } else if (destination == Destination::ColorTable) {
        ColorTableWord(word.action, param);
    } else {
        TextWord(word, hasParam, param);
    }
}

// In text and in list text.
void Parser::TextWord(const ControlWord& word, bool hasParam, int param) {
    CharProps& chars = State().chars;
    ParagraphFormat& para = State().paragraph;
    const bool on = !hasParam || param != 0;  // a toggle's parameter 0 switches it off
    switch (word.action) {
        case Action::FontTable: OpenFontTable(); return;
        case Action::ColorTable: OpenColorTable(); return;
        case Action::ListText: OpenListText(); return;
        case Action::SkippedDestination: SkipDestination(); return;
        case Action::DocumentCodePage: DocumentCodePage(param); return;
        case Action::DocumentCharset: symbolDocument_ = false; return;
        case Action::DefaultFont: DefaultFont(param); return;
        case Action::Character: Char(word.character); return;
        case Action::Unicode: Unicode(param); return;
        case Action::UnicodeSkip: SetUnicodeSkip(param); return;
        case Action::ParagraphBreak: ParagraphBreak(); return;
        case Action::Plain: Plain(); return;
        case Action::Bold: chars.bold = on; return;
        case Action::Italic: chars.italic = on; return;
        case Action::Underline: chars.underline = on; return;
        case Action::NoUnderline: chars.underline = false; return;
        case Action::Strike: chars.strike = on; return;
        case Action::Hidden: chars.hidden = on; return;
        case Action::FontSize:
            chars.fontSize = hasParam ? std::clamp(param, kMinFontSize, kMaxFontSize) : kDefaultFontSizeHalfPoints;
            return;
        case Action::Font: chars.font = param; return;
        case Action::Color: chars.color = param; return;
        case Action::ParagraphDefaults: para = ParagraphFormat{}; return;
        case Action::AlignLeft: para.alignment = Alignment::Left; return;
        case Action::AlignCenter: para.alignment = Alignment::Center; return;
        case Action::AlignRight: para.alignment = Alignment::Right; return;
        case Action::Justify: para.alignment = Alignment::Justify; return;
        case Action::LeftIndent: para.leftIndent = Twips(param); return;
        case Action::RightIndent: para.rightIndent = Twips(param); return;
        case Action::FirstLineIndent: para.firstLineIndent = Twips(param); return;
        case Action::SpaceBefore: para.spaceBefore = std::clamp(param, 0, kMaxTwips); return;
        case Action::SpaceAfter: para.spaceAfter = std::clamp(param, 0, kMaxTwips); return;
        case Action::Unknown:
        case Action::FontCharset:
        case Action::FontCodePage:
        case Action::Red:
        case Action::Green:
        case Action::Blue: return;
    }
}

void Parser::FontTableWord(Action action, bool hasParam, int param) {
    switch (action) {
        case Action::Font:
            if (hasParam) StartFont(param);
            return;
        case Action::FontCharset: font_.glyphs = GlyphsOfCharset(param); return;
        case Action::FontCodePage:
            if (param > 0) font_.glyphs = GlyphsOfCodePage(param);
            return;
        case Action::Unicode: Unicode(param); return;
        case Action::UnicodeSkip: SetUnicodeSkip(param); return;
        // Unlike in text, even the outermost group is skipped.
        case Action::SkippedDestination: State().destination = Destination::Skip; return;
        default: return;
    }
}

void Parser::ColorTableWord(Action action, int param) {
    const auto component = static_cast<std::uint8_t>(std::clamp(param, 0, 255));
    switch (action) {
        case Action::Red: color_.red = component; break;
        case Action::Green: color_.green = component; break;
        case Action::Blue: color_.blue = component; break;
        default: return;
    }
    colorSet_ = true;
}

// --- What control words do in text ----------------------------------------

void Parser::OpenFontTable() {
    State().destination = Destination::FontTable;
    fontOpen_ = false;
}

void Parser::OpenColorTable() {
    State().destination = Destination::ColorTable;
    colors_.clear();
    colorSet_ = false;
    color_ = {};
}

void Parser::OpenListText() {
    State().destination = Destination::ListText;
    listText_.clear();
}

// The outermost group stays.
void Parser::SkipDestination() {
    if (stack_.size() > 1) State().destination = Destination::Skip;
}

void Parser::DocumentCodePage(int codePage) {
    if (codePage > 0) symbolDocument_ = codePage == kSymbolCodePage;
}

void Parser::DefaultFont(int font) {
    defaultFont_ = font;
    State().chars.font = font;
}

void Parser::SetUnicodeSkip(int param) { State().unicodeSkip = std::clamp(param, 0, kMaxUnicodeSkip); }

// \par, \row, \sect or an escaped line end: the paragraph ends, except in
// list text (and in the tables and skipped groups, where nothing shows).
void Parser::ParagraphBreak() {
    if (State().destination == Destination::Text) EndParagraph();
}

void Parser::Plain() {
    CharProps& chars = State().chars;
    chars = CharProps{};
    chars.font = defaultFont_;
}

// --- Characters --------------------------------------------------------------

void Parser::Unicode(int param) {
    // \uN is a signed 16-bit value: code units above 0x7FFF come negative.
    int unit = param < 0 ? param + 65536 : param;
    pendingSkip_ = 0;
    if (unit >= 0 && unit <= 0xFFFF) {
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            FlushHighSurrogate();
            highSurrogate_ = static_cast<char32_t>(unit);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (highSurrogate_ != 0) {
                const char32_t low = static_cast<char32_t>(unit) - 0xDC00;
                const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + low;
                highSurrogate_ = 0;
                Char(cp);
            } else {
                Char(kReplacementChar);
            }
        } else {
            // A paragraph separator inside a paragraph can only mean a break.
            Char(unit == 0x2029 ? kLineSeparator : static_cast<char32_t>(unit));
        }
    }
    pendingSkip_ = State().unicodeSkip;
}

void Parser::FlushHighSurrogate() {
    if (highSurrogate_ == 0) return;
    highSurrogate_ = 0;
    Char(kReplacementChar);
}

void Parser::Byte(unsigned char byte) {
    if (pendingSkip_ > 0) {
        --pendingSkip_;
        return;
    }
    if (byte < 0x80) {
        Char(byte);
        return;
    }
    if (InSymbolFont()) {
        const auto found = fonts_.find(State().chars.font);
        Char(SymbolFontChar(byte, found != fonts_.end() && found->second.wingdings));
        return;
    }
    // Only Windows-1252 is mapped; other single-byte code pages show their
    // ASCII half correctly and their upper half as Windows-1252 would.
    Char(Cp1252ToCodePoint(byte));
}

// Whether bytes now are glyph numbers: in the font table, by the entry being
// read; elsewhere, by the current font.
bool Parser::InSymbolFont() const {
    Glyphs glyphs = Glyphs::AsDocument;
    if (State().destination == Destination::FontTable) {
        glyphs = font_.glyphs;
    } else if (const auto found = fonts_.find(State().chars.font); found != fonts_.end()) {
        glyphs = found->second.glyphs;
    }
    if (glyphs == Glyphs::AsDocument) return symbolDocument_;
    return glyphs == Glyphs::Symbols;
}

void Parser::Char(char32_t cp) {
    FlushHighSurrogate();
    // Control characters are not text: neither the C0 set but the tab, nor
    // DEL and the C1 set, which the five undefined Windows-1252 bytes reach.
    if ((cp < 0x20 && cp != '\t') || (cp >= 0x7F && cp < 0xA0)) return;
    GroupState& state = State();
    switch (state.destination) {
        case Destination::Skip: return;
        case Destination::FontTable: FontTableChar(cp); return;
        case Destination::ColorTable:
            if (cp == ';') CommitColor();
            return;
        case Destination::ListText:
            if (!state.chars.hidden) AppendUtf8(listText_, cp);
            return;
        case Destination::Text:
            if (!state.chars.hidden) TextChar(cp);
            return;
    }
}

void Parser::TextChar(char32_t cp) {
    const CharProps& props = State().chars;
    if (runs_.empty() || !(props == runProps_)) {
        CharFormat format = Resolve(props);
        if (runs_.empty() || !(format == runs_.back().format)) {
            runs_.push_back(Run{{}, std::move(format)});
        }
        runProps_ = props;
    }
    AppendUtf8(runs_.back().text, cp);
}

CharFormat Parser::Resolve(const CharProps& props) const {
    CharFormat format;
    format.bold = props.bold;
    format.italic = props.italic;
    format.underline = props.underline;
    format.strike = props.strike;
    format.fontSizeHalfPoints = props.fontSize;
    const auto font = fonts_.find(props.font);
    // Text in a symbol font has been mapped to Unicode already, so it is
    // shown in the surrounding font rather than the symbol font.
    if (font != fonts_.end() && font->second.glyphs != Glyphs::Symbols) format.fontFamily = font->second.family;
    if (props.color >= 0 && static_cast<std::size_t>(props.color) < colors_.size()) {
        format.color = colors_[static_cast<std::size_t>(props.color)];
    }
    return format;
}

void Parser::EndParagraph() {
    FlushHighSurrogate();
    const GroupState& state = State();
    Paragraph paragraph;
    static_cast<ParagraphFormat&>(paragraph) = state.paragraph;
    paragraph.listText = std::move(listText_);
    TrimSpaces(paragraph.listText);
    paragraph.runs = std::move(runs_);
    paragraph.markFormat = Resolve(state.chars);
    doc_.paragraphs.push_back(std::move(paragraph));
    listText_.clear();
    runs_.clear();
}

// --- The font and colour tables ----------------------------------------------

// \fN in the font table: the entry before it ends, entry N begins.
void Parser::StartFont(int id) {
    CommitFont();
    fontId_ = id;
    font_ = FontEntry{};
    fontName_.clear();
    fontOpen_ = true;
}

void Parser::FontTableChar(char32_t cp) {
    if (!fontOpen_) return;
    if (cp == ';') {
        CommitFont();
        return;
    }
    AppendUtf8(fontName_, cp);
}

void Parser::CommitFont() {
    if (!fontOpen_) return;
    fontOpen_ = false;
    if (fonts_.size() >= kMaxFonts && !fonts_.contains(fontId_)) return;
    // Every run and paragraph carries its own copy of the name, so a long
    // one would cost its length once per paragraph; no real font has a
    // name near the limit.
    TrimSpaces(fontName_);
    CutUtf8(fontName_, kMaxFontNameBytes);
    TrimSpaces(fontName_);
    font_.family = std::move(fontName_);
    font_.wingdings = font_.family.starts_with("Wingdings");
    fonts_[fontId_] = std::move(font_);
    font_ = FontEntry{};
    fontName_.clear();
}

void Parser::CommitColor() {
    if (colors_.size() < kMaxColors) {
        colors_.push_back(colorSet_ ? std::optional<Color>(color_) : std::nullopt);
    }
    color_ = {};
    colorSet_ = false;
}

// Plain text: UTF-8 when the bytes are valid UTF-8 (a byte order mark is
// dropped), else Windows-1252. Lines end in CR LF, LF or CR; a line end at
// the very end does not start another paragraph.
Document ParsePlain(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    // Valid UTF-8 survives the round trip unchanged; an invalid sequence
    // comes back as U+FFFD.
    const bool utf8 = Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes;
    const std::string text = utf8 ? std::string(bytes) : Cp1252ToUtf8(bytes);

    Document doc;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        Paragraph paragraph;
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::erase(line, '\0');
        if (!line.empty()) paragraph.runs.push_back(Run{std::move(line), {}});
        doc.paragraphs.push_back(std::move(paragraph));
        if (end == std::string::npos) break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return doc;
}

}  // namespace

std::string Paragraph::Text() const {
    std::string text;
    for (const auto& run : runs) text += run.text;
    return text;
}

std::string Document::PlainText() const {
    std::string text;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) text += '\n';
        if (!paragraphs[i].listText.empty()) text += paragraphs[i].listText + '\t';
        text += paragraphs[i].Text();
    }
    return text;
}

Document Parse(std::string_view bytes) {
    if (!bytes.starts_with("{\\rtf")) return ParsePlain(bytes);
    return Parser(bytes).Parse();
}

}  // namespace calverdon::rtf
