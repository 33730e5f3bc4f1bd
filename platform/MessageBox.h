#pragma once
// A stand-in for the system's modal message box. The library calls
// MessageBoxW where it must tell the user something at once; what the user
// then sees depends on the handler installed: by default one line on stderr,
// in `calverdon-cli barcode` a line on its error stream, in tests a recorder.

#include <functional>
#include <utility>

#include "Strings.h"

namespace calverdon {

// Kinds of box, with the values and answers of the Windows interface: the
// one vocabulary of message kinds, which the engine's MessageKind
// (convert/Services.h) names as an enum.
inline constexpr unsigned MB_YESNO = 4;             // Yes and No buttons
inline constexpr unsigned MB_ICONERROR = 16;        // stop icon, OK button
inline constexpr unsigned MB_ICONWARNING = 48;      // exclamation icon, OK button
inline constexpr unsigned MB_ICONINFORMATION = 64;  // information icon, OK button
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// owner is the window the box belongs to; nullptr for none.
using MessageBoxHandler =
    std::function<int(void* owner, const UnicodeString& text, const UnicodeString& caption, unsigned type)>;

// Shows the message through the installed handler and returns its answer.
int MessageBoxW(void* owner, const UnicodeString& text, const UnicodeString& caption, unsigned type);

// Installs a handler (an empty one restores the default) and returns the
// one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The default: "caption: text" as one UTF-8 line on stderr; answers IDOK.
int WriteMessageToStderr(void* owner, const UnicodeString& text, const UnicodeString& caption, unsigned type);

// Installs a handler for its lifetime and puts the previous one back.
class ScopedMessageBoxHandler {
public:
    explicit ScopedMessageBoxHandler(MessageBoxHandler handler)
        : previous_(SetMessageBoxHandler(std::move(handler))) {}
    ~ScopedMessageBoxHandler() { SetMessageBoxHandler(std::move(previous_)); }
    ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
    ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

private:
    MessageBoxHandler previous_;
};

}  // namespace calverdon
