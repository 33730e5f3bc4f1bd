#include "ModuleImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "Cp1252.h"
#include "VersionBlock.h"

namespace calverdon {

namespace {

// Section tables and resource directories larger than this are not real.
constexpr std::uint64_t kMaxTableBytes = 16 * 1024 * 1024;

template <typename T>
T Little(const unsigned char* p) {
    T value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) value = static_cast<T>((value << 8) | p[i]);
    return value;
}

template <typename T>
T Big(const unsigned char* p) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>((value << 8) | p[i]);
    return value;
}

// Reads `count` bytes into a fresh buffer, or nothing.
std::optional<std::vector<unsigned char>> ReadBytes(const ByteSource& source, std::uint64_t offset,
                                                    std::uint64_t count) {
    if (count > kMaxTableBytes) return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
    if (!source.Read(offset, bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
}

// PE: the fields used, with their offsets in the published layout.
constexpr std::uint32_t kDosLfanew = 0x3C;
constexpr std::size_t kCoffBytes = 4 + 20;  // "PE\0\0" and the file header
constexpr std::size_t kSectionBytes = 40;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectory = 2;  // index among the data directories
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionResourceName = 1;
constexpr std::uint32_t kHighBit = 0x80000000;

struct PeSection {
    std::uint32_t address = 0;  // RVA
    std::uint32_t extent = 0;   // bytes present both in the image and in the file
    std::uint32_t fileOffset = 0;
};

class PeImage {
public:
    PeImage(const ByteSource& source, std::vector<PeSection> sections)
        : source_(source), sections_(std::move(sections)) {}

    // The file offset of `length` bytes at `rva`, all within one section's
    // bytes in the file.
    std::optional<std::uint64_t> Offset(std::uint64_t rva, std::uint64_t length) const {
        for (const PeSection& s : sections_) {
            if (rva < s.address) continue;
            const std::uint64_t into = rva - s.address;
            if (into <= s.extent && length <= s.extent - into) return std::uint64_t{s.fileOffset} + into;
        }
        return std::nullopt;
    }

    std::optional<std::vector<unsigned char>> ReadRva(std::uint64_t rva, std::uint64_t length) const {
        const auto offset = Offset(rva, length);
        if (!offset) return std::nullopt;
        return ReadBytes(source_, *offset, length);
    }

private:
    const ByteSource& source_;
    std::vector<PeSection> sections_;
};

// The entry with numeric ID `id` of the resource directory at `directory`
// (relative to the resource root), or with any ID when `id` is empty: its
// data field.
std::optional<std::uint32_t> FindResourceEntry(const PeImage& image, std::uint64_t root, std::uint32_t directory,
                                               std::optional<std::uint32_t> id) {
    const auto header = image.ReadRva(root + directory, 16);
    if (!header) return std::nullopt;
    const std::uint64_t named = Little<std::uint16_t>(header->data() + 12);
    const std::uint64_t ids = Little<std::uint16_t>(header->data() + 14);
    // Named entries come first; only the numbered ones matter here.
    const auto entries = image.ReadRva(root + directory + 16 + 8 * named, 8 * ids);
    if (!entries) return std::nullopt;
    for (std::size_t i = 0; i < ids; ++i) {
        const std::uint32_t name = Little<std::uint32_t>(entries->data() + 8 * i);
        if (name & kHighBit) continue;
        if (!id || name == *id) return Little<std::uint32_t>(entries->data() + 8 * i + 4);
    }
    return std::nullopt;
}

// Where the headers of a PE file put the optional header and the section
// table that follows it.
struct PeHeaders {
    std::uint64_t optionalOffset = 0;
    std::uint64_t optionalBytes = 0;
    std::uint64_t sectionCount = 0;
};

// The DOS header's pointer to the PE signature, and the file header behind it.
std::optional<PeHeaders> ReadPeHeaders(const ByteSource& source) {
    const auto dos = ReadBytes(source, 0, 0x40);
    if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = Little<std::uint32_t>(dos->data() + kDosLfanew);
    const auto coff = ReadBytes(source, pe, kCoffBytes);
    if (!coff || std::memcmp(coff->data(), "PE\0\0", 4) != 0) return std::nullopt;
    PeHeaders headers;
    headers.sectionCount = Little<std::uint16_t>(coff->data() + 4 + 2);
    headers.optionalBytes = Little<std::uint16_t>(coff->data() + 4 + 16);
    headers.optionalOffset = pe + kCoffBytes;
    return headers;
}

// The address of the resource directory, from the optional header's data
// directories; nothing when there is none.
std::optional<std::uint32_t> ResourceRoot(const ByteSource& source, const PeHeaders& headers) {
    const auto optional = ReadBytes(source, headers.optionalOffset, headers.optionalBytes);
    if (!optional || headers.optionalBytes < 2) return std::nullopt;
    // The data directories follow the fields whose width differs between
    // the two formats: 96 bytes into a PE32 header, 112 into a PE32+ one,
    // each after the count of directories.
    std::size_t directories = 0;
    switch (Little<std::uint16_t>(optional->data())) {
        case kMagicPe32:
            directories = 96;
            break;
        case kMagicPe32Plus:
            directories = 112;
            break;
        default:
            return std::nullopt;
    }
    const std::size_t resourceEntry = directories + 8 * kResourceDirectory;
    if (headers.optionalBytes < resourceEntry + 8) return std::nullopt;
    if (Little<std::uint32_t>(optional->data() + directories - 4) <= kResourceDirectory) return std::nullopt;
    const std::uint32_t root = Little<std::uint32_t>(optional->data() + resourceEntry);
    if (root == 0) return std::nullopt;
    return root;
}

std::optional<std::vector<PeSection>> ReadSections(const ByteSource& source, const PeHeaders& headers) {
    const auto table = ReadBytes(source, headers.optionalOffset + headers.optionalBytes,
                                 headers.sectionCount * kSectionBytes);
    if (!table) return std::nullopt;
    std::vector<PeSection> sections;
    for (std::size_t i = 0; i < headers.sectionCount; ++i) {
        const unsigned char* s = table->data() + i * kSectionBytes;
        const std::uint32_t virtualSize = Little<std::uint32_t>(s + 8);
        const std::uint32_t rawSize = Little<std::uint32_t>(s + 16);
        // Past its raw data a section is zeros that the file does not hold;
        // past its virtual size the file's bytes are not part of the image.
        sections.push_back({Little<std::uint32_t>(s + 12), virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize),
                            Little<std::uint32_t>(s + 20)});
    }
    return sections;
}

// The version resource's data below the resource directory at `root`.
// Three levels: type, name, language. The first two lead to further
// directories, the third to a data entry.
std::optional<FileExtent> FindVersionData(const PeImage& image, std::uint32_t root) {
    const auto byType = FindResourceEntry(image, root, 0, kRtVersion);
    if (!byType || !(*byType & kHighBit)) return std::nullopt;
    const auto byName = FindResourceEntry(image, root, *byType & ~kHighBit, kVersionResourceName);
    if (!byName || !(*byName & kHighBit)) return std::nullopt;
    const auto byLanguage = FindResourceEntry(image, root, *byName & ~kHighBit, std::nullopt);
    if (!byLanguage || (*byLanguage & kHighBit)) return std::nullopt;
    const auto data = image.ReadRva(std::uint64_t{root} + *byLanguage, 16);
    if (!data) return std::nullopt;
    const std::uint32_t dataRva = Little<std::uint32_t>(data->data());
    const std::uint32_t dataSize = Little<std::uint32_t>(data->data() + 4);
    const auto offset = image.Offset(dataRva, dataSize);
    if (!offset) return std::nullopt;
    return FileExtent{*offset, dataSize};
}

// ELF: a section header as both classes have it.
struct ElfSection {
    std::uint32_t name = 0;  // offset of its name in the names section
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

constexpr std::uint32_t kNoBits = 8;  // SHT_NOBITS: no bytes in the file

// How an ELF file stores its fields: 32 or 64 bit, either byte order.
class ElfFormat {
public:
    // From the identification bytes; nothing for another file, or another
    // class or byte order.
    static std::optional<ElfFormat> Of(const ByteSource& source) {
        const auto ident = ReadBytes(source, 0, 16);
        if (!ident || std::memcmp(ident->data(), "\x7F" "ELF", 4) != 0) return std::nullopt;
        const bool wide = (*ident)[4] == 2;
        if (!wide && (*ident)[4] != 1) return std::nullopt;
        const bool big = (*ident)[5] == 2;
        if (!big && (*ident)[5] != 1) return std::nullopt;
        return ElfFormat(wide, big);
    }

    bool Wide() const { return wide_; }
    std::uint16_t U16(const unsigned char* p) const { return big_ ? Big<std::uint16_t>(p) : Little<std::uint16_t>(p); }
    std::uint32_t U32(const unsigned char* p) const { return big_ ? Big<std::uint32_t>(p) : Little<std::uint32_t>(p); }
    std::uint64_t U64(const unsigned char* p) const { return big_ ? Big<std::uint64_t>(p) : Little<std::uint64_t>(p); }
    // A word is 64 bits in ELF64 and 32 bits in ELF32.
    std::uint64_t Word(const unsigned char* p) const { return wide_ ? U64(p) : U32(p); }

    ElfSection SectionAt(const unsigned char* s) const {
        return wide_ ? ElfSection{U32(s), U32(s + 4), U64(s + 24), U64(s + 32), U32(s + 40)}
                     : ElfSection{U32(s), U32(s + 4), U32(s + 16), U32(s + 20), U32(s + 24)};
    }

private:
    ElfFormat(bool wide, bool big) : wide_(wide), big_(big) {}
    bool wide_;
    bool big_;
};

// The section header table, read whole.
struct ElfSectionTable {
    ElfFormat format;
    std::vector<unsigned char> bytes;
    std::uint64_t entryBytes = 0;
    std::uint64_t count = 0;
    std::uint64_t namesIndex = 0;  // the section that holds the names

    ElfSection At(std::uint64_t index) const { return format.SectionAt(bytes.data() + index * entryBytes); }
};

std::optional<ElfSectionTable> ReadSectionTable(const ByteSource& source, const ElfFormat& format) {
    const bool wide = format.Wide();
    const auto header = ReadBytes(source, 0, wide ? 64 : 52);
    if (!header) return std::nullopt;
    const unsigned char* h = header->data();
    const std::uint64_t tableOffset = format.Word(h + (wide ? 0x28 : 0x20));
    const std::uint64_t entryBytes = format.U16(h + (wide ? 0x3A : 0x2E));
    std::uint64_t count = format.U16(h + (wide ? 0x3C : 0x30));
    std::uint64_t namesIndex = format.U16(h + (wide ? 0x3E : 0x32));
    if (tableOffset == 0 || entryBytes < (wide ? 64u : 40u)) return std::nullopt;

    // Many sections: the real count is in the first entry's size, and an
    // index of 0xFFFF for the names means it is in that entry's link.
    const auto first = ReadBytes(source, tableOffset, entryBytes);
    if (!first) return std::nullopt;
    if (count == 0) count = format.SectionAt(first->data()).size;
    if (namesIndex == 0xFFFF) namesIndex = format.SectionAt(first->data()).link;
    if (count == 0 || namesIndex >= count || count > kMaxTableBytes / entryBytes) return std::nullopt;
    auto table = ReadBytes(source, tableOffset, count * entryBytes);
    if (!table) return std::nullopt;
    return ElfSectionTable{format, std::move(*table), entryBytes, count, namesIndex};
}

// Whether the name of `section`, in the names section, is kElfVersionSection.
bool IsVersionSection(const ByteSource& source, const ElfSection& names, const ElfSection& section) {
    std::array<unsigned char, kElfVersionSection.size() + 1> name;  // with its terminator
    if (section.name > names.size || name.size() > names.size - section.name) return false;
    if (names.offset > UINT64_MAX - section.name) return false;
    if (!source.Read(names.offset + section.name, name.data(), name.size())) return false;
    return std::memcmp(name.data(), kElfVersionSection.data(), kElfVersionSection.size()) == 0 && name.back() == 0;
}

}  // namespace

bool SpanSource::Read(std::uint64_t offset, void* out, std::size_t size) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size > 0) std::memcpy(out, bytes_.data() + offset, size);
    return true;
}

