#include "QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QProgressBar>

#include <algorithm>

namespace calverdon::gui {

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
