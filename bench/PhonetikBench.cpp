// Speed of the phonetic matching units, in one run, over the German word
// list of Debian's wngerman package (UTF-8, turned into Windows-1252; words
// that the code page cannot hold are left out):
//   - DamerauLevenshteinDistance against the plain full-matrix version of
//     lib/reference/ReferenceDistance.h, on pairs of real words (neighbours
//     in the sorted list, which share much, and random pairs) and on pairs of
//     long words of 65 to 80 bytes (random words joined, each paired with an
//     edited copy or with another long word);
//   - kPhonetik against the plain coder of lib/reference/ReferencePhonetik.h
//     over every word of the list, single thread, the copy of the word passed
//     by value and the result string included.
// All random choices use fixed seeds. Both versions of each unit take their
// words by value, as the library's interface does, so both pay the copies.
// Each benchmark runs five times; at the end the program prints the ratios
// of the best figures measured above.
//
// Usage: calverdon-bench-phonetik [--words PATH] [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Cp1252.h"
#include <calverdon/Phonetik.h>
#include "ReferenceDistance.h"
#include "ReferencePhonetik.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct Data {
    std::vector<std::string> words;
    Pairs neighbourPairs;
    Pairs randomPairs;
    Pairs longPairs;
};

Data& TheData() {
    static Data data;
    return data;
}

std::vector<std::string> LoadWords(const std::string& path) {
    std::vector<std::string> words;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::string word = calverdon::Utf8ToCp1252(line, std::nullopt);
        if (calverdon::Cp1252ToUtf8(word) == line) words.push_back(word);
    }
    return words;
}

void MakePairs(Data& data) {
    const auto& words = data.words;
    std::mt19937 random(4711);
    std::uniform_int_distribution<std::size_t> anyWord(0, words.size() - 1);

    for (std::size_t i = 0; i + 1 < words.size(); i += 7) data.neighbourPairs.emplace_back(words[i], words[i + 1]);
    for (std::size_t i = 0; i < data.neighbourPairs.size(); ++i) {
        data.randomPairs.emplace_back(words[anyWord(random)], words[anyWord(random)]);
    }

    auto longWord = [&] {
        for (;;) {
            std::string word;
            while (word.size() < 65) word += words[anyWord(random)];
            if (word.size() <= 80) return word;
        }
    };
    auto edited = [&](std::string word) {
        std::uniform_int_distribution<int> edits(1, 8);
        for (int e = edits(random); e > 0; --e) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, word.size() - 2)(random);
            switch (e % 3) {
                case 0: std::swap(word[at], word[at + 1]); break;
                case 1: word[at] = 'e'; break;
                default: word.erase(at, 1); break;
            }
        }
        return word;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string first = longWord();
        std::string second = i % 2 == 0 ? edited(first) : longWord();
        if (second.size() < 65) second += "ung";
        data.longPairs.emplace_back(std::move(first), std::move(second));
    }
}

template <std::int32_t (*Distance)(std::string, std::string)>
void BM_Distance(benchmark::State& state, const Pairs* pairs) {
    for (auto _ : state) {
        for (const auto& [first, second] : *pairs) benchmark::DoNotOptimize(Distance(first, second));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs->size()));
}

String PlainPhonetik(AnsiString word, std::int16_t maxLength) {
    return calverdon::reference::ReferencePhonetik(word, maxLength);
}

template <String (*Phonetik)(AnsiString, std::int16_t)>
void BM_Phonetik(benchmark::State& state) {
    const auto& words = TheData().words;
    for (auto _ : state) {
        for (const auto& word : words) benchmark::DoNotOptimize(Phonetik(word, 32767));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(words.size()));
}

// Prints as usual and keeps each benchmark's best items per second over its
// repetitions: other work on the machine can only slow a repetition down.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto found = run.counters.find("items_per_second");
            if (run.run_type != Run::RT_Iteration || found == run.counters.end()) continue;
            double& best = perSecond[run.run_name.function_name];
            best = std::max(best, static_cast<double>(found->second));
        }
    }
    std::map<std::string, double> perSecond;
};

// The path after --words, taken out of the arguments; the rest are Google
// Benchmark's.
std::string TakeWordListPath(int& argc, char** argv) {
    std::string path = "/usr/share/dict/ngerman";
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--words") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return path;
}

bool LoadData(const std::string& path, Data& data) {
    data.words = LoadWords(path);
    if (data.words.size() < 1000) {
        std::fprintf(stderr, "Word list %s missing or too short (package wngerman)\n", path.c_str());
        return false;
    }
    MakePairs(data);
    std::printf("%zu words, %zu neighbour pairs, %zu random pairs, %zu long pairs\n", data.words.size(),
                data.neighbourPairs.size(), data.randomPairs.size(), data.longPairs.size());
    return true;
}

void RegisterBenchmarks(Data& data) {
    const std::vector<benchmark::internal::Benchmark*> benchmarks = {
        benchmark::RegisterBenchmark("Distance/neighbours/bit-parallel", BM_Distance<DamerauLevenshteinDistance>,
                                     &data.neighbourPairs),
        benchmark::RegisterBenchmark("Distance/neighbours/full-matrix", BM_Distance<ReferenceDistance>,
                                     &data.neighbourPairs),
        benchmark::RegisterBenchmark("Distance/random/bit-parallel", BM_Distance<DamerauLevenshteinDistance>,
                                     &data.randomPairs),
        benchmark::RegisterBenchmark("Distance/random/full-matrix", BM_Distance<ReferenceDistance>,
                                     &data.randomPairs),
        benchmark::RegisterBenchmark("Distance/long/bit-parallel", BM_Distance<DamerauLevenshteinDistance>,
                                     &data.longPairs),
        benchmark::RegisterBenchmark("Distance/long/full-matrix", BM_Distance<ReferenceDistance>, &data.longPairs),
        benchmark::RegisterBenchmark("Phonetik/all-words/packed", BM_Phonetik<kPhonetik>),
        benchmark::RegisterBenchmark("Phonetik/all-words/plain", BM_Phonetik<PlainPhonetik>),
    };
    for (auto* registered : benchmarks) registered->Repetitions(5);
}

void PrintRatios(std::map<std::string, double> rate) {
    auto ratio = [&](const char* fast, const char* plain) {
        return rate.count(fast) && rate.count(plain) && rate[plain] > 0 ? rate[fast] / rate[plain] : 0.0;
    };
    std::printf("\nBest of five repetitions each, in one run:\n");
    std::printf("Distance, neighbouring words: %.1fx the full matrix (goal: at least 4x)\n",
                ratio("Distance/neighbours/bit-parallel", "Distance/neighbours/full-matrix"));
    std::printf("Distance, random word pairs: %.1fx the full matrix (goal: at least 4x)\n",
                ratio("Distance/random/bit-parallel", "Distance/random/full-matrix"));
    std::printf("Distance, 65 to 80 bytes:    %.1fx the full matrix (goal: at least 10x)\n",
                ratio("Distance/long/bit-parallel", "Distance/long/full-matrix"));
    std::printf("kPhonetik, every word:       %.1fx the plain coder (goal: at least 2x)\n",
                ratio("Phonetik/all-words/packed", "Phonetik/all-words/plain"));
    std::printf("kPhonetik: %.1f million words per second (goal: at least 10)\n",
                rate["Phonetik/all-words/packed"] / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = TakeWordListPath(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!LoadData(path, TheData())) return 1;
    RegisterBenchmarks(TheData());

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatios(reporter.perSecond);
    return 0;
}
