#include "PartText.h"

#include <cstring>

#include "Format.h"

namespace calverdon::mail {
namespace {

// The decoder reads a name line of at most this many bytes.
constexpr std::size_t kMaxNameLine = 511;

// A line without its line end (CR LF or LF), its "> " quote and trailing
// blanks, which mail programs add and strip at will.
std::string_view Bare(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with("> ")) {
        line.remove_prefix(2);
    } else if (line.starts_with(">")) {
        line.remove_prefix(1);
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

// The N of a "N LfdNr" line, or 0.
std::uint32_t PartNumber(std::string_view line) {
    std::size_t i = 0;
    std::uint64_t number = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        number = number * 10 + static_cast<unsigned>(line[i] - '0');
        if (number > 0xFFFFFFFFull) return 0;
        ++i;
    }
    if (i == 0 || line.substr(i) != " LfdNr" || number < 2) return 0;
    return static_cast<std::uint32_t>(number);
}

}  // namespace

PartStart FindPartStart(std::string_view head, bool complete, bool anyLine) {
    std::size_t pos = 0;
    while (pos < head.size()) {
        const std::size_t end = head.find('\n', pos);
        // A line cut off by the end of the head may go on beyond it.
        if (end == std::string_view::npos && !complete) break;
        const std::size_t next = end == std::string_view::npos ? head.size() : end + 1;
        const std::string_view line = Bare(head.substr(pos, next - pos));
        if (line == kMagicLine) {
            PartStart start{pos, 1, {}};
            const std::size_t nameEnd = head.find('\n', next);
            if (nameEnd != std::string_view::npos || complete) {
                const std::size_t stop = nameEnd == std::string_view::npos ? head.size() : nameEnd + 1;
                if (stop - next <= kMaxNameLine) {
                    const std::string_view name = Bare(head.substr(next, stop - next));
                    start.nameLine.assign(name.data(), ::strnlen(name.data(), name.size()));
                }
            }
            return start;
        }
        if (const std::uint32_t number = PartNumber(line); number != 0) return {pos, number, {}};
        if (!anyLine) break;
        pos = next;
    }
    return {};
}

void PartEndFinder::Feed(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (linesToSkip_ > 0) {
            const auto nl = bytes.find('\n', i);
            if (nl == std::string_view::npos) return;
            --linesToSkip_;
            i = nl;
            continue;
        }
        if (end_ == End::Last || nameDone_) return;
        if (end_ == End::Continues) {
            if (c == '\n' || name_.size() >= kMaxNameLine) {
                nameDone_ = true;
                return;
            }
            name_ += c;
            continue;
        }
        if (c == '+' && plusSeen_) {
            end_ = End::Continues;
        } else if (c == '~' && tildeSeen_) {
            end_ = End::Last;
            return;
        }
        plusSeen_ = c == '+';
        tildeSeen_ = c == '~';
    }
}

std::string PartEndFinder::NextName() const {
    std::string name = name_;
    if (!name.empty() && name.back() == '\r') name.pop_back();
    name.resize(::strnlen(name.c_str(), name.size()));
    return name;
}

}  // namespace calverdon::mail
