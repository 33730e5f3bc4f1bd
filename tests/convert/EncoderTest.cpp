// The encoder: bytes on disk, parts, messages.
#include <unistd.h>

#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

std::string Bytes(int from, int to) {
    std::string bytes;
    for (int b = from; b <= to; ++b) bytes += static_cast<char>(b);
    return bytes;
}

// The lines of a file split at CR LF.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

class EncoderTest : public ::testing::Test {
protected:
    ConversionResult Encode(const std::string& source, const std::string& target, std::string_view kb = "0") {
        return BinToHex(folder / source, folder / target, kb, {messages, &progress}, lines);
    }
    ScratchFolder folder;
    RecordingMessages messages;
    RecordingProgress progress;
    LineGenerator lines;  // as after program start
};

TEST_F(EncoderTest, WritesHeaderHexPairsAndChecksum) {
    // Checksum worked out by hand: 5555 + 0x41 + 0x42 + 0x43 + 3 * 4 = 5765 = 0x1685.
    WriteFile(folder / "abc.bin", "ABC");
    ASSERT_EQ(Encode("abc.bin", "abc.txt"), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(folder / "abc.txt"), "Kelvarin-Hex-Text 1.0\r\nabc.bin\r\n414243~~00001685");
    EXPECT_EQ(progress.values, (std::vector<int>{33, 66, 100}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(EncoderTest, WritesFortyBytesOnTwoLines) {
    // The first data line takes 64 digits; the checksum, worked out by hand,
    // is 5555 + (0 + 1 + ... + 39) + 40 * 4 = 6495 = 0x195F.
    WriteFile(folder / "count.bin", Bytes(0, 39));
    ASSERT_EQ(Encode("count.bin", "count.txt"), ConversionResult::Succeeded);
    const std::string expected = "Kelvarin-Hex-Text 1.0\r\ncount.bin\r\n"
                                 "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f\r\n"
                                 "2021222324252627~~0000195F";
    EXPECT_EQ(ReadFile(folder / "count.txt"), expected);
}

TEST_F(EncoderTest, FirstLinesFollowTheGenerator) {
    WriteFile(folder / "d.bin", std::string(200, '\x0a'));
    ASSERT_EQ(Encode("d.bin", "d.txt"), ConversionResult::Succeeded);
    const auto text = Lines(ReadFile(folder / "d.txt"));
    // Line targets 64, 69 and 71; digits come in pairs, so 64, 70 and 72.
    EXPECT_EQ(text[2].size(), 64u);
    EXPECT_EQ(text[3].size(), 70u);
    EXPECT_EQ(text[4].size(), 72u);
    // A byte 0x0A is a hex pair, never a line end.
    EXPECT_EQ(text[2].substr(0, 4), "0a0a");
}

TEST_F(EncoderTest, FailedRunStillDrawsItsLineTarget) {
    EXPECT_EQ(Encode("missing.bin", "m.txt"), ConversionResult::Failed);
    WriteFile(folder / "d.bin", std::string(200, 'x'));
    ASSERT_EQ(Encode("d.bin", "d.txt"), ConversionResult::Succeeded);
    // The first line now takes the second target, 69, so 70 digits.
    EXPECT_EQ(Lines(ReadFile(folder / "d.txt"))[2].size(), 70u);
}

TEST_F(EncoderTest, SplitsTwoKilobytesIntoFiveParts) {
    std::string data;
    for (int i = 0; i < 8; ++i) data += Bytes(0, 255);
    WriteFile(folder / "x.bin", data);
    ASSERT_EQ(Encode("x.bin", "x.txt", "1"), ConversionResult::Succeeded);
    EXPECT_EQ(folder.Names(),
              (std::vector<std::string>{"x.bin", "x.txt", "x_2.txt", "x_3.txt", "x_4.txt", "x_5.txt"}));
    const std::string first = ReadFile(folder / "x.txt");
    EXPECT_EQ(first.size(), 1067u);
    for (const char* name : {"x_2.txt", "x_3.txt", "x_4.txt"}) EXPECT_EQ(fs::file_size(folder / name), 1046u) << name;
    const std::string last = ReadFile(folder / "x_5.txt");
    EXPECT_EQ(last.size(), 145u);
    // 5555 + 8 * (0 + 1 + ... + 255) + 2048 * 4 = 274867 = 0x431B3.
    EXPECT_EQ(last.substr(last.size() - 10), "~~000431B3");
    // The continuation line cuts a data line short; the next part carries
    // on with its number.
    const auto firstLines = Lines(first);
    const std::string& cut = firstLines[firstLines.size() - 2];
    EXPECT_EQ(cut.substr(cut.size() - 9), "++x_2.txt");
    EXPECT_LT(cut.size() - 9, 46u);
    EXPECT_EQ(ReadFile(folder / "x_2.txt").substr(0, 9), "2 LfdNr\r\n");
    EXPECT_EQ(HexToBin(folder / "x.txt", folder / "back.bin", {messages}), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(folder / "back.bin"), data);
}

TEST_F(EncoderTest, NoLimitGivesASinglePart) {
    WriteFile(folder / "big.bin", std::string(5000, 'q'));
    // Numbers of kilobytes beyond the 32-bit limit must not wrap to a tiny
    // one (4194305 kB would be 1 kB).
    for (const char* kb : {"0", "", "abc", " 1 ", "4194305", "2147483647"}) {
        SCOPED_TRACE(kb);
        fs::remove(folder / "big.txt");
        ASSERT_EQ(Encode("big.bin", "big.txt", kb), ConversionResult::Succeeded);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"big.bin", "big.txt"}));
    }
}

