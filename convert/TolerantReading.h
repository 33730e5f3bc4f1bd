#pragma once
// The lenient reading of a hex-text chain, for files that mail has changed
// on the way: line ends made LF or CR alone, blanks and tabs at line ends,
// empty lines, upper-case digits, quoting at any depth, text after the end
// line, an end line wrapped onto the next line. Line structure is ignored:
// only hex digits and the markers "++" and "~~" count, wherever they stand
// (FormatRules.h). Anything else in the data ends them there, as a cut-off
// file would end, and the result is then not verified.

#include <filesystem>
#include <optional>
#include <string>

#include "ChainSource.h"
#include "DecodedFile.h"
#include "File.h"

namespace calverdon {

class Reporter;

struct LenientResult {
    enum class Kind {
        Verified,     // every part read in order, and the checksum matches
        Mismatch,     // data read to their end, but not verified
        NotHexText,   // the first part has no header
        PartMissing,  // a continuation names a part that cannot be opened
        WrongOrder,   // a part carries another number, or was read before
        SameFile,     // a part is the file to avoid (the target)
        ReadFailed,
        WriteFailed,
        Stopped,      // the user asked to stop
    };
    Kind kind = Kind::NotHexText;
    int error = 0;         // the errno of PartMissing, ReadFailed, WriteFailed
    std::string partName;  // the part that PartMissing could not open (UTF-8)
};

// Reads the chain into `out`. A part that is the file `avoid` ends the
// reading. Progress, when `progress` is given, runs over the bytes of the
// chain's files.
LenientResult ReadChainLeniently(ChainSource& chain, DecodedFile& out, const std::optional<FileId>& avoid,
                                 Reporter* progress);

}  // namespace calverdon
