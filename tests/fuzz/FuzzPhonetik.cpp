// Fuzz target for the phonetic matching units. The first byte chooses where
// the rest of the input is cut into two words, and a maximum code length.
// Checked: the bit-parallel distance equals the full-matrix reference (also
// above 80 bytes and with NUL bytes) and is symmetric; the phonetic code of
// the whole rest equals the plain coder's, in full and cut.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include <calverdon/Phonetik.h>
#include "ReferenceDistance.h"
#include "ReferencePhonetik.h"

using calverdon::fuzz::Require;
using calverdon::reference::ReferencePhonetik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t control = size > 0 ? data[0] : 0;
    const std::string rest = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : "";

    const std::size_t cut = control % (rest.size() + 1);
    const std::string first = rest.substr(0, cut);
    const std::string second = rest.substr(cut);
    const std::int32_t distance = DamerauLevenshteinDistance(first, second);
    Require(distance == ReferenceDistance(first, second), "distance differs from the full matrix");
    Require(distance == DamerauLevenshteinDistance(second, first), "distance not symmetric");

    Require(kPhonetik(rest, 32767) == ReferencePhonetik(rest, 32767), "code differs from the plain coder");
    const auto maxLength = static_cast<std::int16_t>(static_cast<std::int8_t>(control) * 3);
    Require(kPhonetik(rest, maxLength) == ReferencePhonetik(rest, maxLength),
            "cut code differs from the plain coder");
    return 0;
}
