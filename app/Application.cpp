#include "Application.h"

#include <QLibraryInfo>
#include <QTranslator>

#include "Components.h"
#include "QtServices.h"

namespace calverdon::gui {

QString ExceptionText(std::exception_ptr exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return {};
    }
}

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv), display_([](const QString& caption, const QString& text) {
          BuildMessageBox(text, caption, MessageKind::Error, nullptr)->exec();
      }) {}

void TApplication::Initialise() {
    // The application name, not the display name: Qt would append a
    // display name to every window title.
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    setDesktopFileName(QStringLiteral("calverdon"));
    setWindowIcon(WindowIcon());
    auto german = std::make_unique<QTranslator>();
    if (german->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(german.get());
        qtGerman_ = std::move(german);
    }
}

int TApplication::Run(const std::function<std::unique_ptr<QWidget>()>& createMainWindow) {
    try {
        const std::unique_ptr<QWidget> mainWindow = createMainWindow();
        mainWindow->show();
        exec();
    } catch (...) {
        ShowException(std::current_exception());
    }
    return 0;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Qt cannot carry an exception through its own code; catch it where
    // the event is delivered, show it and end every running loop.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        exit(0);
        return false;
    }
}

void TApplication::ShowException(std::exception_ptr exception) {
    if (display_) display_(QString::fromLatin1(kApplicationTitle), ExceptionText(exception));
}

}  // namespace calverdon::gui
