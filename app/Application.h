#pragma once
// The application object of the desktop program: its title, the German Qt
// texts, and what happens to an exception that escapes start-up or an
// event handler: it is shown under the application's title, and the
// program ends with exit code 0.

#include <QApplication>
#include <QString>
#include <QTranslator>

#include <QStringList>

#include <exception>
#include <functional>
#include <memory>

#include "HexBin1.h"

namespace calverdon::gui {

// The task-bar text and the caption of the program's own error messages.
inline constexpr const char* kApplicationTitle = "Calverdon";

// The text shown for an exception: what() of a standard exception, empty
// for anything else.
QString ExceptionText(std::exception_ptr exception);

class TApplication : public QApplication {
    Q_OBJECT
public:
    // Shows one exception: caption and text. The default is an error box.
    using ExceptionDisplay = std::function<void(const QString& caption, const QString& text)>;

    TApplication(int& argc, char** argv);

    void SetExceptionDisplay(ExceptionDisplay display) { display_ = std::move(display); }

    // Title, icon and German Qt translation; the translation is loaded
    // whatever the locale, since the interface is German.
    void Initialise();

    // Creates the main window, shows it and runs the event loop until it
    // closes. An exception from either is shown; the result is always 0.
    int Run(const std::function<std::unique_ptr<QWidget>()>& createMainWindow);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void ShowException(std::exception_ptr exception);

    ExceptionDisplay display_;
    std::unique_ptr<QTranslator> qtGerman_;
};

// What the command line asks of the program.
struct StartArguments {
    enum class Action { Run, Help, Version, Wrong };
    Action action = Action::Run;
    // --encode: encode mode without Codieren.ini, for the desktop action.
    bool encode = false;
    // The files and folders to open, as absolute paths.
    QStringList files;
    // The first option that is not known, for Wrong.
    QString wrong;
};

// Reads the arguments that follow the program's name. "--help" and
// "--version" win wherever they stand; "--" ends the options.
StartArguments ParseStartArguments(const QStringList& arguments);

// What --help prints.
extern const char* const kUsageText;

// The main window for a start with `arguments`: in encode mode for
// --encode, and with the files opened, as a drop opens them, once the
// event loop runs and the window is shown.
std::unique_ptr<TForm1> CreateMainWindow(const StartArguments& arguments, TForm1Seams seams = {});

// The program from its command line to its end; the exit code. --help and
// --version are answered on stdout without a display, wrong usage on
// stderr with exit code 2; everything else runs the window (exit code 0).
int RunProgram(int argc, char** argv);

}  // namespace calverdon::gui
