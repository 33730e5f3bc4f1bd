// The decoder: results, messages and what stays on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include <optional>
#include <utility>

#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

struct DecodeRow {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // first: the source f.txt
    ConversionResult result;
    std::optional<ShownMessage> message;
    std::optional<std::string> target;  // bytes of out.bin afterwards, or none
};

// 5555 + 0x41 + 0x42 + 0x43 + 3 * 4 = 5765 = 0x1685.
const std::string kAbc = Header("abc.bin") + "414243~~00001685";

// Sum of the bytes plus 4 each, on top of 5555, worked out by hand in each
// row's comment.
const DecodeRow kRows[] = {
    {"ThreeBytes", {{"f.txt", kAbc}}, ConversionResult::Succeeded, std::nullopt, "ABC"},
    {"ChangedChecksumDigit",
     {{"f.txt", Header("abc.bin") + "414243~~00001686"}},
     ConversionResult::ChecksumMismatch,
     ShownMessage{"Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning},
     "ABC"},
    {"LowercaseAndShortChecksum", {{"f.txt", Header("abc.bin") + "414243~~1685"}},
     ConversionResult::Succeeded, std::nullopt, "ABC"},
    {"ChecksumAfterBlanks", {{"f.txt", Header("abc.bin") + "414243~~ \r\n00001685"}},
     ConversionResult::Succeeded, std::nullopt, "ABC"},
    {"EndLineWithoutDigits",
     {{"f.txt", Header("abc.bin") + "414243~~"}},
     ConversionResult::ChecksumMismatch,
     ShownMessage{"Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning},
     "ABC"},
    // A file cut short (here with an odd last character) is no success.
    {"MissingEndLine",
     {{"f.txt", Header("abc.bin") + "4142434"}},
     ConversionResult::ChecksumMismatch,
     ShownMessage{"Die Zieldatei könnte Fehler aufweisen.", "Prüfsummenfehler.", MessageKind::Warning},
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
     ShownMessage{"Falsche Reihenfolge.", "Fehler", MessageKind::Error},
     std::nullopt},
    {"MissingPart",
     {{"f.txt", Header("c.bin") + "41++f_2.txt\r\n"}},
     ConversionResult::Failed,
     ShownMessage{"beim Öffnen der Teildatei f_2.txt.", "Fehler 2", MessageKind::Error},
     std::nullopt},
    {"UnusableContinuationName",
     {{"f.txt", Header("c.bin") + "41++..\r\n"}},
     ConversionResult::Failed,
     ShownMessage{"beim Öffnen der Teildatei.", "Fehler 2", MessageKind::Error},
     std::nullopt},
    // A control character in the name stands for "_", as in the header.
    {"ControlCharacterInContinuationName",
     {{"f.txt", Header("c.bin") + "41++f\x1b" "2.txt\r\n"}, {"f_2.txt", "2 LfdNr\r\n42~~0000163E"}},
     ConversionResult::Succeeded,
     std::nullopt,
     "AB"},
    // Read in one go of 511 characters, the line end would be taken for
    // data; only the lenient second reading, which goes by lines, gets the
    // bytes, and says so.
    {"HeaderLineLongerThanTheDecoderReads",
     {{"f.txt", "Kelvarin-Hex-Text 1.0\r\n" + std::string(510, 'n') + "\r\n414243~~00001685"}},
     ConversionResult::Succeeded,
     ShownMessage{"Zeilenenden oder E-Mail-Zitatzeichen der Hex-Text-Datei wurden beim Lesen repariert; die Prüfsumme "
           "stimmt.",
           "Hinweis", MessageKind::Information},
     "ABC"},
    // Quoted with ">" and no blank, the strict reading's pairs are shifted
    // by one digit and happen to give the same sum: such a file is read
    // the lenient way only. 0x89 + 0x6f + 0x20 + 0x86 + 0x83 + 5*4 = 565;
    // 5555 + 565 = 6120 = 0x17E8.
    {"QuotedWithoutBlankIsReadLenientlyOnly",
     {{"f.txt", ">Kelvarin-Hex-Text 1.0\r\n>d.bin\r\n>896f2086\r\n>83~~000017E8"}},
     ConversionResult::Succeeded,
     ShownMessage{"Zeilenenden oder E-Mail-Zitatzeichen der Hex-Text-Datei wurden beim Lesen repariert; die Prüfsumme "
           "stimmt.",
           "Hinweis", MessageKind::Information},
     "\x89\x6f\x20\x86\x83"},
    {"EmptySource",
     {{"f.txt", ""}},
     ConversionResult::Failed,
     ShownMessage{"ist leer", "Die Quelldatei", MessageKind::Warning},
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

TEST(DecoderProgressTest, RunsOnceOverAChainOfUsualNames) {
    ScratchFolder folder;
    WriteFile(folder / "f.txt", Header("c.bin") + "41++f_2.txt\r\n");
    WriteFile(folder / "f_2.txt", "2 LfdNr\r\n424344~~000016CD");
    RecordingMessages messages;
    RecordingProgress progress;
    ASSERT_EQ(HexToBin(folder / "f.txt", folder / "c.bin", {messages, &progress}), ConversionResult::Succeeded);
    // The data of both parts count: 13 ("41++f_2.txt\r\n") and 25 bytes of
    // f_2.txt, 38 in all; consumed 2 at "41", then 6, 8, 10 after "++".
    // Checksum: 0x41..0x44 sum to 266, plus 16 = 282; 5555 + 282 = 5837 =
    // 0x16CD.
    EXPECT_EQ(progress.values, (std::vector<int>{5, 15, 21, 26}));

    // Parts under other names are not known in advance: the bar runs over
    // the first part and is full from then on.
    WriteFile(folder / "g.txt", Header("c.bin") + "41++other.txt\r\n");
    WriteFile(folder / "other.txt", "2 LfdNr\r\n" + std::string(20, '4') + "~~0");
    RecordingProgress longer;
    HexToBin(folder / "g.txt", folder / "d.bin", {messages, &longer});
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

TEST_F(ExistingTargetTest, KeepsOnlyThePermissionBitsOfTheReplacedFile) {
    // A set-user-ID bit must never come from a hex-text file.
    ASSERT_EQ(::chmod((folder / "out.bin").c_str(), 04750), 0);
    messages.answers = {kAnswerYes};
    ASSERT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Succeeded);
    struct stat st {};
    ASSERT_EQ(::stat((folder / "out.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
}

TEST_F(ExistingTargetTest, UnverifiedResultGoesBesideTheExistingFile) {
    WriteFile(folder / "f.txt", Header("abc.bin") + "414243~~00001686");
    for (const char* expected : {"out (beschädigt).bin", "out (beschädigt 2).bin"}) {
        messages.answers = {kAnswerYes};
        messages.shown.clear();
        fs::path written;
        EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}, &written),
                  ConversionResult::ChecksumMismatch);
        EXPECT_EQ(written, folder / expected);
        EXPECT_EQ(ReadFile(written), "ABC");
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_NE(messages.shown[1].text.find(expected), std::string::npos) << messages.shown[1].text;
    }
    EXPECT_EQ(ReadFile(folder / "out.bin"), "old contents");
}

TEST_F(ExistingTargetTest, UnverifiedResultBesideALongNameIsShortenedToFit) {
    // 250 bytes of stem: with " (beschädigt)" the name would pass the 255
    // bytes a folder takes, and the result would be lost for its name.
    const std::string stem(250, 'x');
    WriteFile(folder / (stem + ".bin"), "old contents");
    WriteFile(folder / "f.txt", Header("abc.bin") + "414243~~00001686");
    messages.answers = {kAnswerYes};
    fs::path written;
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / (stem + ".bin"), {messages}, &written),
              ConversionResult::ChecksumMismatch);
    EXPECT_EQ(written.filename().string(), std::string(237, 'x') + " (beschädigt).bin");
    EXPECT_EQ(ReadFile(written), "ABC");
}

TEST(DecoderTargetTest, LinkAtTheTargetIsReplacedNeverWrittenThrough) {
    ScratchFolder folder;
    ScratchFolder elsewhere;
    WriteFile(folder / "f.txt", kAbc);
    WriteFile(elsewhere / "victim", "precious");
    ASSERT_EQ(::chmod((elsewhere / "victim").c_str(), 04755), 0);
    fs::create_symlink(elsewhere / "victim", folder / "out.bin");
    fs::create_symlink(elsewhere / "missing", folder / "dangling.bin");
    RecordingMessages messages;
    // A dangling link is an existing target as well.
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "dangling.bin", {messages}), ConversionResult::Failed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "ACHTUNG");
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.bin"));

    messages.answers = {kAnswerYes};
    EXPECT_EQ(HexToBin(folder / "f.txt", folder / "out.bin", {messages}), ConversionResult::Succeeded);
    EXPECT_FALSE(fs::is_symlink(folder / "out.bin"));
    EXPECT_EQ(ReadFile(folder / "out.bin"), "ABC");
    EXPECT_EQ(ReadFile(elsewhere / "victim"), "precious");
    struct stat st {};
    ASSERT_EQ(::stat((folder / "out.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07000, 0u);
}

TEST(DecoderTargetTest, TheUnfinishedTargetHasNoNameInTheFolder) {
    // Whatever ends the process then, nothing of the run is left behind.
    ScratchFolder folder;
    const int probe = ::open(folder.Path().c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "the file system has no unnamed files";
    ::close(probe);
    WriteFile(folder / "f.txt", kAbc);
    struct Listing final : ProgressReceiver {
        explicit Listing(const ScratchFolder& f) : folder(f) {}
        void SetProgress(int) override { seen.push_back(folder.Names()); }
        const ScratchFolder& folder;
        std::vector<std::vector<std::string>> seen;
    } listing(folder);
    RecordingMessages messages;
    ASSERT_EQ(HexToBin(folder / "f.txt", folder / "abc.bin", {messages, &listing}), ConversionResult::Succeeded);
    ASSERT_FALSE(listing.seen.empty());
    for (const auto& names : listing.seen) EXPECT_EQ(names, std::vector<std::string>{"f.txt"});
}

TEST(DecoderChainTest, FollowsChainsOfMoreThan32767Parts) {
    // A 16-bit part counter would wrap at the 32768th part.
    ScratchFolder folder;
    constexpr int kParts = 32769;
    const auto name = [](int n) { return n == 1 ? std::string("f.txt") : "f_" + std::to_string(n) + ".txt"; };
    WriteFile(folder / name(1), Header("c.bin") + "00++" + name(2) + "\r\n");
    for (int n = 2; n < kParts; ++n) {
        WriteFile(folder / name(n), std::to_string(n) + " LfdNr\r\n00++" + name(n + 1) + "\r\n");
    }
    // One byte 0 per part: 5555 + 4 for each.
    char endLine[16];
    std::snprintf(endLine, sizeof endLine, "~~%08X", 5555u + 4u * kParts);
    WriteFile(folder / name(kParts), std::to_string(kParts) + " LfdNr\r\n00" + endLine);
    RecordingMessages messages;
    EXPECT_EQ(CheckHexText(folder / "f.txt", {messages}), ConversionResult::Succeeded);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DecoderTargetTest, FifosAreRefusedWithoutBlocking) {
    ScratchFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    WriteFile(folder / "f.txt", kAbc);
    WriteFile(folder / "chain.txt", Header("c.bin") + "41++fifo\r\n");
    WriteFile(folder / "data.bin", "data");
    using Run = std::function<ConversionResult(RecordingMessages&)>;
    const std::pair<Run, std::string> rows[] = {
        {[&](RecordingMessages& m) { return HexToBin(folder / "fifo", folder / "out.bin", {m}); },
         "beim Öffnen der Quelldatei: keine gewöhnliche Datei."},
        {[&](RecordingMessages& m) { return HexToBin(folder / "chain.txt", folder / "out.bin", {m}); },
         "beim Öffnen der Teildatei fifo: keine gewöhnliche Datei."},
        {[&](RecordingMessages& m) { return HexToBin(folder / "f.txt", folder / "fifo", {m}); },
         "beim Anlegen der Zieldatei: keine gewöhnliche Datei."},
        {[&](RecordingMessages& m) { return BinToHex(folder / "fifo", folder / "x.txt", "0", {m}); },
         "beim Öffnen der Quelldatei: keine gewöhnliche Datei."},
        {[&](RecordingMessages& m) { return BinToHex(folder / "data.bin", folder / "fifo", "0", {m}); },
         "beim Anlegen der Zieldatei: keine gewöhnliche Datei."},
    };
    for (const auto& [run, text] : rows) {
        SCOPED_TRACE(text);
        RecordingMessages messages;
        EXPECT_EQ(run(messages), ConversionResult::Failed);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].caption, "Fehler");
        EXPECT_EQ(messages.shown[0].text, text);
    }
    RecordingMessages messages;
    EXPECT_EQ(ReadTargetName(folder / "fifo", messages), "");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"chain.txt", "data.bin", "f.txt", "fifo"}));
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
