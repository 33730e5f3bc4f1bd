#include "TextForms.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "Cp1252.h"

namespace calverdon::mail {
namespace {

// A logical line longer than this is passed on as it is: only a crafted
// mail joins that many soft breaks.
constexpr std::size_t kMaxLogicalLine = 1 << 20;
constexpr std::size_t kMaxTag = 32;
constexpr std::size_t kMaxEntity = 12;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

void Unflow::Process(std::string_view in, std::string& out) {
    for (const char c : in) {
        if (c == '\n') {
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            Line(line_, out);
            line_.clear();
        } else if (line_.size() < kMaxLogicalLine) {
            line_ += c;
        }
    }
}

void Unflow::Finish(std::string& out) {
    if (!line_.empty()) Line(line_, out);
    line_.clear();
    Flush(out);
}

void Unflow::Line(std::string_view line, std::string& out) {
    int depth = 0;
    while (static_cast<std::size_t>(depth) < line.size() && line[static_cast<std::size_t>(depth)] == '>') ++depth;
    line.remove_prefix(static_cast<std::size_t>(depth));
    if (line.starts_with(' ')) line.remove_prefix(1);  // space-stuffing
    // A line of another depth never goes on a flowed one.
    if (depth_ >= 0 && depth != depth_) Flush(out);
    depth_ = depth;
    // The signature separator "-- " is never flowed.
    const bool soft = !line.empty() && line.back() == ' ' && line != "-- ";
    if (soft && delSp_) line.remove_suffix(1);
    logical_ += line;
    if (!soft || logical_.size() >= kMaxLogicalLine) Flush(out);
}

void Unflow::Flush(std::string& out) {
    if (depth_ < 0) return;
    for (int i = 0; i < depth_; ++i) out += '>';
    if (depth_ > 0) out += ' ';
    out += logical_;
    out += "\r\n";
    logical_.clear();
    depth_ = -1;
}

void HtmlText::Blank(std::string& out) {
    if (pre_ > 0) return;
    if (!out.empty() && (out.back() == ' ' || out.back() == '\n')) return;
    blankPending_ = true;
}

void HtmlText::Process(std::string_view in, std::string& out) {
    for (const char c : in) {
        switch (state_) {
            case State::Text:
                if (c == '<') {
                    state_ = State::Tag;
                    tag_.clear();
                } else if (c == '&') {
                    state_ = State::Entity;
                    entity_.clear();
                } else if (pre_ == 0 && (c == '\r' || c == '\n' || c == '\t' || c == ' ')) {
                    Blank(out);
                } else if (c != '\r') {
                    if (blankPending_) {
                        out += ' ';
                        blankPending_ = false;
                    }
                    out += c;
                }
                break;
            case State::Tag:
                if (c == '>') {
                    EndTag(out);
                } else if (tag_.size() < kMaxTag) {
                    tag_ += c;
                    if (tag_ == "!--") {
                        state_ = State::Comment;
                        comment_.clear();
                    }
                }
                break;
            case State::Entity:
                if (c == ';') {
                    EndEntity(out);
                    state_ = State::Text;
                } else if (entity_.size() >= kMaxEntity || c == '<' || c == '&' || c == ' ' || c == '\n') {
                    out += '&';
                    out += entity_;
                    state_ = State::Text;
                    Process(std::string_view(&c, 1), out);
                } else {
                    entity_ += c;
                }
                break;
            case State::Comment:
                comment_ += c;
                if (comment_.size() > 3) comment_.erase(0, comment_.size() - 3);
                if (comment_ == "-->") state_ = State::Text;
                break;
            case State::Skip:
                // Script and style hold no text; only their end tag counts.
                tag_ += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                if (tag_.size() > skipUntil_.size()) tag_.erase(0, tag_.size() - skipUntil_.size());
                if (tag_ == skipUntil_) {
                    state_ = State::Tag;
                    tag_ = skipUntil_.substr(1);
                }
                break;
        }
    }
}

void HtmlText::EndTag(std::string& out) {
    state_ = State::Text;
    std::string name = Lower(tag_);
    const bool closing = name.starts_with('/');
    if (closing) name.erase(0, 1);
    name = name.substr(0, name.find_first_of(" \t\r\n/"));
    const auto lineEnd = [&] {
        blankPending_ = false;
        out += "\r\n";
    };
    if (name == "pre") {
        pre_ = closing ? (pre_ > 0 ? pre_ - 1 : 0) : pre_ + 1;
        lineEnd();
    } else if (name == "br" || name == "p" || name == "div" || name == "tr" || name == "li" || name == "table" ||
               (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6')) {
        lineEnd();
    } else if (!closing && (name == "script" || name == "style")) {
        state_ = State::Skip;
        skipUntil_ = "</" + name;
        tag_.clear();
    } else if (name == "td" || name == "th") {
        Blank(out);
    }
}

void HtmlText::EndEntity(std::string& out) {
    static const struct {
        const char* name;
        char32_t cp;
    } kNamed[] = {{"amp", '&'},     {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
                  {"nbsp", ' '},    {"auml", 0xE4},    {"ouml", 0xF6},    {"uuml", 0xFC},    {"Auml", 0xC4},
                  {"Ouml", 0xD6},   {"Uuml", 0xDC},    {"szlig", 0xDF},   {"euro", 0x20AC},  {"eacute", 0xE9},
                  {"egrave", 0xE8}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"copy", 0xA9}};
    char32_t cp = 0;
    if (entity_.starts_with('#')) {
        const bool hex = entity_.size() > 1 && (entity_[1] == 'x' || entity_[1] == 'X');
        const std::string digits = entity_.substr(hex ? 2 : 1);
        char* end = nullptr;
        const unsigned long value = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
        if (!digits.empty() && *end == '\0' && value > 0 && value <= 0x10FFFF) cp = static_cast<char32_t>(value);
    } else {
        for (const auto& named : kNamed) {
            if (entity_ == named.name) cp = named.cp;
        }
    }
    if (cp == 0) {
        out += '&' + entity_ + ';';
        return;
    }
    if (cp == ' ') {
        Blank(out);
        return;
    }
    if (blankPending_) {
        out += ' ';
        blankPending_ = false;
    }
    AppendUtf8(out, cp);
}

void HtmlText::Finish(std::string& out) {
    if (state_ == State::Entity) out += '&' + entity_;
    state_ = State::Text;
}

}  // namespace calverdon::mail
