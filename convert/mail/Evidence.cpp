#include "Evidence.h"

#include <algorithm>
#include <cctype>

namespace calverdon::mail {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The number that ends just before `end` in `text`, and where it starts.
bool NumberBefore(std::string_view text, std::size_t end, std::uint32_t& value, std::size_t& start) {
    start = end;
    while (start > 0 && IsDigit(text[start - 1]) && end - start < 6) --start;
    if (start == end || (start > 0 && IsDigit(text[start - 1]))) return false;
    value = static_cast<std::uint32_t>(std::stoul(std::string(text.substr(start, end - start))));
    return true;
}

bool NumberAfter(std::string_view text, std::size_t from, std::uint32_t& value, std::size_t& end) {
    end = from;
    while (end < text.size() && IsDigit(text[end]) && end - from < 6) ++end;
    if (end == from || (end < text.size() && IsDigit(text[end]))) return false;
    value = static_cast<std::uint32_t>(std::stoul(std::string(text.substr(from, end - from))));
    return true;
}

// Skips blanks from `pos` in the direction `step`.
std::size_t SkipSpace(std::string_view text, std::size_t pos, int step) {
    if (step > 0) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
    } else {
        while (pos > 0 && IsSpace(text[pos - 1])) --pos;
    }
    return pos;
}

// The last "k/n", "k von n" or "k of n" in the subject, with k <= n, and
// the stretch it covers with a "Teil"/"Part" in front and brackets around.
bool FindNumbering(std::string_view subject, std::uint32_t& part, std::uint32_t& total, std::size_t& from,
                   std::size_t& to) {
    const std::string lower = Lower(subject);
    for (std::size_t i = lower.size(); i-- > 0;) {
        std::size_t sepEnd = 0;
        if (lower[i] == '/') {
            sepEnd = i + 1;
        } else if (lower.compare(i, 3, "von") == 0 && i > 0 && IsSpace(lower[i - 1]) && i + 3 < lower.size() &&
                   IsSpace(lower[i + 3])) {
            sepEnd = i + 3;
        } else if (lower.compare(i, 2, "of") == 0 && i > 0 && IsSpace(lower[i - 1]) && i + 2 < lower.size() &&
                   IsSpace(lower[i + 2])) {
            sepEnd = i + 2;
        } else {
            continue;
        }
        std::size_t kStart = 0;
        std::size_t nEnd = 0;
        if (!NumberBefore(lower, SkipSpace(lower, i, -1), part, kStart)) continue;
        if (!NumberAfter(lower, SkipSpace(lower, sepEnd, 1), total, nEnd)) continue;
        if (part == 0 || total == 0 || part > total) continue;
        from = SkipSpace(lower, kStart, -1);
        for (const char* word : {"teil", "part"}) {
            const std::size_t length = std::char_traits<char>::length(word);
            if (from >= length && lower.compare(from - length, length, word) == 0) from -= length;
        }
        to = nEnd;
        if (from > 0 && (lower[from - 1] == '(' || lower[from - 1] == '[') && to < lower.size() &&
            (lower[to] == ')' || lower[to] == ']')) {
            --from;
            ++to;
        }
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> MessageIds(std::string_view header) {
    std::vector<std::string> ids;
    for (std::size_t open = header.find('<'); open != std::string_view::npos; open = header.find('<', open + 1)) {
        const std::size_t close = header.find('>', open + 1);
        if (close == std::string_view::npos) break;
        if (close > open + 1 && close - open < 1000) ids.emplace_back(header.substr(open + 1, close - open - 1));
        open = close;
    }
    return ids;
}

void ReadSubject(std::string_view subject, MailInfo& info) {
    subject = subject.substr(0, 1000);
    info.subject = std::string(subject);
    std::string rest(subject);
    std::size_t from = 0;
    std::size_t to = 0;
    if (FindNumbering(subject, info.subjectPart, info.subjectTotal, from, to)) {
        rest = std::string(subject.substr(0, from)) + " " + std::string(subject.substr(to));
    }
    std::string key = Lower(rest);
    // Reply and forward marks, as many as there are.
    for (bool again = true; again;) {
        again = false;
        key.erase(0, SkipSpace(key, 0, 1));
        for (const char* mark : {"re:", "aw:", "fwd:", "fw:", "wg:", "wtrlt:", "antw:"}) {
            if (key.starts_with(mark)) {
                key.erase(0, std::char_traits<char>::length(mark));
                again = true;
            }
        }
    }
    // Single blanks; dashes and colons at the ends are what the numbering
    // left behind.
    std::string single;
    for (const char c : key) {
        if (IsSpace(c)) {
            if (!single.empty() && single.back() != ' ') single += ' ';
        } else {
            single += c;
        }
    }
    const auto trim = [](std::string& text) {
        static constexpr std::string_view kDash = "\xe2\x80\x93";  // the en dash
        for (bool again = true; again;) {
            again = false;
            if (!text.empty() && std::string_view(" -:,;").find(text.back()) != std::string_view::npos) {
                text.pop_back();
                again = true;
            } else if (text.ends_with(kDash)) {
                text.resize(text.size() - kDash.size());
                again = true;
            }
            if (!text.empty() && std::string_view(" -:,;").find(text.front()) != std::string_view::npos) {
                text.erase(0, 1);
                again = true;
            } else if (text.starts_with(kDash)) {
                text.erase(0, kDash.size());
                again = true;
            }
        }
    };
    trim(single);
    info.subjectKey = single;
}

bool ReadPartOfTotal(std::string_view text, std::uint32_t& part, std::uint32_t& total) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return false;
    std::size_t start = 0;
    std::size_t end = 0;
    const std::size_t left = SkipSpace(text, slash, -1);
    const std::size_t right = SkipSpace(text, slash + 1, 1);
    if (!NumberBefore(text, left, part, start) || !NumberAfter(text, right, total, end)) return false;
    return part >= 1 && part <= total;
}

}  // namespace calverdon::mail
