// calverdon-cli mail in-process: wrong usage, the .eml folder's overwrite
// question, the mbox appender, and a sendmail that fails half-way, with
// the repeat that the report prints.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <regex>

#include "../convert/EngineTestSupport.h"
#include "CliTestSupport.h"
#include "MailDelivery.h"

namespace calverdon::testing {
namespace {

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(11);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

constexpr const char* kHelp = "Mehr dazu: calverdon-cli mail --help\n";

struct UsageRow {
    const char* name;
    std::vector<std::string> args;  // "FILE" stands for a file of 2000 bytes
    int exitCode;
    std::string err;
};

TEST(MailCliTest, WrongUsageIsToldInGerman) {
    ScratchFolder folder;
    const std::string file = (folder / "a.bin").string();
    WriteFile(file, RandomBytes(2000));
    const UsageRow rows[] = {
        {"--kb and --mail-size", {"--kb", "5", "--mail-size", "5", "FILE"}, 2,
         std::string("--kb geht nicht zusammen mit --mail-size.\n") + kHelp},
        {"--only-parts alone", {"--only-parts", "3", "FILE"}, 2,
         std::string("--only-parts geht nur zusammen mit --chain-id.\n") + kHelp},
        {"--sendmail without --to", {"--sendmail", "FILE"}, 2,
         "Zum Versand mit --sendmail fehlt die Adresse: --to ADRESSE.\n"},
        {"no address", {"--to", "kunde", "FILE"}, 2,
         std::string("Ungültiger Wert für --to: kunde ist keine E-Mail-Adresse.\n") + kHelp},
        {"a mail size too small for a mail", {"--mail-size", "0,001", "FILE"}, 2,
         "--mail-size 0,001 MB ist zu klein: schon Kopf und Text einer E-Mail brauchen fast so viel.\n"
         "Keine E-Mail wurde geschrieben.\n"},
        {"a part the file does not have", {"-o", folder.Path().string(), "--only-parts", "1,7", "--chain-id",
                                           "0123456789abcdef", "FILE"},
         2, "Teil 7 gibt es nicht: a.bin ergibt 1 Teil.\nKeine E-Mail wurde geschrieben.\n"},
        {"a chain whose parts have changed", {"-o", folder.Path().string(), "--chain-id", "0123456789abcdef", "FILE"},
         1,
         "a.bin ergibt nicht mehr die Teile der Kette 0123456789abcdef: die Datei oder die Teilgröße hat sich seit "
         "dem ersten Versand geändert. Ohne --only-parts und --chain-id geht die ganze Datei als neue Kette "
         "hinaus.\nKeine E-Mail wurde geschrieben.\n"},
    };
    for (const UsageRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args = {"mail"};
        for (const std::string& arg : row.args) args.push_back(arg == "FILE" ? file : arg);
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.err, row.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.bin"});
}

TEST(MailCliTest, EmlFilesAreReplacedOnlyWithYes) {
    ScratchFolder folder;
    const std::string file = (folder / "bericht.pdf").string();
    WriteFile(file, RandomBytes(3000));
    const std::string out = (folder / "mails").string();
    fs::create_directory(out);
    const ToolRun first = RunTool({"mail", "--kb", "4", "-o", out, file});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, out + "/bericht.eml\n" + out + "/bericht_2.eml\n");
    WriteFile(out + "/bericht_2.eml", "eigene Datei");

    const ToolRun refused = RunTool({"mail", "--kb", "4", "-o", out, file});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "ACHTUNG Die Zieldatei " + out +
                               "/bericht.eml und 1 weitere Datei bestehen bereits. Sollen sie überschrieben "
                               "werden? Ohne Terminal werden sie nur mit --yes überschrieben.\n"
                               "Keine E-Mail wurde geschrieben.\n");
    EXPECT_EQ(ReadFile(out + "/bericht_2.eml"), "eigene Datei");

