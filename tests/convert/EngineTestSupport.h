#pragma once
// Shared pieces of the engine tests: a scratch folder, a user-message
// service that records what it is shown and answers from a queue, and a
// progress recorder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HexText.h"

namespace calverdon::testing {

namespace fs = std::filesystem;

struct Shown {
    std::string text;
    std::string caption;
    MessageKind kind;
};

class RecordingMessages final : public UserMessages {
public:
    int Show(const std::string& text, const std::string& caption, MessageKind kind) override {
        shown.push_back({text, caption, kind});
        if (answers.empty()) return kind == MessageKind::YesNoWarning ? kAnswerNo : kAnswerOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<Shown> shown;
    std::deque<int> answers;
};

class RecordingProgress final : public ProgressReceiver {
public:
    void SetProgress(int percent) override { values.push_back(percent); }
    std::vector<int> values;
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "calverdon-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

// The header of a hex-text file carrying `name`.
inline std::string Header(std::string_view name) {
    return std::string(kMagicLine) + "\r\n" + std::string(name) + "\r\n";
}

}  // namespace calverdon::testing
