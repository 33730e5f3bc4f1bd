// The help window: its layout, its built-in lines, the margins it keeps
// when resized, and the help file from the working directory.

#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "Components.h"
#include "Info.h"

using calverdon::gui::TFormINFO;

class TestHelpWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString previousDir_;

    void Write(const QString& name, const QByteArray& bytes) {
        QFile file(dir_->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QStringList Lines(const TFormINFO& help) {
        QStringList lines;
        for (QTextBlock block = help.RichEdit1->document()->begin(); block.isValid(); block = block.next())
            lines << block.text();
        return lines;
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        previousDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
    }

    void cleanup() {
        QDir::setCurrent(previousDir_);
        dir_.reset();
    }

    void layout() {
        TFormINFO help;
        QCOMPARE(help.windowTitle(), QStringLiteral("Calverdon - Info"));
        QCOMPARE(help.size(), QSize(602, 341));
        QCOMPARE(help.pos(), QPoint(0, 0));
        QCOMPARE(help.BitBtn1->objectName(), QStringLiteral("BitBtn1"));
        QCOMPARE(help.BitBtn1->geometry(), QRect(4, 4, 101, 25));
        QCOMPARE(help.BitBtn1->text(), QStringLiteral("S&chließen"));
        QCOMPARE(help.BitBtn1->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
        QVERIFY(!help.BitBtn1->icon().pixmap(16, 16).isNull());
        QCOMPARE(help.RichEdit1->objectName(), QStringLiteral("RichEdit1"));
        QCOMPARE(help.RichEdit1->geometry(), QRect(4, 35, 590, 294));
        QVERIFY(help.RichEdit1->isReadOnly());
        QCOMPARE(help.RichEdit1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QWidget* next = help.RichEdit1->nextInFocusChain();
        while (help.RichEdit1->isAncestorOf(next)) next = next->nextInFocusChain();
        QCOMPARE(next, static_cast<QWidget*>(help.BitBtn1));
        const Qt::WindowFlags flags = help.windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowMaximizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QCOMPARE(QFontInfo(help.font()).pixelSize(), 13);
        QVERIFY(!help.windowIcon().pixmap(16, 16).isNull());
    }

    void builtInLinesWithoutHelpFile() {
        TFormINFO help;
        const QStringList expected = {
            "Calverdon dient der Umsetzung von Kelvarin-Textdateien in Binärdateien.",
            "",
            "1. Wählen Sie zunächst mit [auswählen] die Textdatei aus, die Sie per E-Mail erhalten haben.",
            "Falls Sie mehrere, durchnummerierte Textdateien erhalten haben, wählen Sie die erste (ohne ",
            "Nummer). ",
            "Calverdon fügt die Teildateien zu einer Gesamtdatei zusammen und prüft die korrekte Reihenfolge.",
            "Calverdon prüft die Datei und trägt den Namen der zu erzeugenden Datei unter [Zieldatei] ein.",
            "",
            "2. Starten Sie die Umwandlung durch klicken auf [Umwandlung starten].",
            "Sobald die Umwandlung beendet ist, sehen Sie einen grünen, gelben oder roten Punkt.",
            "Grün: Die Umwandlung war erfolgreich, die Datei kann verwendet werden.",
            "Gelb: Es gab einen Prüfsummenfehler. Die Datei könnte Fehler haben.",
            "Rot: Es gab einen Fehler. Eine Zieldatei wurde nicht erzeugt.",
            "",
            "3. Verschieben Sie die erzeugte Datei nach Anweisung in den gewünschten Ordner.",
            "",
        };
        QCOMPARE(Lines(help), expected);
    }

    void helpFileReplacesBuiltInLines_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::newRow("rich text") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 {\\b Hilfe}\\par Zweite Zeile f\\'fcr Sie}")
                                   << "Hilfe\nZweite Zeile für Sie";
        QTest::newRow("plain text") << QByteArray("Nur Text\n") << "Nur Text";
    }

    void helpFileReplacesBuiltInLines() {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        Write("Calverdon.rtf", file);
        TFormINFO help;
        QCOMPARE(help.RichEdit1->toPlainText().trimmed(), shown);
    }

    // The help text installed with the program stands in for a missing one
    // in the working directory, never for one that is there.
    void installedHelpWhenWorkingDirectoryHasNone_data() {
        QTest::addColumn<bool>("inWorkingDirectory");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none here") << false << "Installiert";
        QTest::newRow("one here") << true << "Hier";
    }

    void installedHelpWhenWorkingDirectoryHasNone() {
        QFETCH(bool, inWorkingDirectory);
        QFETCH(QString, shown);
        QVERIFY(QDir(dir_->path()).mkdir("share"));
        Write("share/Calverdon.rtf", "{\\rtf1\\ansi Installiert}");
        if (inWorkingDirectory) Write("Calverdon.rtf", "{\\rtf1\\ansi Hier}");
        TFormINFO help(nullptr, dir_->filePath("share/Calverdon.rtf"));
        QCOMPARE(help.RichEdit1->toPlainText().trimmed(), shown);
    }

    void unreadableHelpFileLeavesBuiltInLines() {
        // A folder of that name cannot be read as a file.
        QVERIFY(QDir(dir_->path()).mkdir("Calverdon.rtf"));
        TFormINFO help;
        QCOMPARE(Lines(help).size(), 16);
        QCOMPARE(Lines(help).first(), QStringLiteral("Calverdon dient der Umsetzung von Kelvarin-Textdateien in Binärdateien."));
    }

    void resizeKeepsMargins() {
        TFormINFO help;
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        const QSize start = help.RichEdit1->size();

        help.resize(help.width() + 100, help.height() + 40);
        QCoreApplication::processEvents();
        QCOMPARE(help.RichEdit1->size(), start + QSize(100, 40));
        QCOMPARE(help.RichEdit1->pos(), QPoint(4, 35));

        help.resize(help.width() - 200, help.height() - 80);
        QCoreApplication::processEvents();
        QCOMPARE(help.RichEdit1->size(), start - QSize(100, 40));
    }

    void closeButtonEndsModalShowingWithOk() {
        TFormINFO help;
        QTimer::singleShot(0, &help, [&help] { QTest::mouseClick(help.BitBtn1, Qt::LeftButton); });
        QCOMPARE(help.exec(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestHelpWindow)
#include "TestHelpWindow.moc"
