#pragma once
// The tests' scratch folder: the platform's private folder in $TMPDIR,
// removed with everything in it, and a listing of what it holds.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ScratchFolder.h"

namespace calverdon::testing {

class ScratchFolder : public calverdon::ScratchFolder {
public:
    ScratchFolder() : calverdon::ScratchFolder("calverdon-test") {}

    // The names of the files in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace calverdon::testing
