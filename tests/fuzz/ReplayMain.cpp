// Runs a fuzz target over every file of the folders (or single files) named
// on the command line, so that ordinary builds check the seed corpus and the
// saved crashes under the sanitizers. Usage:
//   fuzz_x CORPUS... [--optional FOLDER...]
// Each CORPUS must exist and hold at least one input; the folders after
// --optional (the saved crashes) may be missing or empty.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void RunFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Runs the file, or each file of the folder; returns how many ran.
int Run(const fs::path& path) {
    if (fs::is_regular_file(path)) {
        RunFile(path);
        return 1;
    }
    int files = 0;
    if (!fs::is_directory(path)) return files;
    for (const auto& entry : fs::directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        RunFile(entry.path());
        ++files;
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    bool optional = false;
    int failures = 0;
    int total = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--optional") {
            optional = true;
            continue;
        }
        const int files = Run(argv[i]);
        total += files;
        // A corpus that went missing must not pass silently.
        if (files == 0 && !optional) {
            std::fprintf(stderr, "no inputs in %s\n", argv[i]);
            ++failures;
        }
    }
    std::printf("replayed %d inputs\n", total);
    return failures == 0 ? 0 : 1;
}
