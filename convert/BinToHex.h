#pragma once
// The encoder: any file into a hex-text file, split into parts on request.

#include <filesystem>
#include <string_view>

#include "Format.h"
#include "LineGenerator.h"
#include "Services.h"

namespace calverdon {

// Writes `source` as a hex-text file at `target`, split into numbered parts
// in the target's folder when `kilobytesText` (the size limit as typed)
// names a positive number of kilobytes. Asks once before replacing any
// existing file. Draws its line lengths from `lines`, the process-wide
// generator unless a caller passes its own.
ConversionResult BinToHex(const std::filesystem::path& source,
                          const std::filesystem::path& target, std::string_view kilobytesText,
                          Services services, LineGenerator& lines = ProcessLineGenerator());

}  // namespace calverdon
