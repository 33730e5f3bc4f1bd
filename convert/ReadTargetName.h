#pragma once
// The header check that the window and the command line run on a chosen
// file before decoding it.

#include <filesystem>
#include <string>

#include "Services.h"

namespace calverdon {

// Checks the header of the first part of a hex-text file and returns the
// name of the file it carries (UTF-8, a bare file name), or an empty
// string after telling the user what was wrong.
std::string ReadTargetName(const std::filesystem::path& source, UserMessages& messages);

}  // namespace calverdon
