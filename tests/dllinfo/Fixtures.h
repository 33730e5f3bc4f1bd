#pragma once
// Shared helpers of the version tests: the fixture folder, whole-file
// reading and writing, little-endian fields and a scratch folder.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "../support/TestFolder.h"

namespace dllinfo_test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

inline fs::path Fixture(std::string_view name) { return fs::path(DLLINFO_FIXTURES) / name; }

inline Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const fs::path& path, const Bytes& bytes, std::size_t count) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
}
inline void WriteAll(const fs::path& path, const Bytes& bytes) { WriteAll(path, bytes, bytes.size()); }

inline std::uint32_t Get(const Bytes& b, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    return v;
}
inline void Put(Bytes& b, std::size_t at, int width, std::uint32_t v) {
    for (int i = 0; i < width; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<unsigned char>(v >> (8 * i));
}

// The offset of `text` as UTF-16LE in `bytes`, or npos.
inline std::size_t FindUtf16(const Bytes& bytes, std::u16string_view text) {
    std::string pattern;
    for (char16_t c : text) {
        pattern.push_back(static_cast<char>(c & 0xFF));
        pattern.push_back(static_cast<char>(c >> 8));
    }
    const std::string_view haystack(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return haystack.find(pattern);
}

using ScratchFolder = calverdon::testing::ScratchFolder;

}  // namespace dllinfo_test
