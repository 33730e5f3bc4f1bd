#pragma once
// Where a module file keeps its version block, and which file a module name
// means. Windows modules (PE32 and PE32+) carry it as their version
// resource; our own ELF modules carry it in the section kElfVersionSection,
// which the build fills (cmake/CalverdonVersion.cmake). Every offset and
// count read from a file is checked against the file before it is used.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "File.h"

namespace calverdon {

inline constexpr std::string_view kElfVersionSection = ".calverdon_version";

// Random access to the bytes of a file or of a buffer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; fails for any byte past the end.
    virtual bool Read(std::uint64_t offset, void* out, std::size_t size) const = 0;
};

class SpanSource final : public ByteSource {
public:
    explicit SpanSource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, void* out, std::size_t size) const override;

private:
    std::span<const unsigned char> bytes_;
};

class FileSource final : public ByteSource {
public:
    // Opens a regular file; IsOpen() tells whether that worked.
    explicit FileSource(const std::filesystem::path& path);
    bool IsOpen() const { return fd_.IsOpen(); }
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, void* out, std::size_t size) const override;

private:
    UniqueFd fd_;
    std::uint64_t size_ = 0;
};

// A run of bytes in a file.
struct FileExtent {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// The data of resource type 16 (version), name 1, first language, of a PE
// module; nothing when the file is no PE module or has no such resource.
std::optional<FileExtent> FindPeVersionResource(const ByteSource& source);

// The contents of the section kElfVersionSection of an ELF module (32 or
// 64 bit, either byte order).
std::optional<FileExtent> FindElfVersionSection(const ByteSource& source);

// The version block of a PE or ELF module, cut to its root's stated
// length; nothing when there is none or it does not fit where it lies.
std::optional<std::vector<unsigned char>> ReadVersionBlock(const ByteSource& source);
std::optional<std::vector<unsigned char>> ReadVersionBlock(const std::filesystem::path& path);

// The folders a bare module name is looked up in, in this order.
struct ModuleSearch {
    std::filesystem::path exeFolder;
    std::string ldLibraryPath;  // colon-separated, as in the environment
    std::vector<std::filesystem::path> systemFolders;
};

// The running process's: its executable's folder, LD_LIBRARY_PATH and the
// system's library folders.
ModuleSearch CurrentModuleSearch();

// The running executable's path, empty when it cannot be told.
std::filesystem::path ExecutablePath();

// A name with a slash is a path and used as it is; a bare name is the first
// regular file of that name in the folders of `search`. Nothing for an
// empty name, one holding a null character, or a bare name found nowhere.
std::optional<std::filesystem::path> FindModule(std::u16string_view name, const ModuleSearch& search);

}  // namespace calverdon
