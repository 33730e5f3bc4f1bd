#pragma once
// The application object of the desktop program: its title, the German Qt
// texts, and what happens to an exception that escapes start-up or an
// event handler: it is shown under the application's title, and the
// program ends with exit code 0.

#include <QApplication>
#include <QString>
#include <QTranslator>

#include <exception>
#include <functional>
#include <memory>

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

}  // namespace calverdon::gui
