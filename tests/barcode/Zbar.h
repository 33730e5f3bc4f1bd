#pragma once
// Reads barcodes in an image file with zbarimg (Debian zbar-tools), an
// independent decoder, so that tests can check that what we draw scans.

#include <optional>
#include <string>
#include <vector>

namespace calverdon::test {

struct ZbarSymbol {
    std::string type;         // "CODE-128", "CODE-39", "I2/5"
    std::string modifiers;    // "GS1" for a symbol that starts with FNC1
    std::string orientation;  // "UP", "RIGHT", "DOWN", "LEFT"
    std::string data;         // UTF-8
};

// Whether zbarimg can be run.
bool ZbarAvailable();

// All symbols zbarimg finds in the file with only the given decoder enabled
// ("code128", "code39", "i25"); nothing when it could not run.
std::optional<std::vector<ZbarSymbol>> ZbarScan(const std::string& path, const std::string& decoder);

}  // namespace calverdon::test
