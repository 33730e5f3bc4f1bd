// GetDLLInfo over modules built by independent tools: PE modules that
// binutils' windres and ld make from the .rc files beside this test (the
// expected texts are those of the .rc files), and ELF modules whose version
// block the build wrote from the values given in CMakeLists.txt.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Cp1252.h"
#include <calverdon/Dllinfo.h>
#include "Fixtures.h"

namespace {

using namespace dllinfo_test;
using calverdon::Utf16ToUtf8;

struct Case {
    const char* file;
    std::u16string version;
    std::u16string copyright;
};

// Calls GetDLLInfo with a copyright that holds text before the call, which
// must be overwritten in every case.
std::pair<std::u16string, std::u16string> Info(const std::u16string& name) {
    std::u16string copyright = u"vorher";
    std::u16string version = GetDLLInfo(name, copyright);
    return {version, copyright};
}

std::u16string Path16(const fs::path& path) { return calverdon::Utf8ToUtf16(path.string()); }

TEST(GetDLLInfoTest, ReadsVersionAndCopyrightOfModules) {
    const std::array<Case, 13> cases = {{
        // Product version 3.4.0.0, file version 9.9.9.9: only the product version counts.
        {"product.dll", u"3.4.0", u"Copyright © 2019 Prüfhaus Nord"},
        // The same resource in a PE32 module.
        {"product32.dll", u"3.4.0", u"Copyright © 2019 Prüfhaus Nord"},
        // Build number 0 is left out, the other zeros are written.
        {"zeros.dll", u"0.0.0", u""},
        {"build.exe", u"2.1.0.7", u"Build-Test"},
        {"notranslation.dll", u"2.0.3", u""},
        // String table only under the second pair; 65535 is the largest number.
        {"otherlanguage.dll", u"65535.65535.65535.65534", u""},
        {"emptytranslation.dll", u"1.0.0", u""},
        {"lowercase.dll", u"1.5.0", u"Klein geschrieben"},
        // 100 digits: the first 79 fit.
        {"long.dll", u"1.0.0", u"0123456789012345678901234567890123456789012345678901234567890123456789012345678"},
        // 79 letters fit whole.
        {"exact.dll", u"1.0.0", u"abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghi"},
        // 78 letters and U+1F600 (two units): the cut at 79 drops the half pair.
        {"surrogate.dll", u"1.0.0", std::u16string(78, u'x')},
        // ELF objects with the build's version section (7.0.1.0 in CMakeLists.txt).
        {"elf64.o", u"7.0.1", u"Objekt-Test ©"},
        {"elf32.o", u"7.0.1", u"Objekt-Test ©"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (!fs::exists(Fixture(c.file))) {
            ADD_FAILURE() << "fixture missing (are binutils-mingw-w64-x86-64 and the PE32 script installed?)";
            continue;
        }
        const auto [version, copyright] = Info(Path16(Fixture(c.file)));
        EXPECT_EQ(Utf16ToUtf8(version), Utf16ToUtf8(c.version));
        EXPECT_EQ(Utf16ToUtf8(copyright), Utf16ToUtf8(c.copyright));
    }
}

TEST(GetDLLInfoTest, GivesDashesAndEmptyCopyrightWithoutUsableModule) {
    ScratchFolder scratch;
    WriteAll(scratch.Path() / "text.dll", Bytes{'M', 'Z', 'k', 'e', 'i', 'n'});
    WriteAll(scratch.Path() / "empty.dll", Bytes{});
    ASSERT_EQ(::mkfifo((scratch.Path() / "fifo.dll").c_str(), 0600), 0);
    const std::array<std::u16string, 7> names = {
        Path16(scratch.Path() / "fifo.dll"),  // must not wait for a writer
        Path16(scratch.Path() / "fehlt.dll"),
        Path16(scratch.Path()),  // a folder
        Path16(scratch.Path() / "text.dll"),
        Path16(scratch.Path() / "empty.dll"),
        u"",
        u"gibt-es-nirgends-7f3a.dll",
    };
    for (const auto& name : names) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        const auto [version, copyright] = Info(name);
        EXPECT_EQ(Utf16ToUtf8(version), "---");
        EXPECT_EQ(Utf16ToUtf8(copyright), "");
    }
}

TEST(GetDLLInfoTest, ReadsOurOwnElfModules) {
    // The copyright text of CALVERDON_COPYRIGHT in cmake/CalverdonVersion.cmake.
    const auto [version, copyright] = Info(Path16(DLLINFO_CLI));
    EXPECT_EQ(Utf16ToUtf8(version), "1.0.0");
    EXPECT_EQ(Utf16ToUtf8(copyright), "© 2026 Die Calverdon-Entwickler");
}

TEST(GetDLLInfoTest, FindsTheRunningExecutableByItsBareName) {
    // This program's own block, as tests/dllinfo/CMakeLists.txt gives it.
    const auto [version, copyright] = Info(u"test_dllinfo");
    EXPECT_EQ(Utf16ToUtf8(version), "4.3.2.1");
    EXPECT_EQ(Utf16ToUtf8(copyright), "Prüfprogramm © Nord");
}

TEST(GetDLLInfoTest, FindsBareNamesInLdLibraryPath) {
    const char* old = std::getenv("LD_LIBRARY_PATH");
    const std::string saved = old ? old : "";
    ::setenv("LD_LIBRARY_PATH", ("/nonexistent:" + Fixture("").string() + ":" + Fixture("lib").string()).c_str(), 1);
    const auto [version, copyright] = Info(u"product.dll");
    // Our own shared library (3.2.1.0 in CMakeLists.txt).
    const auto [libraryVersion, libraryCopyright] = Info(u"libdllinfo_module.so");
    old ? ::setenv("LD_LIBRARY_PATH", saved.c_str(), 1) : ::unsetenv("LD_LIBRARY_PATH");
    EXPECT_EQ(Utf16ToUtf8(version), "3.4.0");
    EXPECT_EQ(Utf16ToUtf8(copyright), "Copyright © 2019 Prüfhaus Nord");
    EXPECT_EQ(Utf16ToUtf8(libraryVersion), "3.2.1");
    EXPECT_EQ(Utf16ToUtf8(libraryCopyright), "Bibliothek ©");
}

// The copyright's string node in product.dll: its three 16-bit fields
// (wLength, wValueLength, wType) come right before its key.
struct CopyrightNode {
    std::size_t node;
    std::size_t text;  // first unit of the value
};

CopyrightNode FindCopyright(const Bytes& bytes) {
    const std::u16string key = u"LegalCopyright";
    const std::size_t at = FindUtf16(bytes, key);
    EXPECT_NE(at, std::string::npos);
    // Key, terminator, padded to 4 bytes from the node's start.
    const std::size_t node = at - 6;
    std::size_t text = at + 2 * (key.size() + 1);
    text += (4 - (text - node) % 4) % 4;
    return {node, text};
}

TEST(GetDLLInfoTest, TakesStringValuesByTheirStatedLength) {
    const Bytes original = ReadAll(Fixture("product.dll"));
    ASSERT_FALSE(original.empty());
    const CopyrightNode c = FindCopyright(original);
    // "Copyright © 2019 Prüfhaus Nord" is 30 units; windres counts its terminator.
    ASSERT_EQ(Get(original, c.node + 2, 2), 31u);
    const std::string full = "Copyright © 2019 Prüfhaus Nord";

    struct Patch {
        const char* name;
        std::uint32_t statedLength;
        bool overwriteTerminator;
        std::string expected;
    };
    const std::array<Patch, 4> patches = {{
        {"length without the terminator, which is gone", 30, true, full},
        {"length of 10 units", 10, false, "Copyright "},
        {"length far past the node: cut to the node", 0xFFFF, false, full},
        {"length 0", 0, false, ""},
    }};
    ScratchFolder scratch;
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.name);
        Bytes bytes = original;
        Put(bytes, c.node + 2, 2, p.statedLength);
        if (p.overwriteTerminator) Put(bytes, c.text + 2 * 30, 2, u'X');
        WriteAll(scratch.Path() / "patched.dll", bytes);
        const auto [version, copyright] = Info(Path16(scratch.Path() / "patched.dll"));
        EXPECT_EQ(Utf16ToUtf8(version), "3.4.0");
        EXPECT_EQ(Utf16ToUtf8(copyright), p.expected);
    }
}

