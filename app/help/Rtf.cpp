#include "Rtf.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>

#include "Cp1252.h"

namespace calverdon::rtf {
namespace {

// A code page number of our own for fonts with the symbol character set
// (\fcharset2), whose bytes are glyph numbers rather than letters.
constexpr int kSymbolCodePage = 42;
constexpr int kWindowsLatin1 = 1252;

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

// Non-starred destinations whose contents are not shown: document tables,
// document information, pictures and objects, headers, footers, footnotes,
// index and bookmark entries, list definitions. Starred ones ("\*") are
// skipped whatever their name. Sorted, for binary search.
constexpr std::array<std::string_view, 71> kSkippedDestinations = {
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
static_assert(std::ranges::is_sorted(kSkippedDestinations));

bool IsSkippedDestination(std::string_view word) {
    return std::binary_search(kSkippedDestinations.begin(), kSkippedDestinations.end(), word);
}

// Words that stand for one character.
struct SymbolWord {
    std::string_view word;
    char32_t cp;
};
constexpr std::array<SymbolWord, 13> kSymbolWords = {{
    {"bullet", 0x2022},
    {"emdash", 0x2014},
    {"emspace", 0x2003},
    {"endash", 0x2013},
    {"enspace", 0x2002},
    {"ldblquote", 0x201C},
    {"lquote", 0x2018},
    {"qmspace", 0x2005},
    {"rdblquote", 0x201D},
    {"rquote", 0x2019},
    {"tab", 0x0009},
    {"zwj", 0x200D},
    {"zwnj", 0x200C},
}};

// Code page of a font's character set (\fcharsetN), as Windows assigns
// them; 0 means "the document's code page".
int CodePageOfCharset(int charset) {
    switch (charset) {
        case 0: return kWindowsLatin1;
        case 2: return kSymbolCodePage;
        case 77: return 10000;
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        case 254: return 437;
        case 255: return 850;
        default: return 0;
    }
}

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
    int codePage = 0;
    bool wingdings = false;
};

class Parser {
public:
    explicit Parser(std::string_view in) : in_(in) {}

    Document Parse();

private:
    void OpenGroup();
    // False when the outermost group has closed.
    bool CloseGroup();
    void ControlSymbol();
    void ControlWord();
    void ApplyWord(std::string_view word, bool hasParam, int param);
    void Byte(unsigned char byte);
    void Char(char32_t cp);
    void TextChar(char32_t cp);
    void Unicode(int param);
    void EndParagraph();
    void FlushHighSurrogate();

    void FontTableWord(std::string_view word, bool hasParam, int param);
    void FontTableChar(char32_t cp);
    void CommitFont();
    void ColorTableWord(std::string_view word, int param);
    void CommitColor();

    int CurrentCodePage() const;
    CharFormat Resolve(const CharProps& props) const;
    GroupState& State() { return stack_.back(); }
    const GroupState& State() const { return stack_.back(); }

    std::string_view in_;
    std::size_t pos_ = 0;

    std::vector<GroupState> stack_;
    std::size_t untrackedDepth_ = 0;  // groups nested beyond kMaxGroupDepth
    int pendingSkip_ = 0;             // fallback characters still to drop after \uN
    char32_t highSurrogate_ = 0;

