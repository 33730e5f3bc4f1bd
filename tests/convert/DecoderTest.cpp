// The decoder: results, messages and what stays on disk.
#include <sys/stat.h>

#include <optional>
#include <utility>

#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

struct DecodeRow {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // first: the source f.txt
    ConversionResult result;
    std::optional<Shown> message;
    std::optional<std::string> target;  // bytes of out.bin afterwards, or none
};

const std::string kAbc = Header("abc.bin") + "414243~~00001685";

// Sum of the bytes plus 4 each, on top of 5555, worked out by hand in each
// row's comment.
const DecodeRow kRows[] = {
    {"WorkedExample", {{"f.txt", kAbc}}, ConversionResult::Succeeded, std::nullopt, "ABC"},
    {"ChangedChecksumDigit",
     {{"f.txt", Header("abc.bin") + "414243~~00001686"}},
     ConversionResult::ChecksumMismatch,
     Shown{"Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning},
     "ABC"},
    {"LowercaseAndShortChecksum", {{"f.txt", Header("abc.bin") + "414243~~1685"}},
     ConversionResult::Succeeded, std::nullopt, "ABC"},
    {"ChecksumAfterBlanks", {{"f.txt", Header("abc.bin") + "414243~~ \r\n00001685"}},
     ConversionResult::Succeeded, std::nullopt, "ABC"},
    {"EndLineWithoutDigits",
     {{"f.txt", Header("abc.bin") + "414243~~"}},
     ConversionResult::ChecksumMismatch,
     Shown{"Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning},
     "ABC"},
    // A file cut short (here with an odd last character) is no success.
    {"MissingEndLine",
     {{"f.txt", Header("abc.bin") + "4142434"}},
     ConversionResult::ChecksumMismatch,
     Shown{"Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning},
     "ABC"},
    // 5555 = 0x15B3 is the checksum of no bytes.
    {"EmptyFile", {{"f.txt", Header("e.bin") + "~~000015B3"}}, ConversionResult::Succeeded, std::nullopt, ""},
    // ff FF -1 " f" 1g zz: 255+255+255+15+1+0 + 6*4 = 805; 5555 + 805 = 6360 = 0x18D8.
    {"PairsReadAsStrtol",
     {{"f.txt", Header("p.bin") + "ffFF-1 f1gzz~~000018D8"}},
     ConversionResult::Succeeded,
     std::nullopt,
     std::string("\xff\xff\xff\x0f\x01\x00", 6)},
    // The decoder does not look at the header lines; up to 511 characters
    // each are skipped.
    {"WrongMagicAndLongName",
     {{"f.txt", "not a magic line\r\n" + std::string(509, 'n') + "\r\n414243~~00001685"}},
     ConversionResult::Succeeded,
     std::nullopt,
     "ABC"},
    // 0x41..0x46 sum to 405, plus 6*4 = 429; 5555 + 429 = 5984 = 0x1760.
    {"ThreeParts",
     {{"f.txt", Header("c.bin") + "4142\r\n++f_2.txt\r\n"},
      {"f_2.txt", "2 LfdNr\r\n4344++f_3.txt\r\n"},
      {"f_3.txt", "3 LfdNr\r\n45\r\n46~~00001760"}},
     ConversionResult::Succeeded,
     std::nullopt,
     "ABCDEF"},
    // 0x41 + 0x42 + 2*4 = 139; 5555 + 139 = 5694 = 0x163E.
    {"ContinuationNameWithFolderStaysInTheFolder",
     {{"f.txt", Header("c.bin") + "41++../../f_2.txt\r\n"}, {"f_2.txt", "2 LfdNr\r\n42~~0000163E"}},
     ConversionResult::Succeeded,
     std::nullopt,
     "AB"},
    {"WrongOrder",
     {{"f.txt", Header("c.bin") + "41++f_2.txt\r\n"}, {"f_2.txt", "3 LfdNr\r\n42~~0000163E"}},
     ConversionResult::Failed,
     Shown{"Falsche Reihenfolge.", "Fehler", MessageKind::Error},
     std::nullopt},
    {"MissingPart",
     {{"f.txt", Header("c.bin") + "41++f_2.txt\r\n"}},
     ConversionResult::Failed,
     Shown{"beim Öffnen der Zieldatei.", "Fehler 2", MessageKind::Error},
     std::nullopt},
    {"UnusableContinuationName",
     {{"f.txt", Header("c.bin") + "41++..\r\n"}},
     ConversionResult::Failed,
     Shown{"beim Öffnen der Zieldatei.", "Fehler 2", MessageKind::Error},
     std::nullopt},
    {"EmptySource",
     {{"f.txt", ""}},
     ConversionResult::Failed,
     Shown{"ist leer", "Die Quelldatei", MessageKind::Warning},
     std::nullopt},
};

class DecoderTableTest : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecoderTableTest, GivesResultMessageAndTarget) {
    const DecodeRow& row = GetParam();
    ScratchFolder folder;
    for (const auto& [name, bytes] : row.files) WriteFile(folder / name, bytes);
    RecordingMessages messages;
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), row.result);
    if (row.message) {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, row.message->text);
        EXPECT_EQ(messages.shown[0].caption, row.message->caption);
        EXPECT_EQ(messages.shown[0].kind, row.message->kind);
    } else {
        EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].caption << ' ' << messages.shown[0].text;
    }
    if (row.target) {
        EXPECT_EQ(ReadFile(folder / "out.bin"), *row.target);
    } else {
        EXPECT_FALSE(fs::exists(folder / "out.bin"));
    }
    // Checking a chain agrees with decoding it.
    RecordingMessages checkMessages;
    EXPECT_EQ(CheckHexText(folder / "f.txt", {checkMessages}), row.result);
    // Nothing but the inputs and the target is left in the folder.
    std::vector<std::string> expected;
    for (const auto& [name, bytes] : row.files) expected.push_back(name);
    if (row.target) expected.push_back("out.bin");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
}

