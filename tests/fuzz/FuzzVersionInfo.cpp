// Fuzz target for the version readers. The input is taken three ways: as a
// module file (PE or ELF) whose version block is looked up, as a version
// block itself, and as a file on disk that GetDLLInfo reads. Checked: a
// block found lies within the input, every value found lies within its
// block, and GetDLLInfo gives "---" with an empty copyright or a dotted
// version with a copyright of at most 79 units.
#include <array>
#include <span>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "Cp1252.h"
#include "FuzzSupport.h"
#include <calverdon/Dllinfo.h>
#include "ModuleImage.h"
#include "VersionBlock.h"

namespace {

namespace fs = std::filesystem;

using calverdon::fuzz::Require;

void QueryAll(std::span<const unsigned char> block) {
    static constexpr std::array<std::u16string_view, 5> kPaths = {
        u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040704E4\\LegalCopyright",
        u"\\StringFileInfo\\040704E4", u"\\StringFileInfo\\040904B0\\ProductVersion"};
    for (const auto path : kPaths) {
        const auto found = calverdon::QueryVersionValue(block, path);
        if (!found) continue;
        const std::size_t bytes = found->isText ? 2 * found->length : found->length;
        Require(found->offset <= block.size() && bytes <= block.size() - found->offset, "value outside its block");
    }
}

// In a scratch folder that goes when the process ends.
const fs::path& File() {
    static const calverdon::fuzz::ScratchFolder scratch;
    static const fs::path file = scratch / "module.dll";
    return file;
}

bool IsVersionText(const std::u16string& text) {
    if (text == u"---") return true;
    int dots = 0;
    bool digit = false;
    for (const char16_t c : text) {
        if (c == u'.') {
            if (!digit) return false;
            ++dots;
            digit = false;
        } else if (c >= u'0' && c <= u'9') {
            digit = true;
        } else {
            return false;
        }
    }
    return digit && (dots == 2 || dots == 3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> input(data, size);

    const auto block = calverdon::ReadVersionBlock(calverdon::SpanSource(input));
    if (block) {
        Require(block->size() <= size, "block larger than its file");
        QueryAll(*block);
    }
    if (const auto length = calverdon::VersionBlockLength(input)) QueryAll(input.first(*length));

    std::ofstream(File(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::u16string copyright = u"vorher";
    const std::u16string version = GetDLLInfo(calverdon::Utf8ToUtf16(File().string()), copyright);
    Require(IsVersionText(version), "version text malformed");
    Require(version != u"---" || copyright.empty(), "copyright beside ---");
    Require(copyright.size() <= 79, "copyright longer than its buffer");
    Require(version == u"---" || block.has_value(), "a version without a block");
    return 0;
}
