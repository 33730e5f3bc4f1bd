#include "QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLayout>
#include <QProgressBar>

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

void ProgressBarReceiver::SetProgress(int percent) {
    const int shown = std::clamp(percent, bar_.minimum(), bar_.maximum());
    if (shown == bar_.value()) return;
    // setValue repaints at once, without the event loop, whenever the
    // change shows on the bar.
    bar_.setValue(shown);
}

void SystemBeeper::MessageBeep(unsigned type) {
    calverdon::MessageBeep(type, player_, [] { QApplication::beep(); });
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace calverdon::gui
