#pragma once
// The hex-text conversion engine: the header check, the decoder and the
// encoder. Each runs synchronously, tells the user about every failure
// through the services it is given, and returns a ConversionResult.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "LineGenerator.h"
#include "Services.h"

namespace calverdon {

enum class ConversionResult : int {
    Failed = -1,           // no target file (decoder); see BinToHex for the encoder
    ChecksumMismatch = 0,  // target kept, but it may be damaged
    Succeeded = 1,
};

// The first line of every hex-text file.
inline constexpr std::string_view kMagicLine = "Kelvarin-Hex-Text 1.0";
// The running checksum before the first byte; the checksum of no bytes.
inline constexpr std::uint32_t kChecksumStart = 5555;

// The running checksum after one more byte: (sum + byte + 4) mod 2^32.
constexpr std::uint32_t AddToChecksum(std::uint32_t sum, std::uint8_t byte) {
    return sum + byte + 4u;
}

// File name of part `number` (2 and up) of a chain whose first part is
// named `firstPart`: the name less its last four characters, "_", the
// number, and the first part's extension from its last dot on.
std::string PartFileName(std::string_view firstPart, std::uint32_t number);

// Checks the header of the first part of a hex-text file and returns the
// name of the file it carries (UTF-8, a bare file name), or an empty
// string after telling the user what was wrong.
std::string ReadTargetName(const std::filesystem::path& source, UserMessages& messages);

// Rebuilds the file that the chain starting at `source` carries into
// `target`, following the parts in the source's folder and checking their
// order and the running checksum. The target appears only complete, on
// results 0 and 1. A result that fails its checksum never replaces an
// existing file: it is kept beside it under a name that says so, and
// `written`, when given, tells where the result went.
ConversionResult HexToBin(const std::filesystem::path& source,
                          const std::filesystem::path& target, Services services,
                          std::filesystem::path* written = nullptr);

// Decodes like HexToBin but writes nothing and asks nothing: for checking a
// chain. Reports the same failures and returns the same results.
ConversionResult CheckHexText(const std::filesystem::path& source, Services services);

// Writes `source` as a hex-text file at `target`, split into numbered parts
// in the target's folder when `kilobytesText` (the size limit as typed)
// names a positive number of kilobytes. Draws its line lengths from
// `lines`, the process-wide generator unless a caller passes its own.
ConversionResult BinToHex(const std::filesystem::path& source,
                          const std::filesystem::path& target, std::string_view kilobytesText,
                          Services services, LineGenerator& lines = ProcessLineGenerator());

// The target that the program proposes for encoding `source`: its path with
// the extension (from the last "." of the file name on) replaced by ".txt",
// or ".txt" appended when the name has no dot.
std::filesystem::path EncodeTargetFor(const std::filesystem::path& source);

// The size-limit text read as a signed 32-bit whole number: leading blanks
// and a sign allowed, decimal digits, or hexadecimal digits after "$", "x"
// or "0x"; 0 when the text is no such number.
std::int32_t ParseKilobytes(std::string_view text);

}  // namespace calverdon
