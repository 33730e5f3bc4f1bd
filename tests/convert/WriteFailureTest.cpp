// Writes that fail half way, as on a full disk. Each case runs in a forked
// child whose file size limit is lowered, so that writes fail with EFBIG.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "EngineTestSupport.h"

namespace calverdon::testing {
namespace {

constexpr rlim_t kFileSizeLimit = 64 * 1024;

// Runs `body` in a child with the lowered limit; true when it returned true.
bool RunWithFileSizeLimit(const std::function<bool()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kFileSizeLimit, kFileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsWriteFailure(const RecordingMessages& messages) {
    return messages.shown.size() == 1 && messages.shown[0].caption == "Fehler beim Schreiben der Zieldatei" &&
           messages.shown[0].text == "Windows-Fehlernr. 27" && messages.shown[0].kind == MessageKind::Error;
}

TEST(WriteFailureTest, DecoderLeavesNoTarget) {
    ScratchFolder folder;
    // 200 000 bytes of data in hex: the source itself is written before the
    // limit is lowered.
    std::string hex;
    for (int i = 0; i < 200000; ++i) hex += (i % 37 == 36) ? "\r\n" : "ab";
    WriteFile(folder / "f.txt", Header("big.bin") + hex + "~~0");
    WriteFile(folder / "old.bin", "old");
    const bool ok = RunWithFileSizeLimit([&] {
        RecordingMessages messages;
        messages.answers = {kAnswerYes};
        const ConversionResult result = HexToBin(folder / "f.txt", folder / "old.bin", {messages});
        messages.shown.erase(messages.shown.begin());  // the overwrite question
        return result == ConversionResult::Failed && IsWriteFailure(messages);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadFile(folder / "old.bin"), "old");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"f.txt", "old.bin"}));
}

TEST(WriteFailureTest, EncoderReportsTheFailure) {
    ScratchFolder folder;
    WriteFile(folder / "big.bin", std::string(100000, 'b'));
    const bool ok = RunWithFileSizeLimit([&] {
        RecordingMessages messages;
        const ConversionResult result = BinToHex(folder / "big.bin", folder / "big.txt", "0", {messages});
        return result == ConversionResult::Failed && IsWriteFailure(messages);
    });
    EXPECT_TRUE(ok);
    // A part that could not be written whole does not appear at all.
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"big.bin"}));
}

}  // namespace
}  // namespace calverdon::testing