TEST_F(EncoderTest, PartsLandBesideTheFirstPartWhateverTheWorkingDirectory) {
    ScratchFolder elsewhere;
    const fs::path before = fs::current_path();
    fs::current_path(elsewhere.Path());
    WriteFile(folder / "x.bin", std::string(3000, 'z'));
    const ConversionResult result = Encode("x.bin", "x.txt", "1");
    fs::current_path(before);
    ASSERT_EQ(result, ConversionResult::Succeeded);
    EXPECT_TRUE(elsewhere.Names().empty());
    EXPECT_TRUE(fs::exists(folder / "x_6.txt"));
    EXPECT_EQ(HexToBin(folder / "x.txt", folder / "y.bin", {messages}), ConversionResult::Succeeded);
}

TEST_F(EncoderTest, AsksOnceBeforeReplacingAndNeverWritesThroughLinks) {
    ScratchFolder elsewhere;
    WriteFile(folder / "x.bin", std::string(3000, 'x'));
    WriteFile(folder / "x.txt", "old");
    WriteFile(elsewhere / "victim", "precious");
    fs::create_symlink(elsewhere / "victim", folder / "x_3.txt");
    // Seven parts will be written; x_8.txt
    // is not one of them and is neither counted nor touched.
    WriteFile(folder / "x_8.txt", "unrelated");
    messages.answers = {kAnswerNo};
    EXPECT_EQ(Encode("x.bin", "x.txt", "1"), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "ACHTUNG");
    EXPECT_EQ(messages.shown[0].text, "Die Zieldatei\n" + (folder / "x.txt").string() +
                                          "\nund 1 weitere Datei bestehen bereits.\nSollen sie überschrieben werden?");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"x.bin", "x.txt", "x_3.txt", "x_8.txt"}));
    EXPECT_EQ(ReadFile(folder / "x.txt"), "old");

    messages.answers = {kAnswerYes};
    ASSERT_EQ(Encode("x.bin", "x.txt", "1"), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(elsewhere / "victim"), "precious");
    EXPECT_FALSE(fs::is_symlink(folder / "x_3.txt"));
    EXPECT_EQ(ReadFile(folder / "x_8.txt"), "unrelated");
    EXPECT_EQ(HexToBin(folder / "x.txt", folder / "back.bin", {messages}), ConversionResult::Succeeded);
}

