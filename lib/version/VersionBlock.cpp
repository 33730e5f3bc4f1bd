#include "VersionBlock.h"

#include <algorithm>
#include <stdexcept>

namespace calverdon {

namespace {

constexpr std::size_t kHeaderBytes = 6;  // wLength, wValueLength, wType
constexpr std::uint16_t kTypeText = 1;

constexpr std::size_t Align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

std::uint16_t Get16(std::span<const unsigned char> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

struct Node {
    std::size_t end = 0;            // one past the node's last byte
    std::size_t keyOffset = 0;      // first unit of the key
    std::size_t keyUnits = 0;       // without the terminator
    VersionValue value;
    std::size_t childrenOffset = 0;
};

// The node at `start`, which must lie within [start, limit). Fails when its
// stated length leaves that range or its key has no terminator.
std::optional<Node> ParseNode(std::span<const unsigned char> block, std::size_t start, std::size_t limit) {
    if (start > limit || limit - start < kMinimumNodeLength) return std::nullopt;
    const std::size_t length = Get16(block, start);
    if (length < kMinimumNodeLength || length > limit - start) return std::nullopt;
    Node node;
    node.end = start + length;
    node.keyOffset = start + kHeaderBytes;
    std::size_t pos = node.keyOffset;
    while (pos + 2 <= node.end && Get16(block, pos) != 0) pos += 2;
    if (pos + 2 > node.end) return std::nullopt;
    node.keyUnits = (pos - node.keyOffset) / 2;

    const std::uint16_t valueLength = Get16(block, start + 2);
    node.value.isText = Get16(block, start + 4) == kTypeText;
    node.value.offset = std::min(Align4(pos + 2), node.end);
    // Some writers state a text value's length in bytes rather than units;
    // either way the value cannot reach past its node.
    const std::size_t room = node.end - node.value.offset;
    const std::size_t statedBytes = node.value.isText ? std::size_t{valueLength} * 2 : valueLength;
    const std::size_t bytes = std::min(statedBytes, room);
    node.value.length = node.value.isText ? bytes / 2 : bytes;
    node.childrenOffset = std::min(Align4(node.value.offset + bytes), node.end);
    return node;
}

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool KeyEquals(std::span<const unsigned char> block, const Node& node, std::u16string_view name) {
    if (node.keyUnits != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (FoldAscii(Get16(block, node.keyOffset + 2 * i)) != FoldAscii(name[i])) return false;
    }
    return true;
}

std::optional<Node> FindChild(std::span<const unsigned char> block, const Node& parent, std::u16string_view name) {
    std::size_t pos = parent.childrenOffset;
    while (pos < parent.end) {
        const auto child = ParseNode(block, pos, parent.end);
        if (!child) return std::nullopt;
        if (KeyEquals(block, *child, name)) return child;
        pos = Align4(child->end);
    }
    return std::nullopt;
}

// Writing.

void Put16(std::vector<unsigned char>& out, std::uint16_t value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

void PadTo4(std::vector<unsigned char>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

// One node with its children; every node starts on a 4-byte boundary of
// the block, so padding counted from the node's start is padding counted
// from the block's.
std::vector<unsigned char> MakeNode(std::u16string_view key, bool text, std::uint16_t valueLength,
                                    const std::vector<unsigned char>& value,
                                    const std::vector<std::vector<unsigned char>>& children) {
    std::vector<unsigned char> out;
    Put16(out, 0);  // length, filled in below
    Put16(out, valueLength);
    Put16(out, text ? kTypeText : 0);
    for (const char16_t c : key) Put16(out, c);
    Put16(out, 0);
    PadTo4(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const auto& child : children) {
        PadTo4(out);
        out.insert(out.end(), child.begin(), child.end());
    }
    if (out.size() > 0xFFFF) throw std::length_error("version block node longer than 65535 bytes");
    // The stated length leaves out the padding after the node.
    out[0] = static_cast<unsigned char>(out.size() & 0xFF);
    out[1] = static_cast<unsigned char>(out.size() >> 8);
    return out;
}

std::u16string HexKey(std::uint16_t language, std::uint16_t codePage) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string key;
    for (const std::uint16_t part : {language, codePage}) {
        for (int shift = 12; shift >= 0; shift -= 4) key.push_back(kDigits[(part >> shift) & 0xF]);
    }
    return key;
}

}  // namespace

std::optional<std::size_t> VersionBlockLength(std::span<const unsigned char> bytes) {
    if (bytes.size() < kMinimumNodeLength) return std::nullopt;
    const std::size_t length = Get16(bytes, 0);
    if (length < kMinimumNodeLength || length > bytes.size()) return std::nullopt;
    return length;
}

std::optional<VersionValue> QueryVersionValue(std::span<const unsigned char> block, std::u16string_view path) {
    const auto length = VersionBlockLength(block);
    if (!length) return std::nullopt;
    auto node = ParseNode(block, 0, *length);
    while (node) {
        while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
        if (path.empty()) return node->value;
        const std::size_t cut = std::min(path.find(u'\\'), path.size());
        node = FindChild(block, *node, path.substr(0, cut));
        path.remove_prefix(cut);
    }
    return std::nullopt;
}

std::vector<unsigned char> BuildVersionBlock(const VersionBlockContent& content) {
    const auto pack = [](const std::uint16_t (&v)[4], int half) {
        return (std::uint32_t{v[2 * half]} << 16) | v[2 * half + 1];
    };
    std::vector<unsigned char> fixed;
    Put32(fixed, kFixedFileInfoSignature);
    Put32(fixed, 0x00010000);  // structure version 1.0
    Put32(fixed, pack(content.fileVersion, 0));
    Put32(fixed, pack(content.fileVersion, 1));
    Put32(fixed, pack(content.productVersion, 0));
    Put32(fixed, pack(content.productVersion, 1));
    Put32(fixed, 0x3F);  // all defined flags are meaningful, none is set
    for (int i = 0; i < 6; ++i) Put32(fixed, 0);  // flags, OS, type, subtype, date: unknown

    std::vector<std::vector<unsigned char>> strings;
    for (const auto& [name, text] : content.strings) {
        std::vector<unsigned char> value;
        for (const char16_t c : text) Put16(value, c);
        Put16(value, 0);
        strings.push_back(MakeNode(name, true, static_cast<std::uint16_t>(text.size() + 1), value, {}));
    }
    const auto table = MakeNode(HexKey(content.language, content.codePage), true, 0, {}, strings);
    const auto stringInfo = MakeNode(u"StringFileInfo", true, 0, {}, {table});

    std::vector<unsigned char> pair;
    Put16(pair, content.language);
    Put16(pair, content.codePage);
    const auto translation = MakeNode(u"Translation", false, 4, pair, {});
    const auto varInfo = MakeNode(u"VarFileInfo", true, 0, {}, {translation});

    return MakeNode(u"VS_VERSION_INFO", false, static_cast<std::uint16_t>(fixed.size()), fixed,
                    {stringInfo, varInfo});
}

}  // namespace calverdon