INSTANTIATE_TEST_SUITE_P(Chains, DecoderTableTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<DecodeRow>& info) { return info.param.name; });

TEST(DecoderProgressTest, ReportsEachChangedValue) {
    ScratchFolder folder;
    WriteFile(folder / "f.txt", kAbc);
    RecordingMessages messages;
    RecordingProgress progress;
    ASSERT_EQ(HexToBin(folder / "f.txt", folder / "abc.bin", {messages, &progress}), ConversionResult::Succeeded);
    // Data size 16 ("414243~~00001685"); consumed 2, 4, 6.
    EXPECT_EQ(progress.values, (std::vector<int>{12, 25, 37}));
}

TEST(DecoderProgressTest, PassesOneHundredInLaterParts) {
    ScratchFolder folder;
    WriteFile(folder / "f.txt", Header("c.bin") + "41++f_2.txt\r\n");
    WriteFile(folder / "f_2.txt", "2 LfdNr\r\n424344~~000016CD");
    RecordingMessages messages;
    RecordingProgress progress;
    ASSERT_EQ(HexToBin(folder / "f.txt", folder / "c.bin", {messages, &progress}), ConversionResult::Succeeded);
    // Data size 13 ("41++f_2.txt\r\n"); consumed 2 at "41", then 6, 8, 10
    // after "++". Checksum: 0x41..0x44 sum to 266, plus 16 = 282; 5555 + 282
    // = 5837 = 0x16CD.
    EXPECT_EQ(progress.values, (std::vector<int>{15, 46, 61, 76}));
    RecordingProgress longer;
    WriteFile(folder / "f_2.txt", "2 LfdNr\r\n" + std::string(20, '4') + "~~0");
    HexToBin(folder / "f.txt", folder / "d.bin", {messages, &longer});
    EXPECT_GT(longer.values.back(), 100);
}

class ExistingTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder / "f.txt", kAbc);
        WriteFile(folder / "out.bin", "old contents");
    }
    ScratchFolder folder;
    RecordingMessages messages;
};

TEST_F(ExistingTargetTest, AsksAndKeepsTheFileOnNo) {
    messages.answers = {kAnswerNo};
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "ACHTUNG");
    EXPECT_EQ(messages.shown[0].text,
              "Die Zieldatei\n" + (folder / "out.bin").string() + "\nbesteht bereits.\nSoll sie überschrieben werden?");
    EXPECT_EQ(messages.shown[0].kind, MessageKind::YesNoWarning);
    EXPECT_EQ(ReadFile(folder / "out.bin"), "old contents");
}

