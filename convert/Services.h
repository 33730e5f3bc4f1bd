#pragma once
// The two services through which the conversion engine talks to the user:
// a modal message (text, caption, kind) and a progress value. The desktop
// program, the command-line tool and the tests each supply their own.

#include <string>

#include "MessageBox.h"

namespace calverdon {

// The kinds of message the engine shows: the message box kinds of
// MessageBox.h, as an enum.
enum class MessageKind : int {
    Error = MB_ICONERROR,                     // stop icon, OK button
    YesNoWarning = MB_ICONWARNING | MB_YESNO, // exclamation icon, Yes and No buttons (52)
    Warning = MB_ICONWARNING,                 // exclamation icon, OK button
    Information = MB_ICONINFORMATION,         // information icon, OK button
};

// The answers: "yes" to a YesNoWarning question, a plain OK, and "no".
inline constexpr int kAnswerYes = IDYES;
inline constexpr int kAnswerOk = IDOK;
inline constexpr int kAnswerNo = IDNO;

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
