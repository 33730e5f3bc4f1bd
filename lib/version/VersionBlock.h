#pragma once
// The binary layout of a module's version block, as Windows modules carry it
// in their version resource: a tree of nodes, each
//
//   uint16 wLength       bytes of the node, children included
//   uint16 wValueLength  value length: UTF-16 units for text, else bytes
//   uint16 wType         1 = text value, 0 = binary value
//   char16 szKey[]       null-terminated key, then padding to 4 bytes
//   value                then padding to 4 bytes
//   children             each starting on a 4-byte boundary
//
// all little-endian, offsets counted from the start of the block. The root
// ("VS_VERSION_INFO") holds the fixed record; its children are
// "StringFileInfo" with one table per language and code page ("040704E4")
// of text values, and "VarFileInfo" with the "Translation" pairs.
//
// The reader here never goes past the block's own root length, nor past the
// length of any node into its parent's neighbours.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace calverdon {

// The fixed record at the root of a version block.
struct VsFixedFileInfo {
    std::uint32_t dwSignature;  // kFixedFileInfoSignature
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};
static_assert(sizeof(VsFixedFileInfo) == 52, "the fixed record is thirteen 32-bit fields");
static_assert(offsetof(VsFixedFileInfo, dwProductVersionMS) == 16);
static_assert(offsetof(VsFixedFileInfo, dwProductVersionLS) == 20);

inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
// Smallest node: its three 16-bit fields and an empty key's terminator.
inline constexpr std::size_t kMinimumNodeLength = 3 * 2 + 2;

// A value found in a block: where it starts (bytes from the block's start),
// its length as the node states it, clamped to the node (UTF-16 units for
// text, bytes otherwise), and whether it is text.
struct VersionValue {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool isText = false;
};

// The length of the block at the start of `bytes` as its root states it,
// or nothing when the root does not fit into `bytes` or is too short to be
// a node.
std::optional<std::size_t> VersionBlockLength(std::span<const unsigned char> bytes);

// Looks a value up by its path: components separated by backslashes,
// compared without regard to ASCII case; a lone backslash (or an empty
// path) names the root's own value. `block` must hold at least the root's
// stated length.
std::optional<VersionValue> QueryVersionValue(std::span<const unsigned char> block, std::u16string_view path);

// What the build writes into its modules.
struct VersionBlockContent {
    std::uint16_t fileVersion[4] = {};
    std::uint16_t productVersion[4] = {};
    std::uint16_t language = 0x0407;
    std::uint16_t codePage = 0x04E4;
    // Name and text of each string value, in this order.
    std::vector<std::pair<std::u16string, std::u16string>> strings;
};

std::vector<unsigned char> BuildVersionBlock(const VersionBlockContent& content);

}  // namespace calverdon
