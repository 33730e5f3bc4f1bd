#pragma once
// Names as hex-text files carry them, and the paths the engine makes of them.

#include <filesystem>
#include <string>
#include <string_view>

namespace calverdon {

// The part of a name from a hex-text file that may be used as a file name:
// its last path component ("/" and "\" both separate). Empty when nothing
// usable remains ("", ".", ".."), so that a file can never direct the
// engine out of its folder. Control characters become "_".
std::string SafeFileName(std::string_view name);

// "Fehler " and the error number: the caption of most failures.
std::string ErrorCaption(int error);

}  // namespace calverdon
