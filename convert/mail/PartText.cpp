#include "PartText.h"

#include <cstring>

#include "Format.h"
#include "FormatRules.h"

namespace calverdon::mail {
namespace {

using format::PlainLine;

// The N of a "N LfdNr" line, or 0; numbers beyond 32 bits are no part.
std::uint32_t PartNumber(std::string_view line) {
    const std::uint64_t number = format::PartNumberOf(line);
    return number <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(number) : 0;
}

}  // namespace

PartStart FindPartStart(std::string_view head, bool complete, bool anyLine) {
    std::size_t pos = 0;
    while (pos < head.size()) {
        const std::size_t end = head.find('\n', pos);
        // A line cut off by the end of the head may go on beyond it.
        if (end == std::string_view::npos && !complete) break;
        const std::size_t next = end == std::string_view::npos ? head.size() : end + 1;
        const std::string_view line = PlainLine(head.substr(pos, next - pos));
        if (line == kMagicLine) {
            PartStart start{pos, 1, {}};
            const std::size_t nameEnd = head.find('\n', next);
            if (nameEnd != std::string_view::npos || complete) {
                const std::size_t stop = nameEnd == std::string_view::npos ? head.size() : nameEnd + 1;
                if (stop - next <= format::kMaxLine) {
                    start.nameLine = std::string(format::CutAtNul(PlainLine(head.substr(next, stop - next))));
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
            if (c == '\n' || name_.size() >= format::kMaxLine) {
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
    // What the decoder's read of the line's rest gets: up to and including
    // its LF, at most kMaxLine characters.
    return format::StrictContinuationName(name_.size() < format::kMaxLine ? name_ + "\n" : name_);
}

std::string PartEndFinder::LenientNextName() const { return format::LenientContinuationName(name_); }

}  // namespace calverdon::mail