// One node of a version block, laid out as resource compilers write it:
// header, key with terminator, padding, value, then each child on a 4-byte
// boundary. The stated length leaves out the padding after the node.
Bytes Node(std::u16string_view key, std::uint16_t type, std::uint16_t valueLength, const Bytes& value,
           const std::vector<Bytes>& children = {}) {
    Bytes out(6);
    Put(out, 2, 2, valueLength);
    Put(out, 4, 2, type);
    for (const char16_t c : key) {
        out.insert(out.end(), {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>(c >> 8)});
    }
    out.insert(out.end(), {0, 0});
    out.resize((out.size() + 3) & ~std::size_t{3});
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        out.resize((out.size() + 3) & ~std::size_t{3});
        out.insert(out.end(), child.begin(), child.end());
    }
    Put(out, 0, 2, static_cast<std::uint32_t>(out.size()));
    return out;
}

TEST(GetDLLInfoTest, TakesABinaryCopyrightByItsBytes) {
    // A copyright of type 0 (binary) whose length, 79, counts bytes: 39
    // letters and half of a 40th. It is the block's last value, so a reader
    // that took the length for units would run 79 bytes past the block.
    Bytes text;
    for (int i = 0; i < 39; ++i) text.insert(text.end(), {'b', 0});
    text.push_back('x');
    Bytes fixed(52);
    Put(fixed, 0, 4, 0xFEEF04BD);
    Put(fixed, 16, 4, 0x00050006);  // product version 5.6.7.0
    Put(fixed, 20, 4, 0x00070000);
    const Bytes block = Node(u"VS_VERSION_INFO", 0, 52, fixed,
                             {Node(u"VarFileInfo", 1, 0, {}, {Node(u"Translation", 0, 4, {0x07, 0x04, 0xE4, 0x04})}),
                              Node(u"StringFileInfo", 1, 0, {},
                                   {Node(u"040704E4", 1, 0, {}, {Node(u"LegalCopyright", 0, 79, text)})})});

    // Put in place of the block of an ELF fixture, whose section has room.
    Bytes module = ReadAll(Fixture("elf64.o"));
    const std::size_t at = FindUtf16(module, u"VS_VERSION_INFO");
    ASSERT_NE(at, std::string::npos);
    const std::size_t room = Get(module, at - 6, 2);
    ASSERT_LE(block.size(), room);
    std::fill_n(module.begin() + static_cast<std::ptrdiff_t>(at - 6), room, 0);
    std::copy(block.begin(), block.end(), module.begin() + static_cast<std::ptrdiff_t>(at - 6));
    ScratchFolder scratch;
    WriteAll(scratch.Path() / "binary.o", module);

    const auto [version, copyright] = Info(Path16(scratch.Path() / "binary.o"));
    EXPECT_EQ(Utf16ToUtf8(version), "5.6.7");
    EXPECT_EQ(Utf16ToUtf8(copyright), std::string(39, 'b'));
}

}  // namespace
