// The application object: an exception from start-up or from an event
// handler is shown under "Calverdon" and the program ends with 0; Qt's own
// texts are German whatever the locale. The program's command line.

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>
#include <stdexcept>

#include "Application.h"

using calverdon::gui::ParseStartArguments;
using calverdon::gui::StartArguments;
using calverdon::gui::TApplication;

namespace {

struct Shown {
    QString caption;
    QString text;
};

// A window whose every user event throws what it is given.
class Throwing : public QWidget {
public:
    std::function<void()> thrower;
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) thrower();
        return QWidget::event(event);
    }
};

}  // namespace

class TestApplication : public QObject {
    Q_OBJECT

    std::vector<Shown> shown_;

    TApplication& App() { return *static_cast<TApplication*>(QCoreApplication::instance()); }

private slots:
    void init() {
        shown_.clear();
        App().SetExceptionDisplay([this](const QString& caption, const QString& text) {
            shown_.push_back({caption, text});
        });
    }

    void exceptionAtStartUp_data() {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("text");
        QTest::newRow("std::exception") << true << "Start misslungen";
        // Anything that is no exception object has no text.
        QTest::newRow("other") << false << "";
    }

    void exceptionAtStartUp() {
        QFETCH(bool, standard);
        QFETCH(QString, text);
        const int result = App().Run([standard]() -> std::unique_ptr<QWidget> {
            if (standard) throw std::runtime_error("Start misslungen");
            throw 42;
        });
        QCOMPARE(result, 0);
        QCOMPARE(shown_.size(), size_t(1));
        QCOMPARE(shown_[0].caption, QStringLiteral("Calverdon"));
        QCOMPARE(shown_[0].text, text);
    }

    void exceptionInEventHandlerEndsLoop() {
        const int result = App().Run([] {
            auto window = std::make_unique<Throwing>();
            window->thrower = [] { throw std::runtime_error("Fehler im Ereignis"); };
            QCoreApplication::postEvent(window.get(), new QEvent(QEvent::User));
            return window;
        });
        QCOMPARE(result, 0);
        QCOMPARE(shown_.size(), size_t(1));
        QCOMPARE(shown_[0].caption, QStringLiteral("Calverdon"));
        QCOMPARE(shown_[0].text, QStringLiteral("Fehler im Ereignis"));
    }

    void closingMainWindowEndsLoop() {
        const int result = App().Run([] {
            auto window = std::make_unique<QWidget>();
            QTimer::singleShot(0, window.get(), &QWidget::close);
            return window;
        });
        QCOMPARE(result, 0);
        QVERIFY(shown_.empty());
    }

    void initialiseSetsTitleAndGermanTexts() {
        App().Initialise();
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Calverdon"));
        // The test runs in the C.UTF-8 locale; the texts are German anyway.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
        QVERIFY(!QApplication::windowIcon().isNull());
        // The desktop file's name, by which a desktop finds the window's icon.
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("de.calverdon.Calverdon"));
    }

    void startArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("encode");
        QTest::addColumn<QStringList>("files");  // relative to the working directory
        QTest::addColumn<QString>("wrong");
        using A = StartArguments::Action;
        QTest::newRow("none") << QStringList{} << int(A::Run) << false << QStringList{} << "";
        QTest::newRow("files") << QStringList{"a.txt", "/b/c.eml"} << int(A::Run) << false
                               << QStringList{"a.txt", "/b/c.eml"} << "";
        QTest::newRow("--encode") << QStringList{"--encode", "x.pdf"} << int(A::Run) << true << QStringList{"x.pdf"}
                                  << "";
        QTest::newRow("--help wins") << QStringList{"--frob", "--help"} << int(A::Help) << false << QStringList{}
                                     << "--frob";
        QTest::newRow("-h") << QStringList{"-h"} << int(A::Help) << false << QStringList{} << "";
        QTest::newRow("--version") << QStringList{"a.txt", "--version"} << int(A::Version) << false
                                   << QStringList{"a.txt"} << "";
        QTest::newRow("unknown") << QStringList{"-x", "a.txt"} << int(A::Wrong) << false << QStringList{"a.txt"}
                                 << "-x";
        QTest::newRow("after --") << QStringList{"--", "--help"} << int(A::Run) << false << QStringList{"--help"}
                                  << "";
    }

    void startArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(bool, encode);
        QFETCH(QStringList, files);
        QFETCH(QString, wrong);
        const StartArguments start = ParseStartArguments(arguments);
        QCOMPARE(int(start.action), action);
        QCOMPARE(start.encode, encode);
        QStringList absolute;
        for (const QString& file : files) absolute << QDir::current().absoluteFilePath(file);
        QCOMPARE(start.files, absolute);
        QCOMPARE(start.wrong, wrong);
    }
};

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestApplication.moc"
