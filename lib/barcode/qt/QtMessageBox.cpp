#include "QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <memory>

#include "MessageBox.h"

namespace calverdon {
namespace {

QMessageBox::Icon IconFor(unsigned type) {
    switch (type & 0xF0u) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

QString ToQString(const UnicodeString& s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void InstallQtMessageBoxHandler() {
    auto fallback = std::make_shared<MessageBoxHandler>();
    *fallback = SetMessageBoxHandler(
        [fallback](void* owner, const UnicodeString& text, const UnicodeString& caption, unsigned type) {
            if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
                return (*fallback)(owner, text, caption, type);
            // Owner windows are not passed through: the library's boxes
            // have none, and a box without a parent is modal to the whole
            // application.
            QMessageBox box(IconFor(type), ToQString(caption), ToQString(text), QMessageBox::Ok);
            box.exec();
            return IDOK;
        });
}

}  // namespace calverdon
