#include "FormatRules.h"

#include "Format.h"

namespace calverdon::format {
namespace {

// One line as fgets reads it from a stream opened in text mode, at most
// kMaxHeaderLine characters: CR LF becomes LF, a lone LF ends a line too.
// `pos` moves past the bytes taken.
std::string TextModeLine(std::string_view head, std::size_t& pos) {
    std::string line;
    while (line.size() < kMaxHeaderLine && pos < head.size()) {
        char c = head[pos++];
        if (c == '\r' && pos < head.size() && head[pos] == '\n') c = head[pos++];
        line += c;
        if (c == '\n') break;
    }
    return line;
}

// The line less its last character, which is taken to be the line end even
// when the line has none.
std::string DropLast(std::string line) {
    if (!line.empty()) line.pop_back();
    return line;
}

Header HeaderAsWritten(std::string_view head) {
    std::size_t pos = 0;
    if (DropLast(TextModeLine(head, pos)) != kMagicLine) return {};
    const std::size_t magicEnd = pos;
    const std::string nameLine = TextModeLine(head, pos);
    // A file that ends right after the magic line carries no name; a longer
    // name line than the decoder reads would have its rest decoded as data.
    if (nameLine.empty() || pos - magicEnd > kMaxLine) return {};
    const bool exact = head.substr(0, magicEnd) == std::string(kMagicLine) + "\r\n" && pos - magicEnd >= 2 &&
                       head.substr(pos - 2, 2) == "\r\n";
    return {exact ? HeaderKind::Exact : HeaderKind::Changed, std::string(CutAtNul(DropLast(nameLine)))};
}

// The next line of `head` from `pos` on that holds anything but quoting and
// blanks, made plain; empty at the end.
std::string_view NextPlainLine(std::string_view head, std::size_t& pos) {
    while (pos < head.size()) {
        std::size_t end = head.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = head.size();
        std::string_view line = head.substr(pos, end - pos);
        pos = end;
        if (pos < head.size() && head[pos] == '\r') ++pos;
        if (pos < head.size() && head[pos] == '\n') ++pos;
        line = PlainLine(line);
        if (!line.empty()) return line;
    }
    return {};
}

Header HeaderAsMailChangedIt(std::string_view head) {
    const std::string_view start = head.substr(0, kMaxHeaderLine);
    const auto cr = start.find('\r');
    const auto first = start.find_first_not_of(" \t");
    const bool quoted = first != std::string_view::npos && start[first] == '>';
    const bool loneCr = cr != std::string_view::npos && (cr + 1 == start.size() || start[cr + 1] != '\n');
    if (!quoted && !loneCr) return {};
    std::size_t pos = 0;
    if (NextPlainLine(head, pos) != kMagicLine) return {};
    const std::string_view name = CutAtNul(NextPlainLine(head, pos).substr(0, kMaxLine));
    if (name.empty()) return {};
    return {HeaderKind::Changed, std::string(name)};
}

}  // namespace

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::size_t QuoteLength(std::string_view line) {
    std::size_t length = 0;
    std::size_t quoted = 0;  // up to and including the last ">" with its blanks
    while (length < line.size() && (line[length] == '>' || IsBlank(static_cast<unsigned char>(line[length])))) {
        ++length;
        if (line[length - 1] == '>') quoted = length;
    }
    if (quoted == 0) return 0;
    return length;
}

std::string_view PlainLine(std::string_view line) {
    while (!line.empty() && IsLineEnd(static_cast<unsigned char>(line.back()))) line.remove_suffix(1);
    line.remove_prefix(QuoteLength(line));
    while (!line.empty() && IsBlank(static_cast<unsigned char>(line.front()))) line.remove_prefix(1);
    while (!line.empty() && IsBlank(static_cast<unsigned char>(line.back()))) line.remove_suffix(1);
    return line;
}

std::uint64_t PartNumberOf(std::string_view line) {
    constexpr std::string_view kSuffix = " LfdNr";
    std::size_t i = 0;
    std::uint64_t number = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        if (number > (UINT64_MAX - 9) / 10) return 0;
        number = number * 10 + static_cast<unsigned>(line[i] - '0');
    }
    if (i == 0 || line.substr(i) != kSuffix || number < 2) return 0;
    return number;
}

Header ReadHeader(std::string_view head) {
    head = head.substr(0, kHeaderWindow);
    Header header = HeaderAsWritten(head);
    if (header.kind == HeaderKind::None) header = HeaderAsMailChangedIt(head);
    return header;
}

Header ReadHeader(BufferedReader& in) {
    const std::size_t have = in.Want(kHeaderWindow);
    return ReadHeader(std::string_view(reinterpret_cast<const char*>(in.Peek().data()), have));
}

std::string StrictContinuationName(std::string_view rest) {
    rest.remove_suffix(rest.size() >= 2 ? 2 : rest.size());
    return std::string(CutAtNul(rest));
}

