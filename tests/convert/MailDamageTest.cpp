// Chains that mail has changed on the way: the decoder's second, lenient
// reading takes them only when their checksum then matches.
#include <algorithm>
#include <functional>
#include <regex>

#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

using Damage = std::function<std::string(const std::string&)>;

std::string Replace(const std::string& text, const std::string& from, const std::string& to) {
    return std::regex_replace(text, std::regex(from), to);
}

struct DamageRow {
    const char* name;
    Damage damage;
    bool repairable;
};

const DamageRow kRows[] = {
    {"LfOnly", [](const std::string& t) { return Replace(t, "\r\n", "\n"); }, true},
    {"CrOnly", [](const std::string& t) { return Replace(t, "\r\n", "\r"); }, true},
    // What a mail client's reply makes of it: every line quoted, blanks at
    // line ends, an empty line, a greeting after the end line.
    {"QuotedWithBlanksAndGreeting",
     [](const std::string& t) {
         return "> " + Replace(t, "\r\n", "  \r\n> \r\n> ") + "\r\n\r\nViele Grüße\r\n";
     },
     true},
    {"UpperCaseDigitsAndLf",
     [](const std::string& t) {
         // Data lines only: the header and the continuation lines carry names.
         std::string upper = Replace(t, "\r\n", "\n");
         for (std::size_t start = upper.find('\n', upper.find('\n') + 1) + 1, end; start < upper.size();
              start = end + 1) {
             end = std::min(upper.find('\n', start), upper.size());
             if (upper.substr(start, end - start).find('+') != std::string::npos) continue;
             for (std::size_t i = start; i < end; ++i) {
                 if (upper[i] >= 'a' && upper[i] <= 'f') upper[i] = static_cast<char>(upper[i] - 32);
             }
         }
         return upper;
     },
     true},
    // A digit changed as well: the checksum cannot match, whatever the reading.
    {"LfOnlyAndADigitChanged",
     [](const std::string& t) {
         std::string changed = Replace(t, "\r\n", "\n");
         const auto data = changed.find('\n', changed.find('\n') + 1) + 1;
         changed[data] = changed[data] == '0' ? '1' : '0';
         return changed;
     },
     false},
};

class MailDamageTest : public ::testing::TestWithParam<DamageRow> {};

TEST_P(MailDamageTest, RepairsOnlyWhatTheChecksumConfirms) {
    const DamageRow& row = GetParam();
    ScratchFolder folder;
    std::string data;
    for (int i = 0; i < 3000; ++i) data += static_cast<char>(i * 7 % 256);
    WriteFile(folder / "d.bin", data);
    RecordingMessages messages;
    LineGenerator lines;
    ASSERT_EQ(BinToHex(folder / "d.bin", folder / "d.txt", "1", {messages}, lines), ConversionResult::Succeeded);
    for (const auto& name : folder.Names()) {
        if (name != "d.bin") WriteFile(folder / name, row.damage(ReadFile(folder / name)));
    }

    EXPECT_EQ(ReadTargetName(folder / "d.txt", messages), "d.bin");
    ASSERT_TRUE(messages.shown.empty());
    const ConversionResult result = HexToBin(folder / "d.txt", folder / "out.bin", {messages});
    ASSERT_EQ(messages.shown.size(), 1u);
    RecordingMessages checkMessages;
    EXPECT_EQ(CheckHexText(folder / "d.txt", {checkMessages}), result);
    if (row.repairable) {
        EXPECT_EQ(result, ConversionResult::Succeeded);
        EXPECT_EQ(messages.shown[0].kind, MessageKind::Information);
        EXPECT_EQ(ReadFile(folder / "out.bin"), data);
    } else {
        // The strict reading's outcome stands, with its message.
        EXPECT_NE(result, ConversionResult::Succeeded);
        EXPECT_NE(messages.shown[0].kind, MessageKind::Information);
    }
}

INSTANTIATE_TEST_SUITE_P(Mail, MailDamageTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<DamageRow>& info) { return info.param.name; });

}  // namespace
}  // namespace calverdon::testing
