// Decoding what the encoder wrote gives back the same bytes; tampering with
// a chain is noticed.
#include <random>

#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

struct RoundTripRow {
    std::size_t size;
    const char* kb;
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(RoundTripTest, DecodesWhatTheEncoderWrote) {
    const RoundTripRow& row = GetParam();
    ScratchFolder folder;
    const std::string data = RandomBytes(row.size, static_cast<unsigned>(row.size));
    WriteFile(folder / "data.bin", data);
    RecordingMessages messages;
    LineGenerator lines;
    ASSERT_EQ(BinToHex(folder / "data.bin", folder / "data.txt", row.kb, {messages}, lines),
              ConversionResult::Succeeded);
    ASSERT_EQ(ReadTargetName(folder / "data.txt", messages), "data.bin");
    ASSERT_EQ(HexToBin(folder / "data.txt", folder / "back.bin", {messages}), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(folder / "back.bin"), data);
    EXPECT_TRUE(messages.shown.empty());
}

// Sizes around one and two kilobytes of hex digits, where a limit of 1 kB
// splits; 1 byte is the smallest file the encoder accepts.
INSTANTIATE_TEST_SUITE_P(Sizes, RoundTripTest,
                         ::testing::Values(RoundTripRow{1, "0"}, RoundTripRow{1, "1"}, RoundTripRow{256, "0"},
                                           RoundTripRow{500, "1"}, RoundTripRow{511, "1"}, RoundTripRow{512, "1"},
                                           RoundTripRow{513, "1"}, RoundTripRow{1023, "1"},
                                           RoundTripRow{1024, "1"}, RoundTripRow{1025, "1"},
                                           RoundTripRow{20000, "1"}, RoundTripRow{100000, "3"},
                                           RoundTripRow{300000, "0"}));

TEST(RoundTripAllValuesTest, EveryByteValueSurvives) {
    ScratchFolder folder;
    std::string data;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) data += static_cast<char>(b);
    }
    WriteFile(folder / "all.bin", data);
    RecordingMessages messages;
    ASSERT_EQ(BinToHex(folder / "all.bin", folder / "all.txt", "0", {messages}), ConversionResult::Succeeded);
    ASSERT_EQ(HexToBin(folder / "all.txt", folder / "back.bin", {messages}), ConversionResult::Succeeded);
    EXPECT_EQ(ReadFile(folder / "back.bin"), data);
}

class TamperTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder / "t.bin", RandomBytes(2500, 7));
        LineGenerator lines;
        ASSERT_EQ(BinToHex(folder / "t.bin", folder / "t.txt", "1", {messages}, lines),
                  ConversionResult::Succeeded);
        ASSERT_TRUE(fs::exists(folder / "t_3.txt"));
    }
    ConversionResult Decode() { return HexToBin(folder / "t.txt", folder / "back.bin", {messages}); }
    ScratchFolder folder;
    RecordingMessages messages;
};

TEST_F(TamperTest, ChangedDigitIsAChecksumMismatch) {
    std::string part = ReadFile(folder / "t_2.txt");
    const std::size_t at = part.find_first_of("0123456789abcdef", 9);
    part[at] = part[at] == '0' ? '1' : '0';
    WriteFile(folder / "t_2.txt", part);
    EXPECT_EQ(Decode(), ConversionResult::ChecksumMismatch);
    EXPECT_EQ(messages.shown.back().caption, "Prüfsummenfehler.");
}

TEST_F(TamperTest, ChangedPartNumberIsWrongOrder) {
    std::string part = ReadFile(folder / "t_3.txt");
    part[0] = '4';
    WriteFile(folder / "t_3.txt", part);
    EXPECT_EQ(Decode(), ConversionResult::Failed);
    EXPECT_EQ(messages.shown.back().text, "Falsche Reihenfolge.");
    EXPECT_FALSE(fs::exists(folder / "back.bin"));
}

TEST_F(TamperTest, RemovedEndLineIsNoSuccess) {
    int parts = 1;
    while (fs::exists(folder / ("t_" + std::to_string(parts + 1) + ".txt"))) ++parts;
    const fs::path lastPart = folder / ("t_" + std::to_string(parts) + ".txt");
    std::string last = ReadFile(lastPart);
    ASSERT_NE(last.rfind("~~"), std::string::npos);
    last.resize(last.rfind("~~"));
    WriteFile(lastPart, last);
    EXPECT_EQ(Decode(), ConversionResult::ChecksumMismatch);
    EXPECT_EQ(messages.shown.back().text, "Die Zieldatei könnte Fehler aufweisen.");
    EXPECT_EQ(ReadFile(folder / "back.bin"), ReadFile(folder / "t.bin"));
}

}  // namespace
}  // namespace calverdon::testing
