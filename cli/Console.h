#pragma once
// The command-line tool's side of the engine's services: messages as one
// line on stderr, the overwrite question on a terminal, and a progress bar.

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

class ConsoleMessages final : public UserMessages {
public:
    ConsoleMessages(Console& console, bool assumeYes) : console_(console), assumeYes_(assumeYes) {}
    int Show(const std::string& text, const std::string& caption, MessageKind kind) override;

private:
    Console& console_;
    bool assumeYes_;
};

// A bar on a terminal's stderr; silent elsewhere.
class ConsoleProgress final : public ProgressReceiver {
public:
    explicit ConsoleProgress(Console& console) : console_(console) {}
    ~ConsoleProgress() override;
    void SetProgress(int percent) override;

private:
    Console& console_;
    bool drawn_ = false;
};

}  // namespace calverdon::cli
