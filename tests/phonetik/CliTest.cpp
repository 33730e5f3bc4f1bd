// The phonetik and distance subcommands of calverdon-cli, run in-process
// with string streams. Expected codes and distances are hand-derived or
// worked examples (as in PhonetikTest and DistanceTest); several rows only
// come out right when the UTF-8 input is turned into Windows-1252.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../cli/CliTestSupport.h"

namespace {

using calverdon::testing::RunTool;
using calverdon::testing::ToolRun;

struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    std::string out;
    std::string err;  // exact, or empty when the parser's message is meant (tested in tests/cli)
};

void ExpectRuns(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ToolRun run = RunTool(row.args, row.input);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.out, row.out);
        if (!row.err.empty() || row.exitCode == 0) {
            EXPECT_EQ(run.err, row.err);
        } else {
            EXPECT_NE(run.err, "");  // the parser tells what was wrong
        }
    }
}

TEST(PhonetikCliTest, CodesWordsFromArgumentsAndLines) {
    ExpectRuns({
        // UTF-8 Ö and ß read as two bytes each would give 58547 and 827.
        {"arguments", {"phonetik", "Ölschläger", "Straße", "Heinrich"}, "", 0, "058547\n8278\n0674\n", ""},
        {"empty code is an empty line", {"phonetik", "123", "Hans"}, "", 0, "\n068\n", ""},
        {"cut", {"phonetik", "--max", "4", "Achim-Lüdenscheidt"}, "", 0, "0465\n", ""},
        {"cut to nothing", {"phonetik", "--max", "-1", "Achim-Lüdenscheidt"}, "", 0, "\n", ""},
        {"lines, CRLF and an empty one", {"phonetik"}, "Ölschläger\r\n\nAxel\n", 0, "058547\n\n0485\n", ""},
        {"lines cut", {"phonetik", "--max", "2"}, "Achim-Lüdenscheidt\nOchsenfurt", 0, "04\n04\n", ""},
        {"max at the top of its range", {"phonetik", "--max", "32767", "Carl"}, "", 0, "475\n", ""},
        {"max above a 16-bit integer", {"phonetik", "--max", "32768", "Carl"}, "", 2, "", ""},
        {"max not a number", {"phonetik", "--max", "viel", "Carl"}, "", 2, "", ""},
    });
}

TEST(DistanceCliTest, DistancesFromArgumentsAndLines) {
    const std::string a80(80, 'a');
    const std::string a81(81, 'a');
    ExpectRuns({
        // In UTF-8, ü against u would be two edits.
        {"arguments", {"distance", "Müller", "Muller"}, "", 0, "1\n", ""},
        {"restricted form", {"distance", "CA", "ABC"}, "", 0, "3\n", ""},
        {"80 characters", {"distance", a80, ""}, "", 0, "80\n", ""},
        {"81 characters", {"distance", a81, "a"}, "", 1, "-1\n", "Ein Wort ist länger als 80 Zeichen.\n"},
        {"one word", {"distance", "abc"}, "", 2, "", "distance erwartet zwei Wörter oder keines.\n"},
        {"three words", {"distance", "a", "b", "c"}, "", 2, "", "distance erwartet zwei Wörter oder keines.\n"},
        {"lines", {"distance"}, "Sonntag\tSamstag\r\nMüller\tMueller\n\tabc\n", 0, "3\n2\n3\n", ""},
        // Ł and ź become one substitute byte each: three substitutions.
        {"characters outside Windows-1252", {"distance"}, "Łódź\tLodz\n", 0, "3\n", ""},
        {"faulty lines keep their place",
         {"distance"},
         "ab\tba\nkein Tabulator\na\tb\tc\n" + a81 + "\tx\nMeier\tMeyer\n",
         1,
         "1\n\n\n-1\n1\n",
         "Zeile 2: erwartet zwei Wörter, durch einen Tabulator getrennt.\n"
         "Zeile 3: erwartet zwei Wörter, durch einen Tabulator getrennt.\n"
         "Zeile 4: Ein Wort ist länger als 80 Zeichen.\n"},
    });
}

}  // namespace
