// Speed of the hex-text engine against common tools on the same data, in one
// run: a 64 MiB random file (fixed seed) is encoded and decoded by the
// engine, with progress receivers attached, and by the peers. Each figure is
// the median of five runs, in MB/s of binary data; ratios compare the engine
// with each peer. The decoder syncs its target to disk, so every peer that
// writes a decoded file is followed by `sync` of that file.
//
// Usage: calverdon-bench-hextext [--size-mib N] [--runs N] [--memory-gib N]
// --memory-gib N also encodes and decodes an N GiB file in a child process
// and reports its peak resident memory.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "HexText.h"
#include "ScratchFolder.h"
#include "TestMessages.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using calverdon::ConversionResult;

// The engine's messages, each printed as it comes, so that a failed run
// says why. No question comes up: each target is removed before its run.
void PrintEach(calverdon::testing::RecordingMessages& messages) {
    messages.whileShown = [&messages] {
        std::fprintf(stderr, "%s %s\n", messages.shown.back().caption.c_str(), messages.shown.back().text.c_str());
    };
}

class CountingProgress final : public calverdon::ProgressReceiver {
public:
    void SetProgress(int percent) override { last = percent, ++calls; }
    int last = 0;
    long calls = 0;
};

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs a shell command; exits the benchmark when it fails.
void Shell(const std::string& command) {
    pid_t pid = 0;
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::fprintf(stderr, "cannot start: %s\n", command.c_str());
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

bool HaveCommand(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

void WriteRandomFile(const fs::path& path, std::uint64_t size) {
    std::mt19937_64 random(20261209);
    std::ofstream out(path, std::ios::binary);
    std::vector<std::uint64_t> block(1 << 16);
    for (std::uint64_t done = 0; done < size;) {
        for (auto& word : block) word = random();
        const auto n = std::min<std::uint64_t>(size - done, block.size() * 8);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        done += n;
    }
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// Encodes and decodes a file of `gib` GiB in a child; prints its peak RSS.
void MeasureMemory(const fs::path& folder, int gib) {
    const fs::path big = folder / "big.bin";
    WriteRandomFile(big, static_cast<std::uint64_t>(gib) << 30);
    const pid_t child = fork();
    if (child == 0) {
        calverdon::testing::RecordingMessages quiet;
        PrintEach(quiet);
        CountingProgress progress;
        const bool ok = calverdon::BinToHex(big, folder / "big.txt", "0", {quiet, &progress}) ==
                            ConversionResult::Succeeded &&
                        calverdon::HexToBin(folder / "big.txt", folder / "big.out", {quiet, &progress}) ==
                            ConversionResult::Succeeded;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    std::printf("\nPeak resident memory, encoding and decoding %d GiB: %.1f MiB (%s)\n", gib,
                usage.ru_maxrss / 1024.0, WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "ok" : "FAILED");
    fs::remove(big);
    fs::remove(folder / "big.txt");
    fs::remove(folder / "big.out");
}

struct Settings {
    std::uint64_t sizeMiB = 64;
    int runs = 5;
    int memoryGiB = 0;
};

Settings ParseArguments(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--size-mib") settings.sizeMiB = std::stoull(argv[i + 1]);
        if (arg == "--runs") settings.runs = std::stoi(argv[i + 1]);
        if (arg == "--memory-gib") settings.memoryGiB = std::stoi(argv[i + 1]);
    }
    return settings;
}

// The files of the benchmark, in its scratch folder.
struct Files {
    explicit Files(const fs::path& folder)
        : data(folder / "data.bin"),
          hex(folder / "data.txt"),
          plainHex(folder / "data.hex"),
          decoded(folder / "out.bin"),
          copy(folder / "copy.txt"),
          peerOutput(folder / "peer.out") {}
    fs::path data;
    fs::path hex;
    fs::path plainHex;  // xxd -p output, for the decoding peers
    fs::path decoded;
    fs::path copy;
    fs::path peerOutput;
};

// Seconds of each run, by what ran.
using Times = std::map<std::string, std::vector<double>>;

// The engine both ways, with progress receivers attached; the benchmark
// ends when a conversion fails.
void TimeEngine(const Files& files, calverdon::testing::RecordingMessages& messages, CountingProgress& progress,
                Times& times) {
    fs::remove(files.hex);
    times["engine encode"].push_back(Seconds([&] {
        if (calverdon::BinToHex(files.data, files.hex, "0", {messages, &progress}) != ConversionResult::Succeeded) {
            std::exit(1);
        }
    }));
    fs::remove(files.decoded);
    times["engine decode (synced)"].push_back(Seconds([&] {
        if (calverdon::HexToBin(files.hex, files.decoded, {messages, &progress}) != ConversionResult::Succeeded) {
            std::exit(1);
        }
    }));
}

// The peers on the same files.
void TimePeers(const Files& files, bool python, Times& times) {
    const std::string hex = Quote(files.hex);
    const std::string copy = Quote(files.copy);
    const std::string out = Quote(files.peerOutput);
    times["cat copy of the hex-text file"].push_back(Seconds([&] { Shell("cat " + hex + " > " + copy); }));
    // GNU cat copies file to file inside the kernel (copy_file_range),
    // without the data passing through the program; through a pipe it
    // reads and writes as any program that makes its output must.
    times["cat through a pipe"].push_back(Seconds([&] { Shell("cat " + hex + " | cat > " + copy); }));
    times["cat copy + sync"].push_back(Seconds([&] { Shell("cat " + hex + " > " + copy + " && sync " + copy); }));
    times["xxd -p"].push_back(Seconds([&] { Shell("xxd -p " + Quote(files.data) + " > " + out); }));
    times["basenc --base16"].push_back(Seconds([&] { Shell("basenc --base16 " + Quote(files.data) + " > " + out); }));
    times["xxd -r -p + sync"].push_back(
        Seconds([&] { Shell("xxd -r -p " + Quote(files.plainHex) + " > " + out + " && sync " + out); }));
    if (python) {
        times["python bytes.fromhex + sync"].push_back(Seconds([&] {
            Shell("python3 -c 'import sys; open(sys.argv[2], \"wb\").write(bytes.fromhex(open(sys.argv[1]).read()))' " +
                  Quote(files.plainHex) + " " + out + " && sync " + out);
        }));
    }
    fs::remove(files.copy);
    fs::remove(files.peerOutput);
}

// Each figure as the median of its runs, then the engine against its peers.
void Report(const Times& times, const Settings& settings, const CountingProgress& progress) {
    const double megabytes = static_cast<double>(settings.sizeMiB << 20) / 1e6;
    std::map<std::string, double> speed;
    std::printf("%llu MiB of random data, median of %d runs (MB/s of binary data)\n",
                static_cast<unsigned long long>(settings.sizeMiB), settings.runs);
    for (const auto& [name, values] : times) {
        speed[name] = megabytes / Median(values);
        std::printf("  %-32s %8.1f MB/s\n", name.c_str(), speed[name]);
    }
    const auto ratio = [&](const char* ours, const char* peer, double goal) {
        if (!speed.count(peer)) return;
        std::printf("  %-24s / %-30s %6.2fx  (goal >= %.2fx)\n", ours, peer, speed[ours] / speed[peer], goal);
    };
    std::printf("Ratios:\n");
    ratio("engine decode (synced)", "python bytes.fromhex + sync", 4.0);
    ratio("engine decode (synced)", "xxd -r -p + sync", 10.0);
    ratio("engine decode (synced)", "cat copy + sync", 1.0);
    ratio("engine encode", "basenc --base16", 2.5);
    ratio("engine encode", "cat copy of the hex-text file", 0.8);
    ratio("engine encode", "cat through a pipe", 0.8);
    std::printf("Progress calls in the last decode: %ld, last value %d\n", progress.calls, progress.last);
}

}  // namespace

int main(int argc, char** argv) {
    const Settings settings = ParseArguments(argc, argv);
    const calverdon::ScratchFolder scratch("calverdon-bench");
    const Files files(scratch.Path());
    WriteRandomFile(files.data, settings.sizeMiB << 20);
    Shell("xxd -p " + Quote(files.data) + " > " + Quote(files.plainHex));

    calverdon::testing::RecordingMessages messages;
    PrintEach(messages);
    CountingProgress progress;
    const bool python = HaveCommand("python3");
    Times times;
    for (int run = 0; run < settings.runs; ++run) {
        TimeEngine(files, messages, progress, times);
        TimePeers(files, python, times);
    }
    Shell("cmp " + Quote(files.data) + " " + Quote(files.decoded));
    Report(times, settings, progress);

    if (settings.memoryGiB > 0) MeasureMemory(scratch.Path(), settings.memoryGiB);
    return 0;
}
