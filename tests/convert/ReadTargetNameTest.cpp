// The header check that proposes the target's name.
#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

struct HeaderRow {
    const char* name;
    std::string bytes;
    std::string expectedName;  // empty: refused as no hex-text file
};

class ReadTargetNameTest : public ::testing::TestWithParam<HeaderRow> {};

TEST_P(ReadTargetNameTest, ChecksTheMagicLineAndReturnsTheName) {
    const HeaderRow& row = GetParam();
    ScratchFolder folder;
    WriteFile(folder / "f.txt", row.bytes);
    RecordingMessages messages;
    EXPECT_EQ(ReadTargetName(folder / "f.txt", messages), row.expectedName);
    if (row.expectedName.empty()) {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].caption, "Dies ist keine Kelvarin-Hex-Datei");
        EXPECT_EQ(messages.shown[0].text, "oder eine veraltete Version");
        EXPECT_EQ(messages.shown[0].kind, MessageKind::Error);
    } else {
        EXPECT_TRUE(messages.shown.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ReadTargetNameTest,
    ::testing::Values(
        HeaderRow{"CrLf", "Kelvarin-Hex-Text 1.0\r\nabc.bin\r\n414243~~00001685", "abc.bin"},
        HeaderRow{"LfOnly", "Kelvarin-Hex-Text 1.0\nabc.bin\n414243", "abc.bin"},
        HeaderRow{"NameWithoutLineEndLosesItsLastCharacter", "Kelvarin-Hex-Text 1.0\r\nabc.bin", "abc.bi"},
        HeaderRow{"Windows1252Name", "Kelvarin-Hex-Text 1.0\r\nM\xfcller \x80.bin\r\n", "Müller €.bin"},
        HeaderRow{"FolderPartsAreDropped", "Kelvarin-Hex-Text 1.0\r\n../../etc/x.bin\r\n", "x.bin"},
        HeaderRow{"BackslashFolderPartsAreDropped", "Kelvarin-Hex-Text 1.0\r\nC:\\tmp\\y.bin\r\n", "y.bin"},
        HeaderRow{"NameEndsAtNul", std::string("Kelvarin-Hex-Text 1.0\r\nab\0cd\r\n", 30), "ab"},
        HeaderRow{"OtherCase", "kelvarin-hex-text 1.0\r\nabc.bin\r\n", ""},
        HeaderRow{"TrailingBlank", "Kelvarin-Hex-Text 1.0 \r\nabc.bin\r\n", ""},
        HeaderRow{"OtherVersion", "Kelvarin-Hex-Text 1.1\r\nabc.bin\r\n", ""},
        HeaderRow{"MagicWithoutLineEnd", "Kelvarin-Hex-Text 1.0", ""},
        HeaderRow{"EndsAfterMagicLine", "Kelvarin-Hex-Text 1.0\r\n", ""},
        HeaderRow{"Empty", "", ""},
        HeaderRow{"EmptyName", "Kelvarin-Hex-Text 1.0\r\n\r\n41", ""},
        HeaderRow{"DotDot", "Kelvarin-Hex-Text 1.0\r\n..\r\n41", ""},
        HeaderRow{"FolderOnly", "Kelvarin-Hex-Text 1.0\r\nsub/\r\n41", ""},
        // Escape sequences in a name would rewrite the terminal that prints it.
        HeaderRow{"ControlCharactersBecomeUnderscores", "Kelvarin-Hex-Text 1.0\r\na\x1b]0;x\x07\x7f\x9d.bin\r\n", "a_]0;x___.bin"},
        // The decoder skips at most 511 bytes of the name line, its line end
        // included; the rest of a longer one would be taken for data.
        HeaderRow{"LongestNameLine", "Kelvarin-Hex-Text 1.0\r\n" + std::string(509, 'n') + "\r\n", std::string(509, 'n')},
        HeaderRow{"NameLineLongerThanTheDecoderReads", "Kelvarin-Hex-Text 1.0\r\n" + std::string(510, 'n') + "\r\n", ""},
        HeaderRow{"HugeNameLine", "Kelvarin-Hex-Text 1.0\r\n" + std::string(1 << 20, 'n') + "\r\n", ""}),
    [](const ::testing::TestParamInfo<HeaderRow>& info) { return info.param.name; });

TEST(ReadTargetNameFailureTest, MissingFileGivesTheOpenError) {
    ScratchFolder folder;
    RecordingMessages messages;
    EXPECT_EQ(ReadTargetName(folder / "missing.txt", messages), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Fehler 2");
    EXPECT_EQ(messages.shown[0].text, "beim Öffnen der Quell-Datei.");
    EXPECT_EQ(messages.shown[0].kind, MessageKind::Error);
}

}  // namespace
}  // namespace calverdon::testing