TEST_F(ExistingTargetTest, ReplacesTheFileOnYes) {
    messages.answers = {kAnswerYes};
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(folder / "out.bin"), "ABC");
}

TEST_F(ExistingTargetTest, EmptySourceLeavesTheFileUntouched) {
    WriteFile(folder / "f.txt", "");
    messages.answers = {kAnswerYes};
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].caption, "Die Quelldatei");
    EXPECT_EQ(ReadFile(folder / "out.bin"), "old contents");
}

TEST_F(ExistingTargetTest, FailureLaterInTheChainKeepsTheOldFile) {
    // Before the temporary-file scheme, a failure here deleted what the user
    // had at the target path.
    WriteFile(folder / "f.txt", Header("c.bin") + "41++f_2.txt\r\n");
    WriteFile(folder / "f_2.txt", "7 LfdNr\r\n42");
    messages.answers = {kAnswerYes};
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Failed);
    EXPECT_EQ(ReadFile(folder / "out.bin"), "old contents");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"f.txt", "f_2.txt", "out.bin"}));
}

TEST_F(ExistingTargetTest, KeepsTheModeOfTheReplacedFile) {
    ASSERT_EQ(::chmod((folder / "out.bin").c_str(), 0640), 0);
    messages.answers = {kAnswerYes};
    ASSERT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Succeeded);
    struct stat st {};
    ASSERT_EQ(::stat((folder / "out.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

struct SameFileRow {
    const char* name;
    const char* target;  // which file of the chain the target is
};

class SameFileTest : public ::testing::TestWithParam<SameFileRow> {};

TEST_P(SameFileTest, RefusesToWriteOverItsInput) {
    ScratchFolder folder;
    const std::string first = Header("c.bin") + "41++f_2.txt\r\n";
    const std::string second = "2 LfdNr\r\n42~~0000163E";
    WriteFile(folder / "f.txt", first);
    WriteFile(folder / "f_2.txt", second);
    // Reached through a second name, so that only the file's identity tells.
    fs::create_hard_link(folder / GetParam().target, folder / "alias");
    RecordingMessages messages;
    messages.answers = {kAnswerYes, kAnswerYes};
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "alias", {messages}), ConversionResult::Failed);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().caption, "Fehler");
    EXPECT_EQ(messages.shown.back().text, "Zieldatei und Quelldatei sind dieselbe Datei.");
    EXPECT_EQ(messages.shown.back().kind, MessageKind::Error);
    EXPECT_EQ(ReadFile(folder / "f.txt"), first);
    EXPECT_EQ(ReadFile(folder / "f_2.txt"), second);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"alias", "f.txt", "f_2.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Inputs, SameFileTest,
                         ::testing::Values(SameFileRow{"Source", "f.txt"}, SameFileRow{"LaterPart", "f_2.txt"}),
                         [](const ::testing::TestParamInfo<SameFileRow>& info) { return info.param.name; });

TEST(DecoderTargetTest, FolderAsTargetFailsWithoutQuestion) {
    ScratchFolder folder;
    WriteFile(folder / "f.txt", kAbc);
    fs::create_directory(folder / "out.bin");
    RecordingMessages messages;
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Fehler 21");  // EISDIR
    EXPECT_EQ(messages.shown[0].text, "beim Anlegen der Zieldatei.");
}

TEST(DecoderTargetTest, MissingSourceGivesTheOpenError) {
    ScratchFolder folder;
    RecordingMessages messages;
    EXPECT_EQ(HexToBin(folder / "nope.txt", folder / "out.bin", {messages}), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Fehler 2");
    EXPECT_EQ(messages.shown[0].text, "beim Öffnen der Quelldatei.");
}

TEST(DecoderTargetTest, MissingTargetFolderGivesTheCreateError) {
    ScratchFolder folder;
    WriteFile(folder / "f.txt", kAbc);
    RecordingMessages messages;
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "no" / "out.bin", {messages}), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Fehler 2");
    EXPECT_EQ(messages.shown[0].text, "beim Anlegen der Zieldatei.");
}

}  // namespace
}  // namespace calverdon::testing
