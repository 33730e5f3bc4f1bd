// Fuzz target for the phonetic matching units. The first byte chooses where
// the rest of the input is cut into two words, and a maximum code length.
// Checked: the bit-parallel distance equals the full-matrix reference (also
// above 80 bytes and with NUL bytes) and is symmetric; the phonetic code of
// the whole rest holds only the digits 0 to 8, never two equal digits in a
// row and no 0 but in front, its cut is its front, and lower-casing the word
// first changes nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CharLowerBuffA.h"
#include <calverdon/Phonetik.h>
#include "ReferenceDistance.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t control = size > 0 ? data[0] : 0;
    const std::string rest = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : "";

    const std::size_t cut = control % (rest.size() + 1);
    const std::string first = rest.substr(0, cut);
    const std::string second = rest.substr(cut);
    const std::int32_t distance = DamerauLevenshteinDistance(first, second);
    Require(distance == ReferenceDistance(first, second), "distance differs from the full matrix");
    Require(distance == DamerauLevenshteinDistance(second, first), "distance not symmetric");

    const String full = kPhonetik(rest, 32767);
    for (std::size_t i = 0; i < full.size(); ++i) {
        Require(full[i] >= u'0' && full[i] <= u'8', "code holds something else than 0 to 8");
        Require(i == 0 || (full[i] != u'0' && full[i] != full[i - 1]), "code keeps a 0 or a repeated digit");
    }
    Require(full.size() <= 2 * rest.size(), "code longer than two digits per byte");
    const auto maxLength = static_cast<std::int16_t>(static_cast<std::int8_t>(control) * 3);
    const String cutCode = kPhonetik(rest, maxLength);
    Require(cutCode == (maxLength <= 0 ? String() : full.substr(0, static_cast<std::size_t>(maxLength))),
            "cut code is not the front of the full code");
    std::string lowered = rest;
    CharLowerBuffA(lowered.data(), static_cast<std::uint32_t>(lowered.size()));
    Require(kPhonetik(lowered, 32767) == full, "lower-casing first changes the code");
    return 0;
}
