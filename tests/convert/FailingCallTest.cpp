// Every file system call of a decode and of an encode made to fail in
// turn, and a signal delivered before each: afterwards the folder holds
// exactly what it held before or the complete verified result, never a
// temporary file, half a chain or a damaged file in the target's place.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <functional>
#include <map>

#include "EngineTestSupport.h"
#include "PendingFile.h"
#include "SystemCalls.h"
#include "../support/ObservedCalls.h"

namespace calverdon::testing {
namespace {

using sys::Call;

// What a folder holds: every entry below it, hidden ones included, with
// the bytes of each file.
using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const fs::path& folder) {
    Snapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        snapshot[name] = entry.is_directory() ? "<Ordner>" : ReadFile(entry.path());
    }
    return snapshot;
}

// The names whose entries differ between two snapshots, for a failure
// message that fits on a screen.
std::string Differences(const Snapshot& now, const Snapshot& expected) {
    std::string names;
    for (const auto& [name, bytes] : now) {
        const auto it = expected.find(name);
        if (it == expected.end() || it->second != bytes) names += " " + name;
    }
    for (const auto& [name, bytes] : expected) {
        if (!now.contains(name)) names += " -" + name;
    }
    return names;
}

// Only the entries that are not hidden.
Snapshot Visible(const Snapshot& snapshot) {
    Snapshot visible;
    for (const auto& [name, bytes] : snapshot) {
        if (name.front() != '.') visible[name] = bytes;
    }
    return visible;
}

// Counts the calls of each kind, and fails the `nth` of `kind` with
// `error`, or raises `signal` when the `nth` call of any kind has
// returned. With `refuseUnnamed` the file system seems to have no unnamed
// files, so that pending files take hidden names.
class Injector final : public sys::CallObserver {
public:
    int Before(Call call) override {
        if (refuseUnnamed && call == Call::OpenUnnamed) return EOPNOTSUPP;
        const int count = ++counts[static_cast<int>(call)];
        ++total;
        if (error != 0 && call == kind && count == nth) return error;
        return 0;
    }
    void After(Call) override {
        if (signal != 0 && total == nth) ::raise(signal);
    }

    std::array<int, sys::kCallKinds> counts{};
    int total = 0;
    Call kind = Call::Open;
    int nth = 0;
    int error = 0;
    int signal = 0;
    bool refuseUnnamed = false;
};

std::string Bytes(int count, int seed) {
    std::string data;
    for (int i = 0; i < count; ++i) data += static_cast<char>((i * seed + i / 7) % 256);
    return data;
}

// A chain of parts for `data` in `folder`, as the encoder writes it.
void WriteChain(const fs::path& folder, const std::string& data) {
    WriteFile(folder / "d.bin", data);
    RecordingMessages messages;
    LineGenerator lines;
    ASSERT_EQ(BinToHex(folder / "d.bin", folder / "d.txt", "1", {messages}, lines), ConversionResult::Succeeded);
}

struct Scenario {
    const char* name;
    std::function<void(const fs::path&)> setUp;
    std::function<ConversionResult(const fs::path&, RecordingMessages&)> run;
};

