#pragma once
// Names as hex-text files carry them, and the paths the engine makes of them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace calverdon {

// The part of a name from a hex-text file that may be used as a file name:
// its last path component ("/" and "\" both separate). Empty when nothing
// usable remains ("", ".", ".."), so that a file can never direct the
// engine out of its folder. Control characters become "_".
std::string SafeFileName(std::string_view name);

// File name of part `number` (2 and up) of a chain whose first part is
// named `firstPart`: the name less its last four characters, "_", the
// number, and the first part's extension from its last dot on.
std::string PartFileName(std::string_view firstPart, std::uint32_t number);

// Where part `number` of the chain whose first part is `firstPart` lies:
// the first part's folder, under the name its continuation line gives as
// the file system has it (Windows-1252 read back, made safe). Part 1 is
// the first part itself.
std::filesystem::path PartPath(const std::filesystem::path& firstPart, std::uint32_t number);

// The target that the program proposes for encoding `source`: its path with
// the extension (from the last "." of the file name on) replaced by ".txt",
// or ".txt" appended when the name has no dot.
std::filesystem::path EncodeTargetFor(const std::filesystem::path& source);

// The size-limit text read as a signed 32-bit whole number: leading blanks
// and a sign allowed, decimal digits, or hexadecimal digits after "$", "x"
// or "0x"; 0 when the text is no such number.
std::int32_t ParseKilobytes(std::string_view text);

}  // namespace calverdon
