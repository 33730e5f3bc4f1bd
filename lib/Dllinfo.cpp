#include <calverdon/Dllinfo.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VersionBlock.h"
#include "WinVersion.h"

namespace {

using namespace calverdon;

// The copyright buffer: 79 units of text and the terminating null.
constexpr std::size_t kCopyrightUnits = 80;

std::uint32_t Read32(const void* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);  // the version block is little-endian, as this machine
    return value;
}

UnicodeString Decimal(unsigned number) {
    const std::string digits = std::to_string(number);
    return {digits.begin(), digits.end()};
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

UnicodeString GetDLLInfo(const UnicodeString FileName, UnicodeString& Copyright) {
    static_assert(std::endian::native == std::endian::little, "the version block is read in place");
    Copyright.clear();

    win::DWORD handle = 0;
    const win::DWORD size = GetFileVersionInfoSizeW(FileName.c_str(), &handle);
    if (size == 0) return u"---";
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(FileName.c_str(), handle, size, block.data())) return u"---";

    void* value = nullptr;
    win::UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof(VsFixedFileInfo)) return u"---";
    const auto* fixed = static_cast<const unsigned char*>(value);
    const std::uint32_t ms = Read32(fixed + offsetof(VsFixedFileInfo, dwProductVersionMS));
    const std::uint32_t ls = Read32(fixed + offsetof(VsFixedFileInfo, dwProductVersionLS));
    UnicodeString version = Decimal(ms >> 16) + u'.' + Decimal(ms & 0xFFFF) + u'.' + Decimal(ls >> 16);
    if ((ls & 0xFFFF) != 0) version += u'.' + Decimal(ls & 0xFFFF);

    // An absent or empty translation table leaves the copyright empty.
    if (!VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length) || length < 4) return version;
    std::uint16_t pair[2];
    std::memcpy(pair, value, sizeof pair);
    char path[48];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X%04X\\LegalCopyright", unsigned{pair[0]},
                  unsigned{pair[1]});
    const UnicodeString widePath(path, path + std::strlen(path));
    // Looked up in the block itself rather than through VerQueryValueW,
    // whose length does not say whether it counts units or bytes: a value
    // marked binary states bytes, and read as units it would take twice its
    // size. Either way the value found is clamped to its node.
    const auto copyright = QueryVersionValue(block, widePath);
    if (!copyright) return version;
    const std::size_t bytes = copyright->isText ? 2 * copyright->length : copyright->length;

    // The stated length counts the terminator, but a value may lack one or
    // be longer than the buffer: at most 79 units are taken (of a binary
    // value, only whole units), and the zeroed last unit ends the text in
    // every case.
    char16_t buffer[kCopyrightUnits] = {};
    const std::size_t units = std::min<std::size_t>(bytes / sizeof(char16_t), kCopyrightUnits - 1);
    std::memcpy(buffer, block.data() + copyright->offset, units * sizeof(char16_t));
    Copyright = buffer;  // up to the first null
    // A cut between the halves of a surrogate pair would leave half a
    // character.
    if (units == kCopyrightUnits - 1 && Copyright.size() == units && IsHighSurrogate(Copyright.back())) {
        Copyright.pop_back();
    }
    return version;
}
