// Writes a C++ source file that places a version block into the section
// that FindElfVersionSection looks for. The block lies in top-level
// assembly, so that no compiler instrumentation (sanitizer redzones) can
// pad or move it; the section is allocated and marked to be retained, so
// that neither the linker's garbage collection nor stripping drops it.
//
// Usage: calverdon_version_source OUTPUT.cpp VERSION COPYRIGHT PRODUCT DESCRIPTION FILENAME
// VERSION is up to four dotted numbers; the texts are UTF-8.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "Cp1252.h"
#include "ModuleImage.h"
#include "VersionBlock.h"

namespace {

bool ParseVersion(std::string_view text, std::uint16_t (&parts)[4]) {
    for (int i = 0; i < 4; ++i) {
        parts[i] = 0;
        if (text.empty()) continue;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parts[i]);
        if (error != std::errc() || end == text.data()) return false;
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (!text.empty() && (text.front() != '.' || i == 3)) return false;
        if (!text.empty()) text.remove_prefix(1);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp VERSION COPYRIGHT PRODUCT DESCRIPTION FILENAME\n", argv[0]);
        return 2;
    }
    using calverdon::Utf8ToUtf16;
    calverdon::VersionBlockContent content;
    if (!ParseVersion(argv[2], content.fileVersion)) {
        std::fprintf(stderr, "%s: not a version: %s\n", argv[0], argv[2]);
        return 2;
    }
    std::copy(std::begin(content.fileVersion), std::end(content.fileVersion), content.productVersion);
    const std::u16string version = Utf8ToUtf16(argv[2]);
    content.strings = {
        {u"FileDescription", Utf8ToUtf16(argv[5])}, {u"FileVersion", version},
        {u"LegalCopyright", Utf8ToUtf16(argv[3])},  {u"OriginalFilename", Utf8ToUtf16(argv[6])},
        {u"ProductName", Utf8ToUtf16(argv[4])},     {u"ProductVersion", version},
    };
    const auto block = calverdon::BuildVersionBlock(content);

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "// Written by calverdon_version_source: the version block of " << argv[6] << ".\n"
        << "asm(\".pushsection " << calverdon::kElfVersionSection << ",\\\"aR\\\",%progbits\\n\"\n"
        << "    \".balign 4\\n\"\n";
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < block.size(); i += 16) {
        out << "    \".byte ";
        for (std::size_t j = i; j < block.size() && j < i + 16; ++j) {
            out << (j > i ? "," : "") << "0x" << kHex[block[j] >> 4] << kHex[block[j] & 0xF];
        }
        out << "\\n\"\n";
    }
    out << "    \".popsection\\n\");\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
