// The layer under GetDLLInfo: broken and cut PE and ELF files, the module
// search order, and the version functions' own contracts. Header offsets
// are those of the published PE and ELF layouts, read from the fixtures.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "Cp1252.h"
#include <calverdon/Dllinfo.h>
#include "Fixtures.h"
#include "ModuleImage.h"
#include "VersionBlock.h"
#include "WinVersion.h"

namespace {

using namespace dllinfo_test;
using calverdon::Utf16ToUtf8;
namespace win = calverdon::win;

std::pair<std::string, std::string> InfoOf(const fs::path& path) {
    std::u16string copyright = u"vorher";
    const std::u16string version = GetDLLInfo(calverdon::Utf8ToUtf16(path.string()), copyright);
    return {Utf16ToUtf8(version), Utf16ToUtf8(copyright)};
}

// Where the parts of a PE file lie.
struct PeLayout {
    std::size_t pe, coff, optional, directories, sections, sectionCount, rsrcSection, root, dataEntry, block, blockLength;
};

PeLayout Layout(const Bytes& b) {
    PeLayout l{};
    l.pe = Get(b, 0x3C, 4);
    l.coff = l.pe + 4;
    l.sectionCount = Get(b, l.coff + 2, 2);
    l.optional = l.coff + 20;
    l.directories = l.optional + (Get(b, l.optional, 2) == 0x20B ? 112 : 96);
    l.sections = l.optional + Get(b, l.coff + 16, 2);
    const std::uint32_t rootRva = Get(b, l.directories + 16, 4);
    for (std::size_t i = 0; i < l.sectionCount; ++i) {
        const std::size_t s = l.sections + 40 * i;
        if (std::string(reinterpret_cast<const char*>(&b[s]), 5) == ".rsrc") l.rsrcSection = s;
    }
    const std::uint32_t va = Get(b, l.rsrcSection + 12, 4);
    const std::uint32_t raw = Get(b, l.rsrcSection + 20, 4);
    l.root = raw + (rootRva - va);
    // One entry at each level (type 16, name 1, one language) in these fixtures.
    const std::size_t names = l.root + (Get(b, l.root + 20, 4) & 0x7FFFFFFF);
    const std::size_t languages = l.root + (Get(b, names + 20, 4) & 0x7FFFFFFF);
    l.dataEntry = l.root + Get(b, languages + 20, 4);
    l.block = raw + (Get(b, l.dataEntry, 4) - va);
    l.blockLength = Get(b, l.block, 2);
    return l;
}

TEST(ModuleImageTest, FixtureLayoutIsAsExpected) {
    const Bytes b = ReadAll(Fixture("product.dll"));
    ASSERT_GT(b.size(), 0x400u);
    const PeLayout l = Layout(b);
    EXPECT_EQ(l.block + 6, FindUtf16(b, u"VS_VERSION_INFO"));
    EXPECT_EQ(Get(b, l.root + 16, 4), 16u);  // RT_VERSION
}

std::optional<Bytes> BlockOf(const Bytes& bytes, std::size_t size) {
    return calverdon::ReadVersionBlock(calverdon::SpanSource(std::span(bytes.data(), size)));
}

TEST(ModuleImageTest, CutPeFilesHaveNoBlockUntilItIsWhole) {
    const Bytes b = ReadAll(Fixture("product.dll"));
    ASSERT_FALSE(b.empty());
    const PeLayout l = Layout(b);
    const Bytes block(b.begin() + static_cast<long>(l.block), b.begin() + static_cast<long>(l.block + l.blockLength));
    for (std::size_t size = 0; size < b.size(); ++size) {
        const auto found = BlockOf(b, size);
        if (size < l.block + l.blockLength) {
            ASSERT_FALSE(found.has_value()) << "cut at " << size;
        } else {
            ASSERT_EQ(found, block) << "cut at " << size;
        }
    }
    // And through files, around the block's end.
    ScratchFolder scratch;
    const fs::path cut = scratch.Path() / "cut.dll";
    const std::string copyright = "Copyright © 2019 Prüfhaus Nord";
    for (const std::size_t size : {std::size_t{0}, l.block, l.block + l.blockLength - 1}) {
        WriteAll(cut, b, size);
        EXPECT_EQ(InfoOf(cut), std::make_pair(std::string("---"), std::string())) << "cut at " << size;
    }
    WriteAll(cut, b, l.block + l.blockLength);
    EXPECT_EQ(InfoOf(cut), std::make_pair(std::string("3.4.0"), copyright));
}

TEST(ModuleImageTest, BrokenPeFieldsGiveDashes) {
    const Bytes original = ReadAll(Fixture("product.dll"));
    ASSERT_FALSE(original.empty());
    const PeLayout l = Layout(original);
    struct Row {
        const char* name;
        std::function<void(Bytes&)> patch;
    };
    const std::uint32_t size = static_cast<std::uint32_t>(original.size());
    const std::array<Row, 20> rows = {{
        {"no MZ", [](Bytes& b) { b[1] = 'X'; }},
        {"PE header past the end", [&](Bytes& b) { Put(b, 0x3C, 4, size + 100); }},
        {"PE header in the last bytes", [&](Bytes& b) { Put(b, 0x3C, 4, size - 2); }},
        {"PE header offset 0xFFFFFFFF", [](Bytes& b) { Put(b, 0x3C, 4, 0xFFFFFFFF); }},
        {"no PE signature", [&](Bytes& b) { b[l.pe + 1] = 'X'; }},
        {"unknown optional header magic", [&](Bytes& b) { Put(b, l.optional, 2, 0x10C); }},
        {"two data directories only", [&](Bytes& b) { Put(b, l.directories - 4, 4, 2); }},
        {"optional header too short", [&](Bytes& b) { Put(b, l.coff + 16, 2, 100); }},
        {"no resource directory", [&](Bytes& b) { Put(b, l.directories + 16, 4, 0); }},
        {"resource directory in no section", [&](Bytes& b) { Put(b, l.directories + 16, 4, 0x7FFFFFF0); }},
        {"no sections", [&](Bytes& b) { Put(b, l.coff + 2, 2, 0); }},
        {"65535 sections", [&](Bytes& b) { Put(b, l.coff + 2, 2, 0xFFFF); }},
        {"resource data past the end", [&](Bytes& b) { Put(b, l.rsrcSection + 20, 4, size); }},
        {"resource section without raw data", [&](Bytes& b) { Put(b, l.rsrcSection + 16, 4, 0); }},
        {"65535 types", [&](Bytes& b) { Put(b, l.root + 14, 2, 0xFFFF); }},
        {"type entry leads to a data entry", [&](Bytes& b) { Put(b, l.root + 20, 4, Get(b, l.root + 20, 4) & 0x7FFFFFFF); }},
        {"type entry leads back to the root", [&](Bytes& b) { Put(b, l.root + 20, 4, 0x80000000); }},
        {"no version type", [&](Bytes& b) { Put(b, l.root + 16, 4, 17); }},
        {"data larger than its section", [&](Bytes& b) { Put(b, l.dataEntry + 4, 4, 0x10000000); }},
        {"data at an address in no section", [&](Bytes& b) { Put(b, l.dataEntry, 4, 0xFFFFFFF0); }},
    }};
    const std::array<Row, 4> blockRows = {{
        {"block longer than its data", [&](Bytes& b) { Put(b, l.block, 2, 0xFFFF); }},
        {"block shorter than a node", [&](Bytes& b) { Put(b, l.block, 2, 4); }},
        {"no fixed record", [&](Bytes& b) { Put(b, l.block + 2, 2, 0); }},
        {"fixed record of 20 bytes", [&](Bytes& b) { Put(b, l.block + 2, 2, 20); }},
    }};
    ScratchFolder scratch;
    const fs::path file = scratch.Path() / "broken.dll";
    for (const auto& list : {std::span<const Row>(rows), std::span<const Row>(blockRows)}) {
        for (const Row& row : list) {
            SCOPED_TRACE(row.name);
            Bytes b = original;
            row.patch(b);
            WriteAll(file, b);
            EXPECT_EQ(InfoOf(file), std::make_pair(std::string("---"), std::string()));
        }
    }
}

// Every aligned 32-bit field of a file overwritten with telling values:
// whatever block comes out lies within the file, and every value found in
// it within the block (the sanitizer build checks every read besides).
void SweepFields(const char* fixture) {
    const Bytes original = ReadAll(Fixture(fixture));
    ASSERT_FALSE(original.empty());
    const std::array<std::u16string_view, 4> paths = {u"\\", u"\\VarFileInfo\\Translation",
                                                      u"\\StringFileInfo\\040704E4\\LegalCopyright",
                                                      u"\\StringFileInfo\\040704E4"};
    for (std::size_t at = 0; at + 4 <= original.size(); at += 4) {
        for (const std::uint32_t value : {0xFFFFFFFFu, 0x80000000u, 0x00000000u, 0x00000030u}) {
            Bytes b = original;
            Put(b, at, 4, value);
            const auto block = BlockOf(b, b.size());
            if (!block) continue;
            ASSERT_LE(block->size(), b.size());
            for (const auto path : paths) {
                const auto found = calverdon::QueryVersionValue(*block, path);
                if (!found) continue;
                const std::size_t bytes = found->isText ? 2 * found->length : found->length;
                ASSERT_LE(found->offset + bytes, block->size()) << "field at " << at;
            }
        }
    }
}

TEST(ModuleImageTest, OverwrittenPeFieldsNeverMisread) { SweepFields("product.dll"); }
TEST(ModuleImageTest, OverwrittenElfFieldsNeverMisread) { SweepFields("elf64.o"); }

TEST(ModuleImageTest, CutAndBrokenElfFilesGiveDashes) {
    const Bytes original = ReadAll(Fixture("elf64.o"));
    ASSERT_GT(original.size(), 64u);
    ScratchFolder scratch;
    const fs::path file = scratch.Path() / "broken.o";
    // In a relocatable object the section headers come last, so every cut
    // loses them.
    for (std::size_t size = 0; size < original.size(); ++size) {
        ASSERT_FALSE(BlockOf(original, size).has_value()) << "cut at " << size;
    }
    WriteAll(file, original, original.size() - 1);
    EXPECT_EQ(InfoOf(file), std::make_pair(std::string("---"), std::string()));
    // ELF64 header: e_shoff at 0x28, e_shentsize 0x3A, e_shnum 0x3C, e_shstrndx 0x3E.
    const std::size_t table = Get(original, 0x28, 4);
    const std::size_t count = Get(original, 0x3C, 2);
    struct Row {
        const char* name;
        std::size_t at;
        int width;
        std::uint32_t value;
    };
    const std::array<Row, 7> rows = {{
        {"32-bit class 3", 4, 1, 3},
        {"byte order 0", 5, 1, 0},
        {"no section table", 0x28, 4, 0},
        {"section table past the end", 0x28, 4, static_cast<std::uint32_t>(original.size())},
        {"section header entries of 8 bytes", 0x3A, 2, 8},
        {"names in a section that does not exist", 0x3E, 2, static_cast<std::uint32_t>(count)},
        {"65535 sections in the first entry's size", 0x3C, 2, 0},  // with the patch below
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes b = original;
        Put(b, row.at, row.width, row.value);
        if (row.at == 0x3C) Put(b, table + 32, 4, 0xFFFF);  // sh_size of entry 0
        WriteAll(file, b);
        EXPECT_EQ(InfoOf(file), std::make_pair(std::string("---"), std::string()));
    }
}

TEST(ModuleSearchTest, LooksInProgramFolderThenLdLibraryPathThenSystem) {
    ScratchFolder scratch;
    const fs::path root = scratch.Path();
    for (const char* folder : {"exe", "ld1", "ld2", "sys", "cwd"}) fs::create_directory(root / folder);
    calverdon::ModuleSearch search{root / "exe", (root / "ld1").string() + "::" + (root / "ld2").string(),
                                   {root / "sys"}};
    struct Row {
        std::vector<const char*> holders;  // folders that hold m.so
        const char* expected;              // folder found, or "" for none
    };
    const std::array<Row, 6> rows = {{
        {{"exe", "ld1", "ld2", "sys"}, "exe"},
        {{"ld1", "ld2", "sys"}, "ld1"},
        {{"ld2", "sys"}, "ld2"},
        {{"sys"}, "sys"},
        {{}, ""},
        // The empty entry of "a::b" does not mean the working directory.
        {{"cwd"}, ""},
    }};
    const fs::path oldCwd = fs::current_path();
    fs::current_path(root / "cwd");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        for (const char* folder : {"exe", "ld1", "ld2", "sys", "cwd"}) fs::remove(root / folder / "m.so");
        for (const char* folder : row.holders) WriteAll(root / folder / "m.so", Bytes{1});
        const auto found = calverdon::FindModule(u"m.so", search);
        if (*row.expected == '\0') {
            EXPECT_FALSE(found.has_value());
        } else {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, root / row.expected / "m.so");
        }
    }
    // A folder of that name is passed over.
    for (const char* folder : {"exe", "ld1", "ld2", "sys", "cwd"}) fs::remove(root / folder / "m.so");
    fs::create_directory(root / "exe" / "m.so");
    WriteAll(root / "sys" / "m.so", Bytes{1});
    EXPECT_EQ(calverdon::FindModule(u"m.so", search), root / "sys" / "m.so");
    fs::current_path(oldCwd);