    int documentCodePage_ = kWindowsLatin1;
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
            ControlSymbol();
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

void Parser::ControlSymbol() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (IsLetter(c)) {
        ControlWord();
        return;
    }
    ++pos_;
    if (stack_.empty()) return;
    if (c == '\'') {
        // \'hh: one byte in the current code page.
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
        case '\n': ApplyWord("par", false, 0); break;
        case '\t': Char('\t'); break;
        case '*':
            // The rest of the group is optional: shown by no reader that
            // does not know it, so by us never. The outermost group stays.
            if (stack_.size() > 1) State().destination = Destination::Skip;
            break;
        default: break;  // \: \| and unknown symbols
    }
}

void Parser::ControlWord() {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    const std::string_view word = in_.substr(start, std::min(pos_ - start, kMaxWordLetters));
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

    if (word == "bin") {
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
    ApplyWord(word, hasParam, param);
}

void Parser::ApplyWord(std::string_view word, bool hasParam, int param) {
    GroupState& state = State();
    switch (state.destination) {
        case Destination::Skip: return;
        case Destination::FontTable: FontTableWord(word, hasParam, param); return;
        case Destination::ColorTable: ColorTableWord(word, param); return;
        case Destination::Text:
        case Destination::ListText: break;
    }

    // Destinations.
    if (word == "fonttbl") {
        state.destination = Destination::FontTable;
        fontOpen_ = false;
        return;
    }
    if (word == "colortbl") {
        state.destination = Destination::ColorTable;
        colors_.clear();
        colorSet_ = false;
        color_ = {};
        return;
    }
    if (word == "listtext" || word == "pntext") {
        state.destination = Destination::ListText;
        listText_.clear();
        return;
    }
    if (IsSkippedDestination(word)) {
        if (stack_.size() > 1) state.destination = Destination::Skip;
        return;
    }

    // Document settings.
    if (word == "ansicpg") {
        if (hasParam && param > 0) documentCodePage_ = param;
        return;
    }
    if (word == "ansi") { documentCodePage_ = kWindowsLatin1; return; }
    if (word == "pc") { documentCodePage_ = 437; return; }
    if (word == "pca") { documentCodePage_ = 850; return; }
    if (word == "mac") { documentCodePage_ = 10000; return; }
    if (word == "deff") {
        defaultFont_ = param;
        state.chars.font = param;
        return;
    }

    // Characters.
    if (word == "u") {
        Unicode(param);
        return;
    }
    if (word == "uc") {
        state.unicodeSkip = std::clamp(param, 0, kMaxUnicodeSkip);
        return;
    }
    for (const auto& symbol : kSymbolWords) {
        if (word == symbol.word) {
            Char(symbol.cp);
            return;
        }
    }
    if (word == "line") {
        Char(kLineSeparator);
        return;
    }
    if (word == "cell") {
        Char('\t');
        return;
    }
    if (word == "par" || word == "row" || word == "sect") {
        if (state.destination == Destination::Text) EndParagraph();
        return;
    }

    // Character formatting. A parameter of 0 switches a toggle off.
    const bool on = !hasParam || param != 0;
    CharProps& chars = state.chars;
    if (word == "plain") {
        chars = CharProps{};
        chars.font = defaultFont_;
    } else if (word == "b") {
        chars.bold = on;
    } else if (word == "i") {
        chars.italic = on;
    } else if (word == "ul" || word == "uld" || word == "uldash" || word == "uldashd" || word == "uldashdd" ||
               word == "uldb" || word == "ulth" || word == "ulw" || word == "ulwave" || word == "ulhwave" ||
               word == "ululdbwave" || word == "ulthd" || word == "ulthdash" || word == "ulldash") {
        chars.underline = on;
    } else if (word == "ulnone") {
        chars.underline = false;
    } else if (word == "strike" || word == "striked") {
        chars.strike = on;
    } else if (word == "v") {
        chars.hidden = on;
    } else if (word == "fs") {
        chars.fontSize = hasParam ? std::clamp(param, kMinFontSize, kMaxFontSize) : kDefaultFontSizeHalfPoints;
    } else if (word == "f") {
        chars.font = param;
    } else if (word == "cf") {
        chars.color = param;
    }

    // Paragraph formatting.
    ParagraphFormat& para = state.paragraph;
    if (word == "pard") {
        para = ParagraphFormat{};
    } else if (word == "ql") {
        para.alignment = Alignment::Left;
    } else if (word == "qc") {
        para.alignment = Alignment::Center;
    } else if (word == "qr") {
        para.alignment = Alignment::Right;
    } else if (word == "qj" || word == "qd") {
        para.alignment = Alignment::Justify;
    } else if (word == "li" || word == "lin") {
        para.leftIndent = std::clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "ri" || word == "rin") {
        para.rightIndent = std::clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "fi") {
        para.firstLineIndent = std::clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "sb") {
        para.spaceBefore = std::clamp(param, 0, kMaxTwips);
    } else if (word == "sa") {
        para.spaceAfter = std::clamp(param, 0, kMaxTwips);
    }
}

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
                const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (static_cast<char32_t>(unit) - 0xDC00);
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
    const int codePage = CurrentCodePage();
    if (codePage == kSymbolCodePage) {
        const auto found = fonts_.find(State().chars.font);
        Char(SymbolFontChar(byte, found != fonts_.end() && found->second.wingdings));
        return;
    }
    // Only Windows-1252 is mapped; other single-byte code pages show their
    // ASCII half correctly and their upper half as Windows-1252 would.
    Char(Cp1252ToCodePoint(byte));
}

int Parser::CurrentCodePage() const {
    const GroupState& state = State();
    if (state.destination == Destination::FontTable) {
        return font_.codePage != 0 ? font_.codePage : documentCodePage_;
    }
    const auto found = fonts_.find(state.chars.font);
    if (found != fonts_.end() && found->second.codePage != 0) return found->second.codePage;
    return documentCodePage_;
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
    if (font != fonts_.end() && font->second.codePage != kSymbolCodePage) format.fontFamily = font->second.family;
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

void Parser::FontTableWord(std::string_view word, bool hasParam, int param) {
    if (word == "f" && hasParam) {
        CommitFont();
        fontId_ = param;
        font_ = FontEntry{};
        fontName_.clear();
        fontOpen_ = true;
    } else if (word == "fcharset") {
        font_.codePage = CodePageOfCharset(param);
    } else if (word == "cpg" && param > 0) {
        font_.codePage = param;
    } else if (word == "u") {
        Unicode(param);
    } else if (word == "uc") {
        State().unicodeSkip = std::clamp(param, 0, kMaxUnicodeSkip);
    } else if (IsSkippedDestination(word)) {
        State().destination = Destination::Skip;
    }
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

void Parser::ColorTableWord(std::string_view word, int param) {
    const auto component = static_cast<std::uint8_t>(std::clamp(param, 0, 255));
    if (word == "red") {
        color_.red = component;
        colorSet_ = true;
    } else if (word == "green") {
        color_.green = component;
        colorSet_ = true;
    } else if (word == "blue") {
        color_.blue = component;
        colorSet_ = true;
    }
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
