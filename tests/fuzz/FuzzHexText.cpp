// Fuzz target for the hex-text engine. The input is cut at each "@@" into
// the parts of a chain (f.txt, f_2.txt, ...), which are checked and decoded;
// the input is also encoded as a binary file and decoded back. Checked:
// checking and decoding agree, a failure leaves no target, no temporary
// file is ever left behind, and the round trip gives back the same bytes.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "HexText.h"
#include "TestMessages.h"

namespace {

namespace fs = std::filesystem;
using calverdon::fuzz::Require;

// Pending files and sets of them wait under hidden ".calverdon-" names.
void RequireNothingPending(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        Require(!entry.path().filename().string().starts_with(".calverdon-"), "temporary file left behind");
    }
}

void Write(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static calverdon::fuzz::ScratchFolder scratch;
    const fs::path folder = scratch.Empty();

    // The chain.
    std::string_view rest = input;
    for (int part = 1; part <= 4; ++part) {
        const auto cut = part < 4 ? rest.find("@@") : std::string_view::npos;
        const std::string name = part == 1 ? "f.txt" : "f_" + std::to_string(part) + ".txt";
        Write(folder / name, rest.substr(0, cut));
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 2);
    }
    calverdon::testing::SilentMessages quiet;
    calverdon::ReadTargetName(folder / "f.txt", quiet);
    const auto checked = calverdon::CheckHexText(folder / "f.txt", {quiet});
    const auto decoded = calverdon::HexToBin(folder / "f.txt", folder / "out.bin", {quiet});
    Require(decoded == checked, "checking and decoding disagree");
    Require((decoded == calverdon::ConversionResult::Failed) != fs::exists(folder / "out.bin"),
            "target present after failure, or missing after success");
    RequireNothingPending(folder);

    // The round trip, with a size limit of 0 to 3 kB taken from the input.
    if (size == 0) return 0;
    scratch.Empty();
    Write(folder / "data.bin", input);
    const std::string kb = std::to_string(data[0] % 4);
    Require(calverdon::BinToHex(folder / "data.bin", folder / "data.txt", kb, {quiet}) ==
                calverdon::ConversionResult::Succeeded,
            "encoding failed");
    Require(calverdon::HexToBin(folder / "data.txt", folder / "back.bin", {quiet}) ==
                calverdon::ConversionResult::Succeeded,
            "decoding the encoder's output failed");
    Require(Read(folder / "back.bin") == input, "round trip changed the bytes");
    RequireNothingPending(folder);
    return 0;
}
