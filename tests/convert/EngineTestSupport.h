#pragma once
// Shared pieces of the engine tests: the scratch folder and the message
// recorder of tests/support, a progress recorder, and file helpers.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "HexText.h"
#include "../support/TestMessages.h"
#include "../support/TestFolder.h"

namespace calverdon::testing {

namespace fs = std::filesystem;

class RecordingProgress final : public ProgressReceiver {
public:
    void SetProgress(int percent) override { values.push_back(percent); }
    std::vector<int> values;
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file at `path` holds exactly `expected`. Otherwise it says whether
// the file is missing, or both sizes and the first byte that differs.
inline ::testing::AssertionResult HoldsBytes(const fs::path& path, std::string_view expected) {
    if (!fs::exists(path)) return ::testing::AssertionFailure() << path << " is missing";
    const std::string bytes = ReadFile(path);
    if (bytes == expected) return ::testing::AssertionSuccess();
    const auto [differs, wanted] = std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << path << " holds " << bytes.size() << " bytes, expected " << expected.size()
            << "; the first difference is at byte " << (differs - bytes.begin());
    if (differs != bytes.end() && wanted != expected.end()) {
        failure << ", value " << +static_cast<unsigned char>(*differs) << " where "
                << +static_cast<unsigned char>(*wanted) << " was expected";
    }
    return failure;
}

inline void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The header of a hex-text file carrying `name`.
inline std::string Header(std::string_view name) {
    return std::string(kMagicLine) + "\r\n" + std::string(name) + "\r\n";
}

}  // namespace calverdon::testing
