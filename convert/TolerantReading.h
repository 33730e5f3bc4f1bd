#pragma once
// A second, lenient reading of a hex-text chain, for files that mail has
// changed on the way: line ends made LF or CR alone, blanks and tabs at line
// ends, empty lines, upper-case digits, "> " quoting, text after the end
// line. Line structure is ignored: only hex digits and the markers "++" and
// "~~" count, wherever they stand. Anything else in the data makes the
// reading fail, and so does a chain without a matching checksum: only a
// verified result is of use.

#include <filesystem>
#include <optional>

#include "DecodedFile.h"
#include "File.h"

namespace calverdon {

// Reads the chain that starts at `source` into `out`. True only when every
// part was found in order and the end line's checksum matches the bytes.
// A part that is the file `avoid` (the target) ends the reading.
bool ReadChainTolerantly(const std::filesystem::path& source, DecodedFile& out,
                         const std::optional<FileId>& avoid);

// The header check's lenient reading, for a first part whose header mail
// has quoted or whose line ends are CR alone: the name its header carries,
// or nothing when it is no hex-text header even so.
std::optional<std::string> ReadQuotedHeaderName(const std::filesystem::path& source);

}  // namespace calverdon
