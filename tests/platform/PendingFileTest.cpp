// A pending file where the file system has no unnamed files: it waits
// under a hidden name, which publishing turns into the real one and which
// a signal removes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/TestFolder.h"
#include "PendingFile.h"
#include "SystemCalls.h"

namespace calverdon {
namespace {

namespace fs = std::filesystem;

class NoUnnamedFiles final : public sys::CallObserver {
public:
    int Before(sys::Call call) override { return call == sys::Call::OpenUnnamed ? EOPNOTSUPP : 0; }
};

class PendingFileTest : public ::testing::Test {
protected:
    void SetUp() override { sys::SetCallObserver(&refuse_); }
    void TearDown() override { sys::SetCallObserver(nullptr); }
    std::vector<std::string> Names() const { return scratch_.Names(); }

    testing::ScratchFolder scratch_;
    const fs::path folder_ = scratch_.Path();
    NoUnnamedFiles refuse_;
};

TEST_F(PendingFileTest, WaitsUnderAHiddenNameAndReplacesTheTarget) {
    std::ofstream(folder_ / "ziel.bin") << "alt";
    PendingFile file;
    int error = 0;
    ASSERT_TRUE(file.Create(folder_, error));
    file.Writer().Write("neu");
    const std::vector<std::string> pending = Names();
    ASSERT_EQ(pending.size(), 2u);
    const std::string hidden = pending[0] == "ziel.bin" ? pending[1] : pending[0];
    EXPECT_TRUE(hidden.starts_with(".calverdon-") && hidden.ends_with(".tmp")) << hidden;

    ASSERT_TRUE(file.Replace(folder_ / "ziel.bin", false, error));
    EXPECT_EQ(Names(), std::vector<std::string>{"ziel.bin"});
    std::ifstream in(folder_ / "ziel.bin");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "neu");
}

TEST_F(PendingFileTest, ASignalRemovesTheHiddenName) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RemovePendingFilesOnSignals();
            PendingFile file;
            int error = 0;
            if (!file.Create(folder_, error) || !file.Writer().Write("halb") || !file.Writer().Flush()) ::_exit(2);
            ::raise(signal);
            ::_exit(1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signal;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(Names().empty()) << "signal " << signal << " left " << Names().front();
    }
}

}  // namespace
}  // namespace calverdon
