#include "Application.h"
#include "Texts.h"

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

#include <iostream>

#include <calverdon/Dllinfo.h>
#include "Cp1252.h"
#include "ModuleImage.h"

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
    // The desktop file's name, by which a desktop finds the window's icon.
    setDesktopFileName(QStringLiteral("de.calverdon.Calverdon"));
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

const char* const kUsageText = texts::kUsage;

StartArguments ParseStartArguments(const QStringList& arguments) {
    StartArguments start;
    bool help = false;
    bool version = false;
    bool onlyFiles = false;
    for (const QString& argument : arguments) {
        if (!onlyFiles && argument == QLatin1String("--")) {
            onlyFiles = true;
        } else if (onlyFiles || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            start.files << QFileInfo(argument).absoluteFilePath();
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            help = true;
        } else if (argument == QLatin1String("--version")) {
            version = true;
        } else if (argument == QLatin1String("--encode")) {
            start.encode = true;
        } else if (start.wrong.isEmpty()) {
            start.wrong = argument;
        }
    }
    if (help) {
        start.action = StartArguments::Action::Help;
    } else if (version) {
        start.action = StartArguments::Action::Version;
    } else if (!start.wrong.isEmpty()) {
        start.action = StartArguments::Action::Wrong;
    }
    return start;
}

std::unique_ptr<TForm1> CreateMainWindow(const StartArguments& arguments, TForm1Seams seams) {
    seams.encodeMode = seams.encodeMode || arguments.encode;
    auto window = std::make_unique<TForm1>(nullptr, seams);
    if (!arguments.files.isEmpty()) {
        // After the window is shown, so that a message has it behind it.
        QTimer::singleShot(0, window.get(), [form = window.get(), files = arguments.files] { form->OpenPaths(files); });
    }
    return window;
}

int RunProgram(int argc, char** argv) {
    // Answered before Qt starts, which needs a display.
    QStringList raw;
    for (int i = 1; i < argc; ++i) raw << QFile::decodeName(argv[i]);
    const StartArguments early = ParseStartArguments(raw);
    if (early.action == StartArguments::Action::Help) {
        std::cout << kUsageText;
        return 0;
    }
    if (early.action == StartArguments::Action::Version) {
        // The two lines that the window's caption shows.
        UnicodeString copyright;
        const UnicodeString version = GetDLLInfo(Utf8ToUtf16(ExecutablePath().string()), copyright);
        std::cout << QString::fromStdU16String(version).toStdString() << '\n'
                  << QString::fromStdU16String(copyright).toStdString() << '\n';
        return version == u"---" ? 1 : 0;
    }

    TApplication app(argc, argv);
    // Qt has taken its own options (-platform, -display ...) out by now.
    const StartArguments start = ParseStartArguments(app.arguments().mid(1));
    if (start.action == StartArguments::Action::Wrong) {
        std::cerr << "Unbekannte Option: " << start.wrong.toStdString() << ".\nMehr dazu: calverdon --help\n";
        return 2;
    }
    return app.Run([&app, &start]() -> std::unique_ptr<QWidget> {
        app.Initialise();
        return CreateMainWindow(start);
    });
}

}  // namespace calverdon::gui
