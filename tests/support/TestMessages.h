#pragma once
// The tests' two stand-ins for the user who reads the engine's messages: a
// recorder that keeps each message and answers from a queue, and a silent
// double that answers yes and keeps nothing.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Services.h"

namespace calverdon::testing {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageKind kind;
};

class RecordingMessages final : public UserMessages {
public:
    int Show(const std::string& text, const std::string& caption, MessageKind kind) override {
        shown.push_back({text, caption, kind});
        if (whileShown) whileShown();
        if (answers.empty()) return kind == MessageKind::YesNoWarning ? unqueuedQuestion : kAnswerOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<ShownMessage> shown;
    // Given in order; a question without a queued answer gets
    // `unqueuedQuestion`, any other message "OK".
    std::deque<int> answers;
    int unqueuedQuestion = kAnswerNo;
    // Called while each message is up, before it is answered.
    std::function<void()> whileShown;
};

// For runs that must go through whatever they are asked.
class SilentMessages final : public UserMessages {
public:
    int Show(const std::string&, const std::string&, MessageKind) override { return kAnswerYes; }
};

}  // namespace calverdon::testing
