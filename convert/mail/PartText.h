#pragma once
// Hex-text parts found in a piece of text (a mail body, an attachment, a
// file), by the rules every reader of the format uses (FormatRules.h):
// lines ended by CR LF or LF, quoting at any depth, the data read the
// lenient way. A text may hold several parts one after the other. Each part
// is passed on as its text and as a digest of the data it carries, worked
// out while it is read, so that parts can be told apart and linked by what
// they carry rather than by the text around them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "FormatRules.h"

namespace calverdon::mail {

// How a part's data end: cut off, at "++" with the next part's name, or at
// "~~" with the checksum.
enum class PartEnd { Open, Continues, Last };

// What a part's data amount to.
struct PartDigest {
    std::uint64_t bytes = 0;  // decoded bytes
    // Their share of the running checksum: each byte plus 4, modulo 2^32.
    // A chain's checksum is 5555 plus the shares of its parts, so that an
    // assembly of parts can be checked without decoding it.
    std::uint32_t sum = 0;
    std::array<std::uint8_t, 32> hash{};  // SHA-256 of the decoded bytes
    format::ScannedChecksum endChecksum;  // a last part's end line
};

struct SplitPart {
    std::uint32_t number = 0;  // 1 for a first part
    std::string headerName;    // a first part's name line as carried (bytes), empty when unusable
    PartEnd end = PartEnd::Open;
    std::string nextName;      // as the continuation line gives it (bytes)
    PartDigest digest;
};

// Receives the parts a splitter finds.
class PartSink {
public:
    virtual ~PartSink() = default;
    virtual void Begin() = 0;
    virtual void Write(std::string_view text) = 0;
    virtual void End(const SplitPart& part) = 0;
};

class PartSplitter {
public:
    // A part must announce itself within this many bytes of the start of
    // a text or of the end of the part before it; only that much is read
    // of anything that holds no part.
    static constexpr std::size_t kSearchLimit = 64 * 1024;

    // With `anyLine` a part may start at any line (a mail body with a
    // greeting before it); without, the text's first line must start one.
    PartSplitter(PartSink& sink, bool anyLine);
    ~PartSplitter();
    PartSplitter(const PartSplitter&) = delete;
    PartSplitter& operator=(const PartSplitter&) = delete;

    void Feed(std::string_view text);
    // The end of the text: a part that is still open ends here.
    void Finish();
    // Nothing more can be found: the rest of the text need not be read.
    bool Done() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The N of a continuation part's first line, or 0 (numbers beyond 32 bits
// are no part).
std::uint32_t PartNumberOfLine(std::string_view line);

}  // namespace calverdon::mail
