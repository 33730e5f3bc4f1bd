#pragma once
// What the fuzz targets share: a memory-backed scratch folder, removed
// when the process ends normally, and a check that aborts with a message,
// so that the fuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "ScratchFolder.h"

namespace calverdon::fuzz {

// /dev/shm where there is one: the targets write files for every input.
inline std::filesystem::path MemoryFolder() {
    std::error_code ignored;
    return std::filesystem::is_directory("/dev/shm", ignored) ? std::filesystem::path("/dev/shm")
                                                              : std::filesystem::path();
}

class ScratchFolder : public calverdon::ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "calverdon-fuzz")
        : calverdon::ScratchFolder(prefix, MemoryFolder()) {}

    // The folder, emptied, for the next input.
    const std::filesystem::path& Empty() {
        calverdon::ScratchFolder::Empty();
        return Path();
    }
};

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace calverdon::fuzz