TEST_F(EncoderTest, ReplacingALongerChainRemovesItsSurplusParts) {
    WriteFile(folder / "x.bin", std::string(3000, 'x'));
    ASSERT_EQ(Encode("x.bin", "x.txt", "1"), ConversionResult::Succeeded);  // x.txt to x_7.txt
    WriteFile(folder / "x_9.txt", "9 LfdNr\r\n");  // past a gap: no part of that chain
    WriteFile(folder / "x.bin", std::string(1000, 'y'));
    messages.answers = {kAnswerYes};
    ASSERT_EQ(Encode("x.bin", "x.txt", "1"), ConversionResult::Succeeded);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Die Zieldatei\n" + (folder / "x.txt").string() +
                                          "\nund 2 weitere Dateien bestehen bereits.\n"
                                          "4 weitere Teile der bisherigen Kette werden gelöscht.\n"
                                          "Sollen sie überschrieben werden?");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"x.bin", "x.txt", "x_2.txt", "x_3.txt", "x_9.txt"}));
    EXPECT_EQ(HexToBin(folder / "x.txt", folder / "back.bin", {messages}), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(folder / "back.bin"), std::string(1000, 'y'));
}

TEST_F(EncoderTest, NamesOutsideWindows1252BecomeUnderscores) {
    WriteFile(folder / "Ωmega.bin", std::string(3000, 'w'));
    ASSERT_EQ(Encode("Ωmega.bin", "Zähler Ω.txt", "1"), ConversionResult::Succeeded);
    const std::string first = ReadFile(folder / "Zähler Ω.txt");
    EXPECT_EQ(Lines(first)[1], "_mega.bin");
    // The continuation line holds the part's name in Windows-1252, and the
    // part on disk bears the same name, so the chain stays readable.
    EXPECT_NE(first.find("++Z\xe4hler __2.txt\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "Zähler __2.txt"));
    EXPECT_EQ(HexToBin(folder / "Zähler Ω.txt", folder / "back.bin", {messages}), ConversionResult::Succeeded);
}

TEST_F(EncoderTest, ReportsEachFailure) {
    WriteFile(folder / "empty.bin", "");
    WriteFile(folder / "x.txt", "not to be overwritten");
    WriteFile(folder / "x.bin", std::string(3000, 'x'));
    struct Case {
        const char* source;
        const char* target;
        const char* kb;
        ShownMessage message;
    };
    const Case cases[] = {
        {"missing.bin", "m.txt", "0", {"beim Öffnen der Quelldatei.", "Fehler 2", MessageKind::Error}},
        {"empty.bin", "empty.txt", "0", {"ist leer", "Die Quelldatei", MessageKind::Warning}},
        {"x.bin", "no/x.txt", "0", {"beim Anlegen der Zieldatei.", "Fehler 2", MessageKind::Error}},
        {"x.txt", "x.txt", "0", {"Zieldatei und Quelldatei sind dieselbe Datei.", "Fehler", MessageKind::Error}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        messages.shown.clear();
        EXPECT_EQ(Encode(c.source, c.target, c.kb), ConversionResult::Failed);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, c.message.text);
        EXPECT_EQ(messages.shown[0].caption, c.message.caption);
        EXPECT_EQ(messages.shown[0].kind, c.message.kind);
    }
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"empty.bin", "x.bin", "x.txt"}));
    EXPECT_EQ(ReadFile(folder / "x.txt"), "not to be overwritten");
}

TEST_F(EncoderTest, FolderWhereAPartWouldGoIsRefusedBeforeWriting) {
    WriteFile(folder / "x.bin", std::string(3000, 'x'));
    fs::create_directory(folder / "x_3.txt");
    EXPECT_EQ(Encode("x.bin", "x.txt", "1"), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Fehler 21");  // EISDIR
    EXPECT_EQ(messages.shown[0].text, "beim Anlegen der Zieldatei.");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"x.bin", "x_3.txt"}));
}

}  // namespace
}  // namespace calverdon::testing
