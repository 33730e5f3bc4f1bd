#include "WinVersion.h"

#include <cstring>
#include <span>
#include <string>

#include "Cp1252.h"
#include "ModuleImage.h"
#include "VersionBlock.h"

namespace calverdon {

namespace {

std::optional<std::vector<unsigned char>> BlockOf(const char16_t* fileName) {
    if (fileName == nullptr) return std::nullopt;
    const auto path = FindModule(fileName, CurrentModuleSearch());
    if (!path) return std::nullopt;
    return ReadVersionBlock(*path);
}

win::BOOL Query(const void* block, std::u16string_view path, bool textAllowed, void** value, win::UINT* length) {
    if (value == nullptr || length == nullptr) return win::kFalse;
    *value = nullptr;
    *length = 0;
    if (block == nullptr) return win::kFalse;
    // The block's root states its length; GetFileVersionInfoW made sure
    // that the buffer holds that much.
    const auto* bytes = static_cast<const unsigned char*>(block);
    const std::size_t stated = static_cast<std::size_t>(bytes[0] | (bytes[1] << 8));
    const std::span<const unsigned char> whole(bytes, stated);
    const auto found = QueryVersionValue(whole, path);
    if (!found || (found->isText && !textAllowed)) return win::kFalse;
    // The root without a fixed record counts as absent.
    if (path.find_first_not_of(u'\\') == std::u16string_view::npos && found->length == 0) return win::kFalse;
    *value = const_cast<unsigned char*>(bytes + found->offset);
    *length = static_cast<win::UINT>(found->length);
    return win::kTrue;
}

}  // namespace

win::DWORD GetFileVersionInfoSizeW(const char16_t* fileName, win::DWORD* handle) {
    if (handle != nullptr) *handle = 0;
    const auto block = BlockOf(fileName);
    return block ? static_cast<win::DWORD>(block->size()) : 0;
}

win::BOOL GetFileVersionInfoW(const char16_t* fileName, win::DWORD /*handle*/, win::DWORD length, void* data) {
    if (data == nullptr) return win::kFalse;
    const auto block = BlockOf(fileName);
    if (!block || block->size() > length) return win::kFalse;
    std::memcpy(data, block->data(), block->size());
    return win::kTrue;
}

win::BOOL VerQueryValueW(const void* block, const char16_t* subBlock, void** value, win::UINT* length) {
    if (subBlock == nullptr) return Query(nullptr, u"", true, value, length);
    return Query(block, subBlock, true, value, length);
}

win::BOOL VerQueryValueA(const void* block, const char* subBlock, void** value, win::UINT* length) {
    if (subBlock == nullptr) return Query(nullptr, u"", false, value, length);
    return Query(block, Cp1252ToUtf16(subBlock), false, value, length);
}

}  // namespace calverdon
