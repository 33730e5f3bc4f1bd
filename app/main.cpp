// The desktop program: the German Qt texts, the main window, and the
// message loop until the main window closes. An exception that escapes is
// shown under the application's title, and the program ends with exit
// code 0 all the same.

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <exception>

#include "Components.h"
#include "HexBin1.h"

namespace {

const QString kTitle = QStringLiteral("Calverdon");

void ShowException(const QString& text) { QMessageBox::critical(nullptr, kTitle, text); }

QString TextOf(std::exception_ptr exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        // Anything that is no exception object has no text to show.
        return {};
    }
}

// Qt cannot carry an exception out of an event handler through its own
// code; catch it where the event is delivered, show it and end the loop.
class Application : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            ShowException(TextOf(std::current_exception()));
            exit(0);
            return false;
        }
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    Application app(argc, argv);
    try {
        QApplication::setApplicationName(kTitle);
        QGuiApplication::setDesktopFileName(QStringLiteral("calverdon"));
        QApplication::setWindowIcon(calverdon::gui::WindowIcon());

        // The interface is German whatever the locale, Qt's own dialogs too.
        QTranslator qtGerman;
        if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&qtGerman);

        calverdon::gui::TForm1 form;
        form.show();
        QApplication::exec();
    } catch (...) {
        ShowException(TextOf(std::current_exception()));
    }
    return 0;
}
