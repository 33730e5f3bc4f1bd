#include "MessageBox.h"

#include <cstdio>
#include <string>
#include <utility>

#include "Cp1252.h"

namespace calverdon {
namespace {

// The program uses its boxes from one thread only, as the system's boxes
// are used from the GUI thread; the handler needs no lock.
MessageBoxHandler& CurrentHandler() {
    static MessageBoxHandler handler = WriteMessageToStderr;
    return handler;
}

}  // namespace

int WriteMessageToStderr(void*, const UnicodeString& text, const UnicodeString& caption, unsigned) {
    const std::string line = Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return IDOK;
}

int MessageBoxW(void* owner, const UnicodeString& text, const UnicodeString& caption, unsigned type) {
    // A copy, so that a handler may replace itself while it runs.
    const MessageBoxHandler handler = CurrentHandler();
    return handler(owner, text, caption, type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    if (!handler) handler = WriteMessageToStderr;
    return std::exchange(CurrentHandler(), std::move(handler));
}

}  // namespace calverdon
