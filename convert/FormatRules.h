#pragma once
// The rules by which the format is read, in one place: the line limits,
// the cut at a NUL byte, mail's quote markers, the header, the checksum of
// the end line and the identity of the parts read. The strict reading
// (HexToBin), the lenient reading (TolerantReading), the header check
// (ReadTargetName) and the mail scanner all read through these, so that
// they cannot disagree about the same text.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "File.h"
#include "PairReading.h"

namespace calverdon::format {

// The decoder reads the lines it does not decode (header lines, the rest of
// a continuation line, a part-number line) like fgets into a 512-byte
// buffer: at most 511 characters, line end included. A name line or
// continuation name longer than that is not part of the format.
inline constexpr std::size_t kMaxLine = 511;
// The header check reads the magic line like fgets into a 1024-byte buffer.
inline constexpr std::size_t kMaxHeaderLine = 1023;
// Every header reading needs at most this many bytes from the start of a
// file: the magic line, the name line, and room for mail's quoting and
// empty lines in front of them.
inline constexpr std::size_t kHeaderWindow = 4096;

// Names are C strings in the file: they end at a NUL byte.
std::string_view CutAtNul(std::string_view text);

constexpr bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }
constexpr bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

// Mail quotes a line by putting ">" in front of it, with or without a
// blank, once for each reply: "> ", ">", ">> ", "> > ". The quote is the
// run of ">" and blanks at the start of a line that holds at least one ">";
// 0 when the line is not quoted.
std::size_t QuoteLength(std::string_view line);

// A line as mail may have changed it, made plain: its line end (LF, CR LF
// or CR), its quote and the blanks at both ends removed.
std::string_view PlainLine(std::string_view line);

// The N of a continuation part's first line "N LfdNr" (plain), N at least
// 2; 0 for any other line.
std::uint64_t PartNumberOf(std::string_view plainLine);

// How the first part's header was found.
enum class HeaderKind {
    None,     // no hex-text header at all
    Exact,    // as the format writes it: both lines end in CR LF
    Changed,  // a header that mail has changed: other line ends, quoting
};

struct Header {
    HeaderKind kind = HeaderKind::None;
    // The name line as the file carries it (Windows-1252), cut at a NUL.
    std::string name;
};

// Reads the header at the start of a first part from its first bytes (at
// most kHeaderWindow are looked at). The header check's own reading comes
// first: the magic line, then a name line of at most kMaxLine bytes, lines
// ended by CR LF or LF and the name line's last character dropped as its
// line end. Only a header that shows what mail does (quoting in front of it,
// or CR alone ending its first line) is read the lenient way: quote markers,
// blanks and empty lines do not count there.
Header ReadHeader(std::string_view head);
// The same from the start of a file, which is looked at, not consumed.
Header ReadHeader(BufferedReader& in);

// The name that the rest of a continuation line (after "++", up to and
// including its LF, at most kMaxLine characters) gives in the strict
// reading: the rest less its last two characters (CR LF), cut at a NUL.
std::string StrictContinuationName(std::string_view rest);
// The same in the lenient reading, from the rest of the line up to its line
// end: blanks at both ends removed, at most kMaxLine bytes, cut at a NUL.
std::string LenientContinuationName(std::string_view rest);

// The checksum after "~~", as read so far.
struct ScannedChecksum {
    std::uint32_t value = 0;
    int digits = 0;
    // The lenient reading also reads digits on the next line, for an end
    // line that mail has wrapped; the value before the break is kept, in
    // case the digits there were something else.
    std::uint32_t beforeBreak = 0;
    int digitsBeforeBreak = 0;

    bool Matches(std::uint32_t checksum) const {
        return (digits > 0 && value == checksum) || (digitsBeforeBreak > 0 && beforeBreak == checksum);
    }
};

// The strict reading of the checksum, as scanf("%08X") reads it: white
// space skipped, then at most eight hex digits of either case.
ScannedChecksum ScanChecksum(BufferedReader& in);
// The lenient reading: blanks, line ends and quote markers skipped, and the
// eight digits read across line breaks.
ScannedChecksum ScanChecksumLeniently(BufferedReader& in);

// The lenient reading of a part's data, fed in pieces of any size. Hex
// digits are paired wherever they stand; line ends, blanks, and quote
// markers at the start of a line are passed over; "++" and "~~" end the
// data. Anything else ends them too, as the end of a cut-off file would:
// it is nothing mail does to a file.
class LenientData {
public:
    enum class Event {
        None,          // all of the piece was data
        Garbled,       // stopped before a character that no data hold
        Continuation,  // "++" read: the rest of its line names the next part
        EndLine,       // "~~" read: the checksum follows
    };

    // Reads from `in` up to and including an event's marker. Decoded bytes
    // go to `out`, which has room for in.size() / 2 + 1 of them; `produced`
    // tells how many. Returns how many bytes of `in` were read.
    std::size_t Feed(std::string_view in, unsigned char* out, std::size_t& produced, Event& event);

private:
    bool lineStart_ = true;
    int high_ = -1;      // a first digit waiting for its second
    char marker_ = 0;    // a '+' or '~' waiting for its second
};

// The lenient reading of the checksum after "~~", fed a byte at a time:
// blanks, line ends and quote markers passed over, eight hex digits read
// across a line break.
class LenientChecksum {
public:
    // False once the checksum is complete; `c` is then not part of it.
    bool Feed(unsigned char c);
    const ScannedChecksum& Result() const { return result_; }

private:
    ScannedChecksum result_;
    bool lineStart_ = false;
    bool broken_ = false;
};

// Whether `name` is named as part `number` of a chain: "…_N" before its
// extension, as every part after the first is named.
bool NamedAsPart(std::string_view name, std::uint64_t number);

// The name that a continuation line gives for part `next`, in the lenient
// reading. `rest` is the line after "++", `following` the line after it
// (empty when unknown). Mail programs wrap long lines at blanks and join a
// line that ends in a blank to the next (format=flowed), so where the rest
// is not named as part `next`, the rest joined with the following line, or
// either cut at a blank, is taken when that is. `usesFollowing` tells
// whether the following line belongs to the name.
struct ContinuationName {
    std::string name;
    bool usesFollowing = false;
};
ContinuationName ChooseContinuationName(std::string_view rest, std::string_view following, std::uint64_t next);

// The parts of one chain read so far, by their identity on disk, so that a
// chain that names a part a second time ends there.
class PartsRead {
public:
    // False when the part was read before. Parts that share a file are
    // told apart by where they start in it.
    bool Add(const FileId& id, std::uint64_t offset = 0) {
        return read_.insert({id.device, id.inode, offset}).second;
    }

private:
    std::set<std::tuple<dev_t, ino_t, std::uint64_t>> read_;
};

}  // namespace calverdon::format
