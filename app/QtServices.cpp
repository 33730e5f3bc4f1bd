#include "QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QProgressBar>
#include <QWindow>

#include <alsa/error.h>

#include <algorithm>

#include "Components.h"

namespace calverdon::gui {
namespace {

// The width of a caption in a title bar. The window manager draws it in a
// font of its own that the program cannot ask for; Qt's title-bar font,
// the box's font and the windows' font stand in for it, bold as many title
// bars are, and the widest of them counts.
int CaptionWidth(const QString& caption, const QWidget& box) {
    int widest = 0;
    for (QFont font : {QApplication::font("QMdiSubWindowTitleBar"), box.font(), FormFont()}) {
        font.setBold(true);
        widest = std::max(widest, QFontMetrics(font).horizontalAdvance(caption));
    }
    return widest;
}

// QMessageBox fixes its own size whenever it shows, from its layout's
// minimum width and a rough allowance for the caption. The button box
// spans the whole layout and outlives any rebuilding of it, so its minimum
// width carries the caption's.
void FitToCaption(QMessageBox& box) {
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (buttons == nullptr || box.layout() == nullptr) return;
    const QMargins margins = box.layout()->contentsMargins();
    const int width = CaptionWidth(box.windowTitle(), box) + kTitleBarRoom;
    buttons->setMinimumWidth(std::max(0, width - margins.left() - margins.right()));
}

}  // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(const QString& text, const QString& caption, MessageKind kind,
                                             QWidget* owner) {
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (kind) {
    case MessageKind::Error: icon = QMessageBox::Critical; break;
    case MessageKind::Warning: icon = QMessageBox::Warning; break;
    case MessageKind::Information: icon = QMessageBox::Information; break;
    case MessageKind::YesNoWarning:
        icon = QMessageBox::Warning;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    }
    auto box = std::make_unique<QMessageBox>(icon, caption, text, buttons, owner);
    // Texts are plain: a file name from a mail must never be taken for markup.
    box->setTextFormat(Qt::PlainText);
    if (kind == MessageKind::YesNoWarning) {
        // German whatever translation is loaded: the interface is German.
        box->button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
        box->button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    }
    FitToCaption(*box);
    return box;
}

int AnswerFor(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes: return kAnswerYes;
    case QMessageBox::No: return kAnswerNo;
    default: return kAnswerOk;
    }
}

int MessageBoxMessages::Show(const std::string& text, const std::string& caption, MessageKind kind) {
    auto box = BuildMessageBox(QString::fromStdString(text), QString::fromStdString(caption), kind, owner_);
    box->exec();
    // A question closed without a button (Escape, close box) counts as no.
    const auto clicked = box->standardButton(box->clickedButton());
    if (clicked == QMessageBox::NoButton)
        return kind == MessageKind::YesNoWarning ? kAnswerNo : kAnswerOk;
    return AnswerFor(clicked);
}

void ProgressBarReceiver::BeginRun() {
    questionPending_ = false;
    stopped_ = false;
}

void ProgressBarReceiver::SetProgress(int percent) {
    const int shown = std::clamp(percent, bar_.minimum(), bar_.maximum());
    // setValue repaints at once, without the event loop, whenever the
    // change shows on the bar.
    if (shown != bar_.value()) bar_.setValue(shown);
    if (stopped_ || (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs)) return;
    // Paint requests, exposures, the window manager's pings and a close of
    // the window; the window's clicks and keys are held by InputHold. The
    // window system counts a close as input, so no input is excluded here.
    QCoreApplication::processEvents();
    if (questionPending_) {
        questionPending_ = false;
        stopped_ = question_ && question_();
    }
    sinceEvents_.start();
}

namespace {

// Where the ALSA library would print its complaints, for instance that
// there is no sound card.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

SystemBeeper::SystemBeeper() {
    // The handler is the library's one for the whole process, and so also
    // the sound library's, which loads its ALSA back-end on demand.
    snd_lib_error_set_handler(&IgnoreAlsaError);
}

void SystemBeeper::MessageBeep(unsigned type) {
    calverdon::MessageBeep(type, player_, [] { QApplication::beep(); });
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

InputHold::InputHold(QWidget& window, std::function<void()> onEscape, QWidget* passThrough)
    : window_(window), onEscape_(std::move(onEscape)), passThrough_(passThrough) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
    QCoreApplication::instance()->removeEventFilter(this);
    for (HeldEvent& held : held_)
        if (held.receiver != nullptr) QCoreApplication::postEvent(held.receiver, held.event.release());
}

bool InputHold::IsInWindow(QObject* object) const {
    if (object->isWidgetType()) return static_cast<QWidget*>(object)->window() == &window_;
    if (object->isWindowType()) return object == window_.windowHandle();
    return false;
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::ContextMenu:
        if (!IsInWindow(watched)) return false;
        if (passThrough_ != nullptr && watched == passThrough_) return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            onEscape_) {
            onEscape_();
            return true;
        }
        held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (!IsInWindow(watched)) return false;
        event->ignore();
        return true;
    default:
        return false;
    }
}

}  // namespace calverdon::gui