std::string LenientContinuationName(std::string_view rest) {
    while (!rest.empty() && IsLineEnd(static_cast<unsigned char>(rest.back()))) rest.remove_suffix(1);
    while (!rest.empty() && IsBlank(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
    rest = CutAtNul(rest.substr(0, kMaxLine));
    while (!rest.empty() && IsBlank(static_cast<unsigned char>(rest.back()))) rest.remove_suffix(1);
    return std::string(rest);
}

ScannedChecksum ScanChecksum(BufferedReader& in) {
    while (in.Want(1) >= 1 && IsCSpace(in.Peek()[0])) in.Consume(1);
    ScannedChecksum result;
    while (result.digits < 8 && in.Want(1) >= 1) {
        const std::uint8_t digit = kHexDigitValue[in.Peek()[0]];
        if (digit >= 16) break;
        result.value = result.value * 16 + digit;
        ++result.digits;
        in.Consume(1);
    }
    return result;
}

ScannedChecksum ScanChecksumLeniently(BufferedReader& in) {
    LenientChecksum scan;
    while (in.Want(1) >= 1 && scan.Feed(in.Peek()[0])) in.Consume(1);
    return scan.Result();
}

std::size_t LenientData::Feed(std::string_view in, unsigned char* out, std::size_t& produced, Event& event) {
    produced = 0;
    event = Event::None;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (marker_ != 0) {
            if (c != static_cast<unsigned char>(marker_)) {
                event = Event::Garbled;
                return i;
            }
            event = marker_ == '+' ? Event::Continuation : Event::EndLine;
            marker_ = 0;
            return i + 1;
        }
        if (IsLineEnd(c) || IsBlank(c) || (lineStart_ && c == '>')) {
            lineStart_ = lineStart_ || IsLineEnd(c);
            continue;
        }
        lineStart_ = false;
        const int digit = kHexDigitValue[c];
        if (digit < 16) {
            if (high_ < 0) {
                high_ = digit;
            } else {
                out[produced++] = static_cast<unsigned char>(high_ << 4 | digit);
                high_ = -1;
            }
            continue;
        }
        // A marker inside a pair is nothing mail does either.
        if (high_ >= 0 || (c != '+' && c != '~')) {
            event = Event::Garbled;
            return i;
        }
        marker_ = static_cast<char>(c);
    }
    return in.size();
}

bool LenientChecksum::Feed(unsigned char c) {
    if (result_.digits >= 8) return false;
    if (IsLineEnd(c)) {
        // A break after some digits: what follows may be the rest of a
        // wrapped end line, or text that has nothing to do with it.
        if (result_.digits > 0 && !broken_) {
            broken_ = true;
            result_.beforeBreak = result_.value;
            result_.digitsBeforeBreak = result_.digits;
        }
        lineStart_ = true;
        return true;
    }
    if (IsBlank(c) || (lineStart_ && c == '>')) return true;
    const std::uint8_t digit = kHexDigitValue[c];
    if (digit >= 16) return false;
    result_.value = result_.value * 16 + digit;
    ++result_.digits;
    lineStart_ = false;
    return true;
}

bool NamedAsPart(std::string_view name, std::uint64_t number) {
    const auto dot = name.rfind('.');
    std::string_view stem = name;
    if (dot != std::string_view::npos && name.find_first_of(" \t", dot) == std::string_view::npos) {
        stem = name.substr(0, dot);
    }
    const std::string suffix = "_" + std::to_string(number);
    return stem.size() > suffix.size() && stem.ends_with(suffix);
}

namespace {

// The longest piece of `text` from its start, cut at a blank or whole,
// that is named as part `next`; empty when there is none.
std::string_view LongestPartName(std::string_view text, std::uint64_t next) {
    for (std::size_t end = text.size(); end > 0;) {
        const std::string_view piece = PlainLine(text.substr(0, end));
        if (NamedAsPart(piece, next)) return piece;
        end = text.find_last_of(" \t", end - 1);
        if (end == std::string_view::npos) break;
    }
    return {};
}

}  // namespace

ContinuationName ChooseContinuationName(std::string_view rest, std::string_view following, std::uint64_t next) {
    const std::string name = LenientContinuationName(rest);
    if (NamedAsPart(name, next)) return {name, false};
    if (const std::string_view piece = LongestPartName(name, next); !piece.empty()) return {std::string(piece), false};
    const std::string_view more = PlainLine(following);
    if (!name.empty() && !more.empty() && more != kMagicLine && PartNumberOf(more) == 0) {
        const std::string joined = name + " " + std::string(more);
        if (const std::string_view piece = LongestPartName(joined, next); piece.size() > name.size()) {
            return {std::string(CutAtNul(piece.substr(0, kMaxLine))), true};
        }
    }
    return {name, false};
}

}  // namespace calverdon::format
