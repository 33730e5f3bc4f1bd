#pragma once
// The command-line tool's side of the engine's services: messages as one
// line on stderr, the overwrite question on a terminal, and a progress bar.

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

#include "Services.h"

namespace calverdon::cli {

// The streams and terminal facts a command runs with; tests supply string
// streams and say whether a terminal is there.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    // A progress bar stands on the current line of `err`; a message takes
    // its place.
    bool barOnLine = false;
};

// `text` as it may be printed on a terminal: control characters (C0, DEL
// and C1), which could retitle or recolour it, are shown as escapes such
// as "\x1b".
std::string Printable(std::string_view text);

// Exit codes of the tool.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitChecksum = 3;

// The files a command works on, so that a failure to open one of them is
// followed by a line that names the file and says why, in German.
struct CommandFiles {
    std::filesystem::path source;  // the first part, or the file to encode
    std::filesystem::path target;  // the result, or the first part written
    // Nothing is written (check): the checksum warning speaks of the chain,
    // not of a target file.
    bool checkOnly = false;
};

// The line that follows a failure to open or create `path`: the file (or,
// when the fault lies there, its folder) and the reason. `error` is an
// errno or kNotRegularFile.
std::string OpenFailureLine(const std::filesystem::path& path, int error, bool creating);

class ConsoleMessages final : public UserMessages {
public:
    ConsoleMessages(Console& console, bool assumeYes, CommandFiles files = {})
        : console_(console), assumeYes_(assumeYes), files_(std::move(files)) {}
    int Show(const std::string& text, const std::string& caption, MessageKind kind) override;
    void SetTarget(const std::filesystem::path& target) { files_.target = target; }

private:
    // The second line for a failure to open a file; empty for other messages.
    std::string OpenFailureFor(const std::string& text, const std::string& caption) const;

    Console& console_;
    bool assumeYes_;
    CommandFiles files_;
};

// A bar on a terminal's stderr; silent elsewhere. A bar that a failure
// interrupts is taken off the line.
class ConsoleProgress final : public ProgressReceiver {
public:
    explicit ConsoleProgress(Console& console) : console_(console) {}
    ~ConsoleProgress() override;
    void SetProgress(int percent) override;
    // The run is complete: the bar, if one was drawn, ends at 100 % on a
    // line of its own, so that what is printed next starts a line.
    void Finish();

private:
    void Draw(int percent);

    Console& console_;
    bool drawn_ = false;
};

}  // namespace calverdon::cli