    // Names with a slash are paths, found or not; empty names are nothing.
    EXPECT_EQ(calverdon::FindModule(u"./nicht-da.so", search), fs::path("./nicht-da.so"));
    EXPECT_FALSE(calverdon::FindModule(u"", search).has_value());
    // A null inside the name would cut it short when opened.
    EXPECT_FALSE(calverdon::FindModule(std::u16string(u"m.so\0x", 6), search).has_value());
}

TEST(VersionFunctionsTest, KeepTheirContracts) {
    const std::u16string name = calverdon::Utf8ToUtf16(Fixture("build.exe").string());
    win::DWORD handle = 77;
    const win::DWORD size = calverdon::GetFileVersionInfoSizeW(name.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> block(size);
    EXPECT_EQ(calverdon::GetFileVersionInfoW(name.c_str(), 0, size - 1, block.data()), win::kFalse);
    ASSERT_EQ(calverdon::GetFileVersionInfoW(name.c_str(), 0, size, block.data()), win::kTrue);

    void* value = nullptr;
    win::UINT length = 0;
    // The fixed record: 52 bytes, the published signature, file version 2.1.0.7.
    ASSERT_EQ(calverdon::VerQueryValueA(block.data(), "\\", &value, &length), win::kTrue);
    EXPECT_EQ(length, 52u);
    const Bytes fixed(static_cast<unsigned char*>(value), static_cast<unsigned char*>(value) + 52);
    EXPECT_EQ(Get(fixed, 0, 4), 0xFEEF04BDu);
    EXPECT_EQ(Get(fixed, 8, 4), 0x00020001u);
    EXPECT_EQ(Get(fixed, 12, 4), 0x00000007u);

    // Text values: length in units with the terminator ("Build-Test" is 10
    // letters), keys in any case; not through the 8-bit form.
    ASSERT_EQ(calverdon::VerQueryValueW(block.data(), u"\\stringfileinfo\\040704e4\\LEGALCOPYRIGHT", &value, &length),
              win::kTrue);
    EXPECT_EQ(length, 11u);
    EXPECT_EQ(calverdon::VerQueryValueA(block.data(), "\\StringFileInfo\\040704E4\\LegalCopyright", &value, &length),
              win::kFalse);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(length, 0u);

    // The translation table: one pair, 4 bytes, 0407 then 04E4.
    ASSERT_EQ(calverdon::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length), win::kTrue);
    ASSERT_EQ(length, 4u);
    const Bytes pair(static_cast<unsigned char*>(value), static_cast<unsigned char*>(value) + 4);
    EXPECT_EQ(Get(pair, 0, 2), 0x0407u);
    EXPECT_EQ(Get(pair, 2, 2), 0x04E4u);

    EXPECT_EQ(calverdon::VerQueryValueW(block.data(), u"\\StringFileInfo\\040704E4\\Fehlt", &value, &length),
              win::kFalse);
    EXPECT_EQ(calverdon::VerQueryValueW(block.data(), u"\\", nullptr, &length), win::kFalse);
    EXPECT_EQ(calverdon::VerQueryValueW(block.data(), nullptr, &value, &length), win::kFalse);
}

}  // namespace