const Scenario kScenarios[] = {
    {"DecodeThreePartsOverAnExistingTarget",
     [](const fs::path& folder) {
         WriteChain(folder, Bytes(2500, 7));
         WriteFile(folder / "out.bin", "alt");
     },
     [](const fs::path& folder, RecordingMessages& messages) {
         messages.answers = {kAnswerYes};
         return HexToBin(folder / "d.txt", folder / "out.bin", {messages});
     }},
    {"EncodeOverALongerChain",
     [](const fs::path& folder) {
         WriteChain(folder, Bytes(4000, 3));  // d.txt and d_2.txt to d_4.txt
         WriteFile(folder / "d.bin", Bytes(2500, 5));
     },
     [](const fs::path& folder, RecordingMessages& messages) {
         messages.answers = {kAnswerYes};
         LineGenerator lines;
         return BinToHex(folder / "d.bin", folder / "d.txt", "1", {messages}, lines);
     }},
    // Blanks that mail put at the ends of the data lines: the strict
    // reading fails its checksum, the second reading writes the result.
    {"DecodeThatNeedsTheSecondReading",
     [](const fs::path& folder) {
         WriteChain(folder, Bytes(2500, 11));
         for (const char* name : {"d.txt", "d_2.txt", "d_3.txt"}) {
             std::string text = ReadFile(folder / name);
             for (std::size_t at = text.find("\r\n", 40); at != std::string::npos; at = text.find("\r\n", at + 4)) {
                 text.insert(at, "  ");
             }
             WriteFile(folder / name, text);
         }
         WriteFile(folder / "out.bin", "alt");
     },
     [](const fs::path& folder, RecordingMessages& messages) {
         messages.answers = {kAnswerYes};
         return HexToBin(folder / "d.txt", folder / "out.bin", {messages});
     }},
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

// The errors that each kind of call meets in practice; EOPNOTSUPP on the
// unnamed open is the file system without unnamed files.
std::vector<int> ErrorsOf(Call call) {
    switch (call) {
        case Call::Open: return {EACCES, ENOSPC};
        case Call::OpenUnnamed: return {ENOSPC, EOPNOTSUPP};
        case Call::Write: return {ENOSPC};
        case Call::Mkdir: return {ENOSPC};
        case Call::Link: return {ENOSPC};
        case Call::Rmdir: return {EBUSY};
        default: return {EIO};
    }
}

class FailingCallTest : public ::testing::TestWithParam<Scenario> {
protected:
    // Before and after a run in which nothing fails, and the number of
    // calls of each kind it makes.
    void SetUp() override {
        ScratchFolder folder;
        GetParam().setUp(folder.Path());
        before_ = Take(folder.Path());
        Injector counter;
        RecordingMessages messages;
        {
            calverdon::testing::ObservedCalls observed(counter);
            ASSERT_NE(GetParam().run(folder.Path(), messages), ConversionResult::Failed);
        }
        after_ = Take(folder.Path());
        counts_ = counter.counts;
        total_ = counter.total;
    }

    Snapshot before_;
    Snapshot after_;
    std::array<int, sys::kCallKinds> counts_{};
    int total_ = 0;
};

TEST_P(FailingCallTest, EveryFailingCallLeavesTheOldStateOrTheWholeResult) {
    int walked = 0;
    for (int kind = 0; kind < sys::kCallKinds; ++kind) {
        const Call call = static_cast<Call>(kind);
        for (const int error : ErrorsOf(call)) {
            for (int nth = 1; nth <= counts_[kind]; ++nth) {
                SCOPED_TRACE("call kind " + std::to_string(kind) + ", number " + std::to_string(nth) + ", errno " +
                             std::to_string(error));
                ScratchFolder folder;
                GetParam().setUp(folder.Path());
                Injector injector;
                injector.kind = call;
                injector.nth = nth;
                injector.error = error;
                RecordingMessages messages;
                ConversionResult result;
                {
                    calverdon::testing::ObservedCalls observed(injector);
                    result = GetParam().run(folder.Path(), messages);
                }
                ++walked;
                const Snapshot now = Take(folder.Path());
                // A file that cannot be removed stays where it waited.
                const bool removalFailed = call == Call::Unlink || call == Call::Rmdir;
                const Snapshot seen = removalFailed ? Visible(now) : now;
                if (result == ConversionResult::Failed) {
                    EXPECT_TRUE(seen == before_) << "differs from before:" << Differences(seen, before_);
                    ASSERT_FALSE(messages.shown.empty());
                    const ShownMessage& last = messages.shown.back();
                    EXPECT_EQ(last.kind, MessageKind::Error);
                    const std::string number = std::to_string(error);
                    EXPECT_TRUE(last.caption == "Fehler " + number || last.text == "Windows-Fehlernr. " + number)
                        << last.caption << " " << last.text;
                } else {
                    EXPECT_TRUE(seen == after_) << "differs from the result:" << Differences(seen, after_);
                }
            }
        }
    }
    RecordProperty("walked", walked);
    std::printf("%s: %d calls, %d failing runs\n", GetParam().name, total_, walked);
}

TEST_P(FailingCallTest, ASignalAfterAnyCallLeavesNothingHalfDone) {
    for (const bool refuseUnnamed : {false, true}) {
        // The calls of this run, which with hidden names are more.
        Injector counter;
        counter.refuseUnnamed = refuseUnnamed;
        {
            ScratchFolder folder;
            GetParam().setUp(folder.Path());
            RecordingMessages messages;
            calverdon::testing::ObservedCalls observed(counter);
            GetParam().run(folder.Path(), messages);
        }
        for (int nth = 1; nth <= counter.total; ++nth) {
            SCOPED_TRACE("signal after call " + std::to_string(nth) + (refuseUnnamed ? ", hidden names" : ""));
            ScratchFolder folder;
            GetParam().setUp(folder.Path());
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                RemovePendingFilesOnSignals();
                Injector injector;
                injector.refuseUnnamed = refuseUnnamed;
                injector.nth = nth;
                injector.signal = nth % 2 == 0 ? SIGTERM : SIGINT;
                RecordingMessages messages;
                calverdon::testing::ObservedCalls observed(injector);
                GetParam().run(folder.Path(), messages);
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status));
            const Snapshot now = Take(folder.Path());
            EXPECT_TRUE(now == before_ || now == after_) << "differs from before:" << Differences(now, before_);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, FailingCallTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
}  // namespace calverdon::testing
