#pragma once
// How a hex-text part is recognised in a piece of text, and where its data
// end, without decoding it. Lenient on purpose: lines may end in CR LF or a
// bare LF and may be quoted at any depth, as parts arrive in mail bodies;
// the rules are those of every reader of the format (FormatRules.h). The
// decoder itself decides later whether such a part is usable.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace calverdon::mail {

// Where a part starts in the first bytes of a text.
struct PartStart {
    std::size_t offset = 0;     // first byte of the part's first line
    std::uint32_t number = 0;   // 1: a first part; 2 and up: a continuation; 0: no part
    std::string nameLine;       // a first part's name line (Windows-1252), quote and line end removed
};

// Looks at the lines of `head` for a magic line or a "N LfdNr" line (N at
// least 2). With `anyLine` the part may start at any complete line of
// `head` (a mail body with a greeting before the part); without, only at
// its first line. `head` is the whole text when `complete` is set,
// otherwise only its beginning. Linear in the size of `head`.
PartStart FindPartStart(std::string_view head, bool complete, bool anyLine);

// Follows a part's bytes, fed in any pieces from the start of its first
// line, and notes how its data end: at "++" with the name of the next part,
// or at "~~" before the checksum. Memory stays bounded whatever is fed.
class PartEndFinder {
public:
    enum class End { Open, Continues, Last };

    // `headerLines`: 2 for a first part (magic and name line), 1 for a
    // continuation (its number line); they are not searched.
    explicit PartEndFinder(int headerLines) : linesToSkip_(headerLines) {}
    void Feed(std::string_view bytes);

    // Open when the data stop without either marker (a cut-off part).
    End Ending() const { return end_; }
    // The next part's name as the "++" line gives it (Windows-1252), as the
    // strict reading takes it (line end removed, cut at a NUL byte) and as
    // the lenient reading takes it (blanks at both ends removed as well).
    std::string NextName() const;
    std::string LenientNextName() const;

private:
    int linesToSkip_;
    End end_ = End::Open;
    bool plusSeen_ = false;
    bool tildeSeen_ = false;
    bool nameDone_ = false;
    std::string name_;
};

}  // namespace calverdon::mail
