#pragma once
// What every part of the hex-text engine shares: the result of a
// conversion and the constants of the format.

#include <cstdint>
#include <string_view>

namespace calverdon {

enum class ConversionResult : int {
    Failed = -1,           // no target file (decoder); see BinToHex for the encoder
    ChecksumMismatch = 0,  // target kept, but it may be damaged
    Succeeded = 1,
};

// The first line of every hex-text file.
inline constexpr std::string_view kMagicLine = "Kelvarin-Hex-Text 1.0";
// The running checksum before the first byte; the checksum of no bytes.
// Each byte b adds b + 4, modulo 2^32.
inline constexpr std::uint32_t kChecksumStart = 5555;

}  // namespace calverdon
