// The command-line tool run in-process with string streams in place of the
// terminal: its hex-text subcommands, wrong usage, and the version
// subcommand's files that cannot be read.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "../convert/EngineTestSupport.h"
#include "CliTestSupport.h"

namespace calverdon::testing {
namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(folder / "abc.txt", Header("abc.bin") + "414243~~00001685"); }
    std::string Path(const char* name) { return (folder / name).string(); }
    ScratchFolder folder;
};

TEST_F(CliTest, DecodeWritesTheNamedFileBesideTheSource) {
    const ToolRun run = RunTool({"decode", Path("abc.txt")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Path("abc.bin") + "\n");
    EXPECT_EQ(ReadFile(folder / "abc.bin"), "ABC");
}

TEST_F(CliTest, ExitCodesFollowTheResult) {
    WriteFile(folder / "bad.txt", Header("bad.bin") + "414243~~00000000");
    WriteFile(folder / "cut.txt", Header("cut.bin") + "4142");
    WriteFile(folder / "nohex.txt", "hello\r\n");
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Row rows[] = {
        {{"check", Path("abc.txt")}, 0, ""},
        // A check writes no target file.
        {{"check", Path("bad.txt")}, 3, "Prüfsummenfehler. Die Hex-Text-Kette könnte Fehler aufweisen.\n"},
        {{"decode", Path("cut.txt")}, 3, "Prüfsummenfehler. Die Zieldatei könnte Fehler aufweisen.\n"},
        {{"decode", Path("nohex.txt")}, 1, "Dies ist keine Kelvarin-Hex-Datei oder eine veraltete Version\n"},
        {{"check", Path("missing.txt")}, 1,
         "Fehler 2 beim Öffnen der Quell-Datei.\n" + Path("missing.txt") + ": Die Datei gibt es nicht.\n"},
        {{"encode", Path("missing.bin")}, 1,
         "Fehler 2 beim Öffnen der Quelldatei.\n" + Path("missing.bin") + ": Die Datei gibt es nicht.\n"},
        {{"decode"}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"encode", "-o", "x.txt", "a", "b"}, 2, "--output geht nur mit einer einzigen Quelldatei.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
        const ToolRun run = RunTool(row.args);
        EXPECT_EQ(run.exitCode, row.exitCode);
        if (!row.err.empty()) {
            EXPECT_EQ(run.err, row.err);
        }
    }
    // Checking writes nothing.
    EXPECT_FALSE(fs::exists(folder / "bad.bin"));
}

TEST(CliUsageTest, WrongUsageIsToldInGerman) {
    struct Row {
        std::vector<std::string> args;
        std::string err;  // the start of stderr
    };
    const Row rows[] = {
        {{}, "Es fehlt ein Unterbefehl: decode, encode, check, barcode, version, phonetik, distance"},
        {{"frobnicate"}, "Unbekannter Unterbefehl: frobnicate.\nMehr dazu: calverdon-cli --help\n"},
        {{"decode"}, "Das Argument QUELLE fehlt.\nMehr dazu: calverdon-cli decode --help\n"},
        {{"barcode", "-o", "x.png", "A"}, "Die Option --type fehlt.\n"},
        {{"decode", "--foo", "x"}, "Unbekannte Option für decode: --foo.\n"},
        {{"version", "a", "b"}, "Überzähliges Argument für version: b.\n"},
        {{"phonetik", "--max", "32768"}, "Ungültiger Wert für --max: 32768 liegt nicht zwischen -32768 und 32767.\n"},
        {{"phonetik", "--max", "viel"}, "Ungültiger Wert für --max: viel ist keine ganze Zahl.\n"},
        {{"barcode", "--type", "qr", "-o", "x.png", "A"},
         "Ungültiger Wert für --type: qr ist nicht code128, ean128, code39 oder 2of5i.\n"},
        {{"phonetik", "--max"}, "Nach --max fehlt der Wert.\n"},
        {{"decode", "--yes=vielleicht", "x"}, "Ungültiger Wert für --yes: vielleicht.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.err);
        const ToolRun run = RunTool(row.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.starts_with(row.err)) << run.err;
        EXPECT_EQ(run.out, "");
    }
    // Help is no wrong usage, and names its arguments in German too.
    const ToolRun help = RunTool({"version", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Aufruf: calverdon-cli version [OPTIONEN] [DATEI]\n"), std::string::npos) << help.out;
}

TEST_F(CliTest, ExistingTargetIsRefusedWithoutTerminalUnlessYes) {
    WriteFile(folder / "abc.bin", "old");
    const ToolRun refused = RunTool({"decode", Path("abc.txt")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("ACHTUNG Die Zieldatei " + Path("abc.bin") + " besteht bereits."), std::string::npos);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos);
    EXPECT_EQ(ReadFile(folder / "abc.bin"), "old");

    EXPECT_EQ(RunTool({"decode", "--yes", Path("abc.txt")}).exitCode, 0);
    EXPECT_EQ(ReadFile(folder / "abc.bin"), "ABC");
}

TEST_F(CliTest, TerminalAnswerDecides) {
    WriteFile(folder / "abc.bin", "old");
    const ToolRun no = RunTool({"decode", Path("abc.txt")}, "n\n", true);
    EXPECT_EQ(no.exitCode, 1);
    EXPECT_NE(no.err.find("Soll sie überschrieben werden? [j/N]"), std::string::npos);
    EXPECT_EQ(ReadFile(folder / "abc.bin"), "old");
    EXPECT_EQ(RunTool({"decode", Path("abc.txt")}, "j\n", true).exitCode, 0);
    EXPECT_EQ(ReadFile(folder / "abc.bin"), "ABC");
}

// A file that cannot be opened or created: the engine's sentence, then a
// line that names the file (or, for what lies in the folder, the folder)
// and the reason.
TEST_F(CliTest, OpenFailureNamesTheFileAndTheReason) {
    WriteFile(folder / "kette.txt", Header("kette.bin") + "41++kette_2.txt\r\n");
    ASSERT_EQ(::mkfifo(Path("fifo.txt").c_str(), 0600), 0);
    WriteFile(folder / "a.bin", "data");
    fs::create_directory(folder / "ordner.txt");
    struct Row {
        std::vector<std::string> args;
        std::string err;
    };
    const Row rows[] = {
        {{"decode", Path("kette.txt")},
         "Fehler 2 beim Öffnen der Teildatei kette_2.txt.\n" + Path("kette_2.txt") + ": Die Datei gibt es nicht.\n"},
        {{"decode", "-o", Path("fehlt/abc.bin"), Path("abc.txt")},
         "Fehler 2 beim Anlegen der Zieldatei.\n" + Path("fehlt") + ": Den Ordner gibt es nicht.\n"},
        {{"check", Path("fifo.txt")},
         "Fehler beim Öffnen der Quell-Datei: keine gewöhnliche Datei.\n" + Path("fifo.txt") +
             ": Keine gewöhnliche Datei, sondern ein FIFO, ein Gerät oder ein Socket.\n"},
        {{"encode", "-o", Path("ordner.txt"), Path("a.bin")},
         "Fehler 21 beim Anlegen der Zieldatei.\n" + Path("ordner.txt") + ": Das ist ein Ordner.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.back());
        const ToolRun run = RunTool(row.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, row.err);
    }
}

// Several files to replace: the sentence about the terminal is plural too.
TEST_F(CliTest, RefusalWithoutTerminalAgreesInNumber) {
    WriteFile(folder / "a.bin", std::string(3000, 'a'));
    WriteFile(folder / "a.txt", "old");
    WriteFile(folder / "a_2.txt", "old");
    const ToolRun run = RunTool({"encode", "--kb", "1", Path("a.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.ends_with(
        "und 1 weitere Datei bestehen bereits. Sollen sie überschrieben werden? "
        "Ohne Terminal werden sie nur mit --yes überschrieben.\n"))
        << run.err;
}

// On a terminal the bar ends at 100 % on a line of its own, before the
// result's path; a failure takes the bar off its line for the message.
TEST_F(CliTest, ProgressBarEndsFullOnItsOwnLine) {
    const std::string full = "\r[" + std::string(40, '#') + "] 100 %\n";
    const ToolRun done = RunTool({"decode", Path("abc.txt")}, "", false, true);
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_TRUE(done.err.ends_with(full)) << done.err;
    EXPECT_EQ(done.out, Path("abc.bin") + "\n");

    WriteFile(folder / "kette.txt", Header("kette.bin") + "41++kette_2.txt\r\n");
    const ToolRun failed = RunTool({"decode", Path("kette.txt")}, "", false, true);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find(" %\r\033[KFehler 2 beim Öffnen der Teildatei"), std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.find("100 %"), std::string::npos);
}

TEST_F(CliTest, EncodeSharesTheLineGeneratorAcrossSources) {
    // Two sources in one call continue one sequence of line lengths, so the
    // second file's first line differs from what a fresh start would give.
    WriteFile(folder / "a.bin", std::string(100, 'a'));
    WriteFile(folder / "b.bin", std::string(100, 'b'));
    const ToolRun run = RunTool({"encode", "--kb", "0", Path("a.bin"), Path("b.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Path("a.txt") + "\n" + Path("b.txt") + "\n");
    const std::string a = ReadFile(folder / "a.txt");
    const std::string b = ReadFile(folder / "b.txt");
    const auto firstLineLength = [](const std::string& text, std::size_t headerSize) {
        return text.find("\r\n", headerSize) - headerSize;
    };
    EXPECT_NE(firstLineLength(a, Header("a.bin").size()), firstLineLength(b, Header("b.bin").size()));
    EXPECT_EQ(RunTool({"decode", "-o", Path("b2.bin"), Path("b.txt")}).exitCode, 0);
    EXPECT_EQ(ReadFile(folder / "b2.bin"), std::string(100, 'b'));
}

TEST_F(CliTest, EncodeRefusesToReplaceWithoutTerminalUnlessYes) {
    WriteFile(folder / "a.bin", "data");
    WriteFile(folder / "a.txt", "old");
    const ToolRun refused = RunTool({"encode", Path("a.bin")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos);
    EXPECT_EQ(ReadFile(folder / "a.txt"), "old");
    EXPECT_EQ(RunTool({"encode", "--yes", Path("a.bin")}).exitCode, 0);
    EXPECT_EQ(ReadFile(folder / "a.txt").substr(0, Header("a.bin").size()), Header("a.bin"));
}

TEST_F(CliTest, EmptyValueAfterEqualsSignIsTheEmptyText) {
    // "--kb=" is the empty limit, which does not split; the next argument
    // stays a source.
    WriteFile(folder / "a.bin", std::string(3000, 'a'));
    const ToolRun run = RunTool({"encode", "--kb=", Path("a.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Path("a.txt") + "\n");
    // abc.txt, a.bin and a.txt, and no part files.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 3);
}

TEST_F(CliTest, VersionTellsWhyAFileCannotBeRead) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        std::string err;
    };
    const Row rows[] = {
        {{"version", ""}, 2, "", "Der Dateiname ist leer.\n"},
        {{"version", Path("missing.dll")}, 1, "", "Fehler 2 beim Öffnen der Datei " + Path("missing.dll") + ".\n"},
        {{"version", folder.Path().string()}, 1, "", folder.Path().string() + " ist ein Ordner.\n"},
        {{"version", Path("fifo")}, 1, "", Path("fifo") + " ist keine gewöhnliche Datei.\n"},
        {{"version", "calverdon-missing.so"},
         1,
         "",
         "calverdon-missing.so ist weder im Ordner des Programms noch in LD_LIBRARY_PATH noch in den "
         "Bibliotheksordnern zu finden (im aktuellen Ordner: ./calverdon-missing.so).\n"},
        // A file that can be read but has no version block.
        {{"version", Path("abc.txt")}, 1, "---\n\n", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[1]);
        const ToolRun run = RunTool(row.args);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, row.err);
    }
}

TEST_F(CliTest, PrintedNamesCannotControlTheTerminal) {
    const ToolRun run = RunTool({"decode", "-o", Path("t\x1b]0;owned\x07.bin"), Path("abc.txt")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Path("t\\x1b]0;owned\\x07.bin") + "\n");
}

}  // namespace
}  // namespace calverdon::testing