    const ToolRun replaced = RunTool({"mail", "--kb", "4", "-o", out, "-y", file});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_NE(ReadFile(out + "/bericht_2.eml").find("X-Calverdon-Teil: 2/2"), std::string::npos);
}

TEST(MailCliTest, MboxGetsQuotedMailsAfterAnEmptyLine) {
    ScratchFolder folder;
    WriteFile(folder / "mail.eml", "Subject: x\n\nFrom here\n>From there\nFromage\n");
    const fs::path mbox = folder / "inbox";
    // An mbox whose last mail lacks its closing empty line.
    WriteFile(mbox, "From a@example.org Mon Jan  1 00:00:00 2024\nSubject: alt\n\nText\n");
    // 2024-06-03 08:00:00 UTC.
    EXPECT_EQ(cli::AppendToMbox(mbox, {{folder / "mail.eml", "b@example.org", 1717401600}}, {}), "");
    EXPECT_EQ(ReadFile(mbox),
              "From a@example.org Mon Jan  1 00:00:00 2024\nSubject: alt\n\nText\n\n"
              "From b@example.org Mon Jun  3 08:00:00 2024\nSubject: x\n\n>From here\n>>From there\nFromage\n\n");
}

TEST(MailCliTest, MboxStaysAsItWasWhenAMailCannotBeRead) {
    ScratchFolder folder;
    WriteFile(folder / "mail.eml", "Subject: x\n\nText\n");
    const fs::path mbox = folder / "inbox";
    const std::string before = "From a@example.org Mon Jan  1 00:00:00 2024\nSubject: alt\n\nText\n\n";
    WriteFile(mbox, before);
    const std::string problem =
        cli::AppendToMbox(mbox, {{folder / "mail.eml", "", 0}, {folder / "fehlt.eml", "", 0}}, {});
    EXPECT_EQ(problem, "Fehler 2 beim Schreiben der mbox-Datei " + mbox.string() + "; sie blieb, wie sie war.");
    EXPECT_EQ(ReadFile(mbox), before);
}

// A sendmail that keeps each mail it is given in a folder, and fails from
// the third mail on while the file "fail" exists.
fs::path WriteStandInSendmail(const ScratchFolder& folder) {
    fs::create_directory(folder / "sent");
    const fs::path script = folder / "sendmail";
    WriteFile(script, "set -e\ncount=$(ls '" + (folder / "sent").string() +
                          "' | wc -l)\n"
                          "if [ -e '" + (folder / "fail").string() + "' ] && [ \"$count\" -ge 2 ]; then exit 75; fi\n"
                          "cat > '" + (folder / "sent").string() + "'/mail$count.eml\n");
    return script;
}

TEST(MailCliTest, FailedHandOverIsReportedAndTheRepeatSendsTheRest) {
    ScratchFolder folder;
    const std::string original = RandomBytes(2300);
    const std::string file = (folder / "daten.bin").string();
    WriteFile(file, original);
    const fs::path script = WriteStandInSendmail(folder);
    WriteFile(folder / "fail", "");

    const std::string command = "sh " + script.string();
    const ToolRun failed =
        RunTool({"mail", "--to", "kunde@example.org", "--kb", "1", "--sendmail=" + command, file});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, "");
    const std::regex report(
        "Teil 3 von 5 \\(daten\\.bin\\) ging nicht hinaus: sh endete mit Status 75\\.\n"
        "daten\\.bin: Teil 1 und 2 von 5 versandt, Teil 3 bis 5 nicht\\. Nachsenden mit:\n"
        "  (calverdon-cli mail --to kunde@example\\.org --kb 1 --sendmail='sh [^']*' --only-parts 3-5 "
        "--chain-id [0-9a-f]{16} [^ ]*daten\\.bin)\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(failed.err, match, report)) << failed.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "sent"), fs::directory_iterator()), 2);

    fs::remove(folder / "fail");
    std::vector<std::string> repeat;
    ASSERT_TRUE(cli::SplitCommand(match[1].str(), repeat));
    repeat.erase(repeat.begin());  // the program's name
    const ToolRun rest = RunTool(repeat);
    EXPECT_EQ(rest.exitCode, 0) << rest.err;
    EXPECT_EQ(rest.out, "daten.bin: Teil 3 bis 5 von 5 versandt\n");
    std::vector<std::string> places;
    for (int i = 0; i < 5; ++i) {
        const std::string sent = ReadFile(folder / "sent" / ("mail" + std::to_string(i) + ".eml"));
        const std::size_t at = sent.find("X-Calverdon-Teil: ");
        places.push_back(at == std::string::npos ? "" : sent.substr(at + 18, 3));
    }
    EXPECT_EQ(places, (std::vector<std::string>{"1/5", "2/5", "3/5", "4/5", "5/5"}));

    const fs::path target = folder / "aus";
    fs::create_directory(target);
    const ToolRun extracted = RunTool({"extract", "-C", target.string(), (folder / "sent").string()});
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(ReadFile(target / "daten.bin"), original);
}

}  // namespace
}  // namespace calverdon::testing
