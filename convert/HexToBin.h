#pragma once
// The decoder: a chain of hex-text parts back into the file it carries.

#include <filesystem>

#include "ChainSource.h"
#include "DecodedFile.h"
#include "Format.h"
#include "Services.h"

namespace calverdon {

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

// The same for a chain whose parts come from elsewhere than one folder.
// With a batch, the result gets its name when the batch is published
// (DecodedFile.h), and `written` tells where it will go.
ConversionResult HexToBin(ChainSource& chain, const std::filesystem::path& target, Services services,
                          std::filesystem::path* written = nullptr, PublishBatch* batch = nullptr);
ConversionResult CheckHexText(ChainSource& chain, Services services);

}  // namespace calverdon
