#pragma once
// The engine's services in the desktop program: its messages as modal
// message boxes, its progress on a progress bar, the outcome sounds, and
// the hourglass and the held input while a conversion runs.

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "MessageBeep.h"
#include "Services.h"

class QProgressBar;
class QWidget;

namespace calverdon::gui {

// What a title bar needs beside its caption: the window icon on the left,
// the close box and perhaps two more buttons on the right, and margins.
inline constexpr int kTitleBarRoom = 120;

// The box for one message: stop, exclamation or information icon with an
// OK button for the kinds 16, 48 and 64; exclamation icon with "Ja" and
// "Nein" for 52. Any other kind shows an information box. Most messages
// split one sentence between caption and text, so the box is made wide
// enough for its whole caption in the title bar, not only for its text.
std::unique_ptr<QMessageBox> BuildMessageBox(const QString& text, const QString& caption, MessageKind kind,
                                             QWidget* owner);

// What the engine receives for the button that closed a box.
int AnswerFor(QMessageBox::StandardButton button);

// Shows each message as a modal message box over its owner window.
class MessageBoxMessages final : public UserMessages {
public:
    explicit MessageBoxMessages(QWidget* owner) : owner_(owner) {}
    int Show(const std::string& text, const std::string& caption, MessageKind kind) override;

private:
    QWidget* owner_;
};

// Puts percentages on a bar from 0 to 100; larger values show as full,
// since the bar itself ignores values out of its range. The bar repaints
// itself at once, and only when its value changes.
//
// The conversion runs on the GUI thread, outside the event loop. So that
// the windows stay painted, the window manager gets its answers and a
// close of the window is seen, each value lets the pending events through,
// at most every kEventIntervalMs. The user's input to the window is held
// meanwhile (InputHold). A close or Escape during the run calls AskToStop;
// the question whether to stop is then put once, after those events, and
// a "yes" is the engine's answer to StopRequested from then on.
class ProgressBarReceiver final : public ProgressReceiver {
public:
    static constexpr int kEventIntervalMs = 50;
    // Asks the user whether to stop the run; true for "yes".
    using StopQuestion = std::function<bool()>;

    ProgressBarReceiver(QProgressBar& bar, StopQuestion question)
        : bar_(bar), question_(std::move(question)) {}
    void SetProgress(int percent) override;
    bool StopRequested() override { return stopped_; }

    // Before each run: no question pending, not stopped.
    void BeginRun();
    void AskToStop() { questionPending_ = true; }
    // The question was wanted but the run ended before it was put.
    bool QuestionPending() const { return questionPending_; }
    bool Stopped() const { return stopped_; }

private:
    QProgressBar& bar_;
    StopQuestion question_;
    // Since the events were last let through; invalid before the first time.
    QElapsedTimer sinceEvents_;
    bool questionPending_ = false;
    bool stopped_ = false;
};

// The outcome sounds; tests put a recorder in its place.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void MessageBeep(unsigned type) = 0;
};

// Sound-theme events through libcanberra, else QApplication::beep().
// The sound library's complaints about a missing sound device stay off
// stderr: a machine without sound is no fault to report.
class SystemBeeper final : public Beeper {
public:
    SystemBeeper();
    void MessageBeep(unsigned type) override;

private:
    CanberraPlayer player_;
};

// The hourglass over the whole application for the guard's lifetime.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Keeps the user's input away from one window for the guard's lifetime,
// while work runs on the GUI thread and lets events through now and then:
// mouse, key, wheel, touch and context-menu events meant for the window or
// anything in it are held, and posted again in their order when the guard
// ends, so that a click during the work takes effect after it. Two kinds
// of input are not held: Escape pressed in the window calls `onEscape`,
// and the input of `passThrough` (the close button) reaches it at once.
// Drags onto the window are refused meanwhile. Other windows, such as the
// message boxes the work shows, get their input as always.
class InputHold final : public QObject {
public:
    explicit InputHold(QWidget& window, std::function<void()> onEscape = {}, QWidget* passThrough = nullptr);
    ~InputHold() override;

    // Forgets the held input, for a window that closes after the work.
    void Discard() { held_.clear(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsInWindow(QObject* object) const;

    struct HeldEvent {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    QWidget& window_;
    std::function<void()> onEscape_;
    QPointer<QWidget> passThrough_;
    std::vector<HeldEvent> held_;
};

}  // namespace calverdon::gui
