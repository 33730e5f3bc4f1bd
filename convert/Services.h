#pragma once
// The two services through which the conversion engine talks to the user:
// a modal message (text, caption, kind) and a progress value. The desktop
// program, the command-line tool and the tests each supply their own.

#include <string>

namespace calverdon {

// The kinds of message the engine shows; the values are those of the
// classic message box flags, which the window and the tests compare.
enum class MessageKind : int {
    Error = 16,        // stop icon, OK button
    YesNoWarning = 52, // exclamation icon, Yes and No buttons
    Warning = 48,      // exclamation icon, OK button
    Information = 64,  // information icon, OK button
};

// The answer that means "yes" to a YesNoWarning question.
inline constexpr int kAnswerYes = 6;
// What a plain OK answers, and what a "no" answers.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerNo = 7;

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // Shows one message and waits for the answer. Texts are UTF-8.
    virtual int Show(const std::string& text, const std::string& caption, MessageKind kind) = 0;
};

class ProgressReceiver {
public:
    virtual ~ProgressReceiver() = default;
    // A whole-number percentage. The decoder passes 100 during the further
    // parts of a chain; receivers show such values as full.
    virtual void SetProgress(int percent) = 0;
    // Asked whenever a new percentage has been passed on: true when the
    // user wants the run stopped. The run then ends at once with Failed,
    // shows nothing more and leaves every file as it was.
    virtual bool StopRequested() { return false; }
};

struct Services {
    UserMessages& messages;
    ProgressReceiver* progress = nullptr;
};

}  // namespace calverdon