FileSource::FileSource(const std::filesystem::path& path) {
    // Non-blocking, so that a FIFO given by mistake does not hang the
    // caller until it is found not to be a regular file.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return;
    size_ = static_cast<std::uint64_t>(status.st_size);
    fd_ = std::move(fd);
}

bool FileSource::Read(std::uint64_t offset, void* out, std::size_t size) const {
    if (!fd_.IsOpen() || offset > size_ || size > size_ - offset) return false;
    auto* to = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ssize_t got = ::pread(fd_.Get(), to, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;  // an error, or the file shrank
        to += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<FileExtent> FindPeVersionResource(const ByteSource& source) {
    const auto headers = ReadPeHeaders(source);
    if (!headers) return std::nullopt;
    const auto root = ResourceRoot(source, *headers);
    if (!root) return std::nullopt;
    auto sections = ReadSections(source, *headers);
    if (!sections) return std::nullopt;
    return FindVersionData(PeImage(source, std::move(*sections)), *root);
}

std::optional<FileExtent> FindElfVersionSection(const ByteSource& source) {
    const auto format = ElfFormat::Of(source);
    if (!format) return std::nullopt;
    const auto table = ReadSectionTable(source, *format);
    if (!table) return std::nullopt;
    const ElfSection names = table->At(table->namesIndex);
    if (names.type == kNoBits) return std::nullopt;
    for (std::uint64_t i = 0; i < table->count; ++i) {
        const ElfSection s = table->At(i);
        if (!IsVersionSection(source, names, s)) continue;
        if (s.type == kNoBits) return std::nullopt;
        return FileExtent{s.offset, s.size};
    }
    return std::nullopt;
}

std::optional<std::vector<unsigned char>> ReadVersionBlock(const ByteSource& source) {
    auto extent = FindPeVersionResource(source);
    if (!extent) extent = FindElfVersionSection(source);
    if (!extent || extent->size < 2) return std::nullopt;
    unsigned char lengthBytes[2];
    if (!source.Read(extent->offset, lengthBytes, 2)) return std::nullopt;
    const std::uint64_t length = Little<std::uint16_t>(lengthBytes);
    if (length > extent->size) return std::nullopt;
    auto block = ReadBytes(source, extent->offset, length);
    if (!block || VersionBlockLength(*block) != length) return std::nullopt;
    return block;
}

std::optional<std::vector<unsigned char>> ReadVersionBlock(const std::filesystem::path& path) {
    const FileSource source(path);
    if (!source.IsOpen()) return std::nullopt;
    return ReadVersionBlock(source);
}

ModuleSearch CurrentModuleSearch() {
    ModuleSearch search;
    search.exeFolder = ExecutablePath().parent_path();
    if (const char* value = std::getenv("LD_LIBRARY_PATH")) search.ldLibraryPath = value;
    search.systemFolders = {"/lib", "/usr/lib", "/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu",
                            "/usr/local/lib"};
    return search;
}

std::filesystem::path ExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::optional<std::filesystem::path> FindModule(std::u16string_view name, const ModuleSearch& search) {
    if (name.empty() || name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
    const std::filesystem::path path(Utf16ToUtf8(name));
    if (name.find(u'/') != std::u16string_view::npos) return path;

    const auto candidate = [&](const std::filesystem::path& folder) -> std::optional<std::filesystem::path> {
        // An empty folder would mean the working directory, which a library
        // search must not pick up by accident.
        if (folder.empty()) return std::nullopt;
        std::error_code error;
        std::filesystem::path full = folder / path;
        if (std::filesystem::is_regular_file(full, error)) return full;
        return std::nullopt;
    };
    if (auto found = candidate(search.exeFolder)) return found;
    std::string_view rest = search.ldLibraryPath;
    while (!rest.empty()) {
        const std::size_t cut = std::min(rest.find(':'), rest.size());
        if (auto found = candidate(std::string(rest.substr(0, cut)))) return found;
        rest.remove_prefix(std::min(cut + 1, rest.size()));
    }
    for (const auto& folder : search.systemFolders) {
        if (auto found = candidate(folder)) return found;
    }
    return std::nullopt;
}

}  // namespace calverdon
