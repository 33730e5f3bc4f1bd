#pragma once
// Recorders that stand in for the message boxes and the sounds.

#include <QApplication>
#include <QCursor>

#include <deque>
#include <string>
#include <vector>

#include "QtServices.h"
#include "Services.h"

namespace calverdon::gui::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageKind kind;
    // The override cursor while the message was up (Qt::ArrowCursor if none).
    Qt::CursorShape cursor;
};

class RecordingMessages final : public UserMessages {
public:
    // Answers in order; a question without a queued answer gets "no".
    std::deque<int> answers;
    std::vector<ShownMessage> shown;

    int Show(const std::string& text, const std::string& caption, MessageKind kind) override {
        const QCursor* cursor = QApplication::overrideCursor();
        shown.push_back({text, caption, kind, cursor != nullptr ? cursor->shape() : Qt::ArrowCursor});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return kind == MessageKind::YesNoWarning ? kAnswerNo : kAnswerOk;
    }
};

class RecordingBeeper final : public Beeper {
public:
    std::vector<unsigned> beeps;
    void MessageBeep(unsigned type) override { beeps.push_back(type); }
};

}  // namespace calverdon::gui::test
