// The main window, driven as a user would: choices through the dialog
// seam (or a drop), clicks on its buttons, answers through the recording
// message seam. Texts, colours and progress values come from the worked
// examples of the hex-text format and from the window's layout table.

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

#include "Application.h"
#include "Components.h"
#include "Fakes.h"
#include "HexBin1.h"
#include "HexText.h"
#include "Info.h"
#include "MessageBeep.h"

using namespace calverdon;
using namespace calverdon::gui;
using calverdon::gui::test::RecordingBeeper;
using calverdon::gui::test::RecordingMessages;

namespace {

// The three-byte example "ABC" of the format: checksum 5555 + 69 + 70 + 71
// = 5765 = 0x1685.
const QByteArray kAbcHexText = "Kelvarin-Hex-Text 1.0\r\nabc.bin\r\n414243~~00001685";

const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString previousDir_;
    std::unique_ptr<RecordingMessages> messages_;
    std::unique_ptr<RecordingBeeper> beeper_;
    std::unique_ptr<TForm1> form_;
    VersionReader versionReader_;

    // A fresh window in the current working directory.
    void Build() {
        form_.reset();
        form_ = std::make_unique<TForm1>(nullptr, TForm1Seams{messages_.get(), beeper_.get(), versionReader_});
        form_->show();
    }

    QString PathOf(const QString& relative) const { return dir_->filePath(relative); }

    QString Write(const QString& relative, const QByteArray& bytes) {
        const QString path = PathOf(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
        file.write(bytes);
        return path;
    }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    template <typename T = QWidget>
    T* Get(const char* name) const {
        T* child = form_->findChild<T*>(QLatin1String(name));
        if (child == nullptr) qFatal("no component %s", name);
        return child;
    }

    QString Text(const char* label) const { return Get<QLabel>(label)->text(); }
    bool StartEnabled() const { return Get("BitBtnSTART")->isEnabled(); }

    // "Chooses" a file (or cancels, with an empty path) through the dialog.
    void Choose(const QString& path) {
        Get<TOpenDialog>("OpenDialog1")->SetChooser([path](const TOpenDialog&) { return path; });
        QTest::mouseClick(Get("BitBtnQ"), Qt::LeftButton);
    }

    void Start() { QTest::mouseClick(Get("BitBtnSTART"), Qt::LeftButton); }

    QColor Dot() const { return Get<TShape>("ShapeRES")->BrushColor(); }
    bool DotShown() const { return Get("ShapeRES")->isVisible(); }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        // The store of incomplete chains lives in the test's own folder.
        qputenv("XDG_STATE_HOME", dir_->filePath(QStringLiteral("zustand")).toUtf8());
        previousDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
        messages_ = std::make_unique<RecordingMessages>();
        beeper_ = std::make_unique<RecordingBeeper>();
        versionReader_ = [](const UnicodeString&, UnicodeString& copyright) {
            copyright = u"© 2026 Muster GmbH";
            return UnicodeString(u"2.1.0");
        };
        Build();
    }

    void cleanup() {
        form_.reset();
        QDir::setCurrent(previousDir_);
        dir_.reset();
    }

    // Captions and hints of every control, and that the controls lie inside
    // the window without covering each other.
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::newRow("BitBtn2") << "BitBtn2" << "Schließen" << "";
        QTest::newRow("BitBtnHILF") << "BitBtnHILF" << "Hilfe" << "";
        QTest::newRow("BitBtnQ") << "BitBtnQ" << "auswählen" << "Quelldatei (.txt) auswählen";
        QTest::newRow("BitBtnSTART") << "BitBtnSTART" << "Umwandlung starten..." << "Umwandlung in Zieldatei starten";
        QTest::newRow("EditKB") << "EditKB" << "0" << "";
        QTest::newRow("Label1") << "Label1" << "Umzuwandelnde Datei" << "";
        QTest::newRow("LabelQ") << "LabelQ" << "Quelle..." << "";
        QTest::newRow("Label2") << "Label2" << "Zieldatei" << "";
        QTest::newRow("LabelZIEL") << "LabelZIEL" << "Ziel..." << "";
        QTest::newRow("LabelKB") << "LabelKB" << "Dateigröße max.                  kB" << "";
    }

    void layout() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QWidget* widget = Get(name.toLatin1().constData());
        QVERIFY(form_->rect().contains(widget->geometry()));
        // Labels size themselves to their text.
        if (qobject_cast<QLabel*>(widget) != nullptr && name != "LabelKB") {
            QCOMPARE(widget->size(), widget->sizeHint());
        }
        for (const char* other : {"BitBtn2", "BitBtnHILF", "BitBtnQ", "BitBtnSTART", "EditKB", "ProgressBar1",
                                  "ShapeRES", "Label1", "LabelQ", "Label2", "LabelZIEL"}) {
            // The kB field stands in the blanks of its label by design.
            if (name == other || (name == "LabelKB" && QString(other) == "EditKB")) continue;
            QVERIFY2(!widget->geometry().intersects(Get(other)->geometry()), other);
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
            QVERIFY(!button->icon().pixmap(16, 16).isNull());
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(edit->text(), caption);
        }
        QCOMPARE(widget->toolTip(), hint);
        QCOMPARE(QFontInfo(widget->font()).pixelSize(), 13);
    }

    void window() {
        QCOMPARE(form_->size(), QSize(411, 253));
        QCOMPARE(form_->pos(), QPoint(0, 0));
        const Qt::WindowFlags flags = form_->windowFlags();
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(form_->minimumSize() != form_->maximumSize());  // sizable
        QVERIFY(!form_->windowIcon().pixmap(16, 16).isNull());
        QCOMPARE(Get<TOpenDialog>("OpenDialog1")->Title, QStringLiteral("Quelldatei auswählen"));
        // In Tahoma, or a face of its widths, the first caption ends before
        // the button beside it.
        QVERIFY(Get("Label1")->geometry().right() < Get("BitBtnQ")->x());
    }

    void initialState() {
        QVERIFY(!StartEnabled());
        QVERIFY(!DotShown());
        QCOMPARE(Dot(), kLime);
        QVERIFY(!Get("LabelKB")->isVisible());
        QVERIFY(!Get("EditKB")->isVisible());
        QVERIFY(!form_->IsDecodeChosen());
        QVERIFY(!form_->IsEncodeMode());
        auto* bar = Get<QProgressBar>("ProgressBar1");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
        // Outside encode mode the dialog completes a bare name with ".txt".
        QCOMPARE(Get<TOpenDialog>("OpenDialog1")->DefaultExt, QStringLiteral(".txt"));
    }

    void tabOrder() {
        QStringList order;
        QWidget* widget = Get("BitBtnSTART");
        while (order.size() < 5) {
            widget = widget->nextInFocusChain();
            if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
        }
        QCOMPARE(order, QStringList({"BitBtn2", "BitBtnHILF", "BitBtnQ", "EditKB", "BitBtnSTART"}));
        // The start button comes first but is disabled: focus starts on the next.
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCOMPARE(QApplication::focusWidget(), Get("BitBtn2"));
    }

    void captionFromVersion() {
        UnicodeString asked;
        versionReader_ = [&asked](const UnicodeString& fileName, UnicodeString& copyright) {
            asked = fileName;
            copyright = u"© 2026 Muster GmbH";
            return UnicodeString(u"2.1.0");
        };
        Build();
        QCOMPARE(form_->windowTitle(), QStringLiteral("Calverdon V2.1.0 © 2026 Muster GmbH"));
        // The executable's own name, without its folder.
        QCOMPARE(QString::fromStdU16String(asked), QStringLiteral("test_app_mainwindow"));
    }

    void captionWithoutVersionInformation() {
        // The real reader on this test program, which carries no version block.
        versionReader_ = nullptr;
        Build();
        QCOMPARE(form_->windowTitle(), QStringLiteral("Calverdon V--- "));
    }

    // The extension decides the direction: ".txt" in any case is hex-text.
    void extensionDecidesDirection_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("encodeMode");
        QTest::addColumn<QString>("target");  // relative to the folder; empty: refused
        QTest::addColumn<bool>("decode");
        QTest::newRow("lower .txt") << "abc.txt" << false << "abc.bin" << true;
        QTest::newRow("mixed .TxT") << "abc.TxT" << false << "abc.bin" << true;
        QTest::newRow(".txt.bak refused") << "abc.txt.bak" << false << "" << false;
        QTest::newRow("encode mode still decodes .txt") << "abc.txt" << true << "abc.bin" << true;
        QTest::newRow("encode .pdf") << "report.pdf" << true << "report.txt" << false;
        QTest::newRow("encode without extension") << "README" << true << "README.txt" << false;
        QTest::newRow("encode .txt.bak") << "abc.txt.bak" << true << "abc.txt.txt" << false;
        QTest::newRow("encode two dots") << "archiv.tar.gz" << true << "archiv.tar.txt" << false;
    }

    void extensionDecidesDirection() {
        QFETCH(QString, file);
        QFETCH(bool, encodeMode);
        QFETCH(QString, target);
        QFETCH(bool, decode);
        if (encodeMode) {
            Write("Codieren.ini", {});  // empty: only its presence counts
            Build();
        }
        QCOMPARE(form_->IsEncodeMode(), encodeMode);
        const QString source = Write("in/" + file, kAbcHexText);
        Choose(source);
        QCOMPARE(Text("LabelQ"), source);
        if (target.isEmpty()) {
            QCOMPARE(messages_->shown.size(), size_t(1));
            QCOMPARE(messages_->shown[0].caption, std::string("Andere Endungen als '.txt'"));
            QCOMPARE(messages_->shown[0].text, std::string("sind nicht zulässig."));
            QCOMPARE(messages_->shown[0].kind, MessageKind::Information);
            QCOMPARE(Text("LabelZIEL"), QStringLiteral("Ziel..."));
            QVERIFY(!StartEnabled());
            return;
        }
        QVERIFY(messages_->shown.empty());
        QCOMPARE(Text("LabelZIEL"), PathOf("in/" + target));
        QCOMPARE(form_->IsDecodeChosen(), decode);
        QVERIFY(StartEnabled());
        // The kilobyte field appears with the first choice to encode.
        QCOMPARE(Get("EditKB")->isVisible(), !decode);
        QCOMPARE(Get("LabelKB")->isVisible(), !decode);
    }

    // Whatever the face, the label's text stays 4 pixels clear of the
    // kilobyte field before it, and nothing of it lies under the field.
    void kilobyteLabelClearOfField() {
        Write("Codieren.ini", "");
        Build();
        Choose(Write("report.pdf", "%PDF"));
        auto* label = Get<QLabel>("LabelKB");
        QWidget* field = Get("EditKB");
        const QImage image = label->grab().toImage();
        const QRgb background = label->palette().color(label->backgroundRole()).rgb();
        for (int x = field->x() - 4 - label->x(); x <= field->geometry().right() - label->x(); ++x)
            for (int y = 0; y < image.height(); ++y)
                QVERIFY2(image.pixel(x, y) == background,
                         qPrintable(QStringLiteral("ink at x = %1").arg(label->x() + x)));
    }

    void encodeModeIsFixedAtCreation() {
        Write("Codieren.ini", "");
        QVERIFY(!form_->IsEncodeMode());  // created before the marker existed
        Build();
        QVERIFY(form_->IsEncodeMode());
        QCOMPARE(Get<TOpenDialog>("OpenDialog1")->DefaultExt, QString());
        QVERIFY(QFile::remove(PathOf("Codieren.ini")));
        Choose(Write("report.pdf", "%PDF"));
        QVERIFY(messages_->shown.empty());
        QCOMPARE(Text("LabelZIEL"), PathOf("report.txt"));
    }

    void choiceMovesWorkingDirectory() {
        const QString source = Write("tief/unten/abc.txt", kAbcHexText);
        Choose(source);
        QCOMPARE(QDir::currentPath(), QFileInfo(source).absolutePath());
    }

    void cancelChangesNothing() {
        Choose(Write("abc.txt", kAbcHexText));
        Start();
        const QString cwd = QDir::currentPath();
        messages_->shown.clear();
        Choose(QString());  // cancel
        QCOMPARE(Text("LabelQ"), PathOf("abc.txt"));
        QCOMPARE(Text("LabelZIEL"), PathOf("abc.bin"));
        QVERIFY(DotShown());
        QCOMPARE(Dot(), kLime);
        QVERIFY(!StartEnabled());
        QCOMPARE(QDir::currentPath(), cwd);
        QVERIFY(messages_->shown.empty());
    }

    // A refused extension, a failed header check and a vanished file all
    // forget the earlier choice, so that a start cannot run the earlier
    // direction with the earlier target.
    void failedChoiceForgetsEarlierChoice_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("caption");  // of the one message; empty: none
        QTest::newRow("refused extension") << "bild.png" << QByteArray("PNG") << "Andere Endungen als '.txt'";
        QTest::newRow("not hex-text") << "brief.txt" << QByteArray("Hallo\r\nWelt\r\n")
                                      << "Dies ist keine Kelvarin-Hex-Datei";
        QTest::newRow("vanished") << "weg.txt" << QByteArray() << "";
    }

    void failedChoiceForgetsEarlierChoice() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, caption);
        Choose(Write("abc.txt", kAbcHexText));
        QVERIFY(StartEnabled());
        QVERIFY(form_->IsDecodeChosen());

        const QString source = content.isEmpty() ? PathOf(file) : Write(file, content);
        Choose(source);
        QCOMPARE(Text("LabelQ"), source);  // shown before any test
        QCOMPARE(Text("LabelZIEL"), QStringLiteral("Ziel..."));
        QVERIFY(!form_->IsDecodeChosen());
        QVERIFY(!StartEnabled());
        if (caption.isEmpty()) {
            QVERIFY(messages_->shown.empty());
        } else {
            QCOMPARE(messages_->shown.size(), size_t(1));
            QCOMPARE(QString::fromStdString(messages_->shown[0].caption), caption);
        }
    }

    // Dot colour and sound per result; the target as the decoder leaves it.
    void conversionOutcome_data() {
        QTest::addColumn<QByteArray>("hexText");
        QTest::addColumn<QColor>("dot");
        QTest::addColumn<unsigned>("beep");
        QTest::addColumn<QString>("caption");  // of the one message; empty: none
        QTest::addColumn<QByteArray>("target");  // null: no target file
        QTest::addColumn<QString>("words");     // the dot's and the target label's
        QTest::newRow("1 succeeded") << kAbcHexText << kLime << MB_OK << "" << QByteArray("ABC") << "umgewandelt";
        // One checksum digit changed: a warning, result 0, the target is kept.
        QByteArray changed = kAbcHexText;
        changed.back() = '6';
        QTest::newRow("0 checksum mismatch") << changed << kYellow << MB_ICONERROR << "Prüfsummenfehler."
                                             << QByteArray("ABC")
                                             << "Prüfsumme stimmt nicht – Datei möglicherweise fehlerhaft";
        // A continuation to a missing part: an error with errno 2, result -1.
        QTest::newRow("-1 failed") << QByteArray("Kelvarin-Hex-Text 1.0\r\nabc.bin\r\n414243++fehlt_2.txt\r\n")
                                   << kRed << MB_OK << "Fehler 2" << QByteArray() << "nicht umgewandelt";
    }

    void conversionOutcome() {
        QFETCH(QByteArray, hexText);
        QFETCH(QColor, dot);
        QFETCH(unsigned, beep);
        QFETCH(QString, caption);
        QFETCH(QByteArray, target);
        QFETCH(QString, words);
        Choose(Write("abc.txt", hexText));
        QVERIFY(StartEnabled());
        Start();
        QCOMPARE(Dot(), dot);
        // The outcome in words, for those who cannot tell the colours.
        QCOMPARE(Get("ShapeRES")->toolTip(), words);
        QCOMPARE(Get("ShapeRES")->accessibleName(), words);
        QCOMPARE(Get("LabelZIEL")->toolTip(), words);
        QCOMPARE(Get("LabelZIEL")->accessibleName(), words);
        QVERIFY(DotShown());
        QCOMPARE(beeper_->beeps, std::vector<unsigned>{beep});
        QVERIFY(!StartEnabled());
        QCOMPARE(Get<QProgressBar>("ProgressBar1")->value(), 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        if (caption.isEmpty()) {
            QVERIFY(messages_->shown.empty());
        } else {
            QCOMPARE(messages_->shown.size(), size_t(1));
            QCOMPARE(QString::fromStdString(messages_->shown[0].caption), caption);
        }
        QCOMPARE(QFile::exists(PathOf("abc.bin")), !target.isNull());
        if (!target.isNull()) QCOMPARE(Read(PathOf("abc.bin")), target);

        // The next run needs a new choice, even of the same file; the dot
        // stays until that run starts.
        Choose(PathOf("abc.txt"));
        QVERIFY(StartEnabled());
        QVERIFY(DotShown());
    }

    // After a choice the target label tells what the chain holds, from the
    // parts in the folder. A chain of four parts, "abc.txt" to "abc_4.txt",
    // of which the rows leave some out (or put a part with a wrong number
    // in one's place); the texts follow from the files by hand.
    void chainSummaryInTargetToolTip_data() {
        QTest::addColumn<int>("parts");
        QTest::addColumn<QList<int>>("leftOut");
        QTest::addColumn<QString>("tip");
        QTest::newRow("single") << 1 << QList<int>{} << "Enthält: abc.bin\nTeile im Ordner: 1 von 1";
        QTest::newRow("whole") << 4 << QList<int>{} << "Enthält: abc.bin\nTeile im Ordner: 4 von 4";
        QTest::newRow("two in the middle") << 4 << QList<int>{2, 3}
                                           << "Enthält: abc.bin\nTeile im Ordner: 2 von 4\n"
                                              "Es fehlen: abc_2.txt und abc_3.txt";
        QTest::newRow("the last") << 4 << QList<int>{4}
                                  << "Enthält: abc.bin\nTeile im Ordner: 3, der letzte Teil fehlt\n"
                                     "Es fehlt: abc_4.txt";
        // A file under part 2's name whose first line says 7 is no part 2.
        QTest::newRow("wrong number") << 4 << QList<int>{-2}
                                      << "Enthält: abc.bin\nTeile im Ordner: 3 von 4\nEs fehlt: abc_2.txt";
        QTest::newRow("more than named") << 7 << QList<int>{2, 3, 4, 5, 6}
                                         << "Enthält: abc.bin\nTeile im Ordner: 2 von 7\n"
                                            "Es fehlen: abc_2.txt, abc_3.txt, abc_4.txt und 2 weitere";
    }

    void chainSummaryInTargetToolTip() {
        QFETCH(int, parts);
        QFETCH(QList<int>, leftOut);
        QFETCH(QString, tip);
        for (int number = 1; number <= parts; ++number) {
            if (leftOut.contains(number)) continue;
            const int carried = leftOut.contains(-number) ? 7 : number;
            const QByteArray first = number == 1 ? QByteArray("Kelvarin-Hex-Text 1.0\r\nabc.bin\r\n")
                                                 : QByteArray::number(carried) + " LfdNr\r\n";
            const QByteArray end = number == parts ? QByteArray("~~00001685")
                                                   : "++abc_" + QByteArray::number(number + 1) + ".txt\r\n";
            Write(number == 1 ? "abc.txt" : QStringLiteral("abc_%1.txt").arg(number), first + "41" + end);
        }
        Choose(PathOf("abc.txt"));
        QCOMPARE(Get("LabelZIEL")->toolTip(), tip);
        QCOMPARE(Get("LabelZIEL")->accessibleDescription(), tip);
    }

    // Started with arguments, the window chooses a single file as if
    // "auswählen" had, once it is shown; nothing starts by itself.
    void startedWithFileShowsItChosen_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("source");  // empty: nothing chosen
        QTest::addColumn<QString>("target");
        QTest::newRow("hex-text") << QStringList{"abc.txt"} << "abc.txt" << "abc.bin";
        QTest::newRow("--encode") << QStringList{"--encode", "report.pdf"} << "report.pdf" << "report.txt";
        // Opened as a file would be, a FIFO would hold the window forever.
        QTest::newRow("FIFO") << QStringList{"fifo"} << "" << "";
    }

    void startedWithFileShowsItChosen() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, source);
        QFETCH(QString, target);
        Write("abc.txt", kAbcHexText);
        Write("report.pdf", "%PDF");
        QCOMPARE(::mkfifo(qPrintable(PathOf("fifo")), 0600), 0);
        form_ = CreateMainWindow(ParseStartArguments(arguments),
                                 TForm1Seams{messages_.get(), beeper_.get(), versionReader_});
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCoreApplication::processEvents();
        QCOMPARE(Text("LabelQ"), source.isEmpty() ? QStringLiteral("Quelle...") : PathOf(source));
        QCOMPARE(Text("LabelZIEL"), target.isEmpty() ? QStringLiteral("Ziel...") : PathOf(target));
        QCOMPARE(StartEnabled(), !source.isEmpty());
        QVERIFY(messages_->shown.empty());
        QVERIFY(!DotShown());
        QVERIFY(!QFile::exists(PathOf("abc.bin")) && !QFile::exists(PathOf("report.txt")));
    }

    // Closing the window or Escape during a run asks once whether to stop;
    // "Ja" stops it, leaves the folder as it was and closes the window,
    // "Nein" lets it run to its end. Each progress step is made slow, so
    // that the run outlasts the interval at which events are let through.
    void stopDuringRun_data() {
        QTest::addColumn<bool>("encode");
        QTest::addColumn<bool>("escape");  // else the close button
        QTest::addColumn<bool>("stop");
        QTest::newRow("decode, closed, Ja") << false << false << true;
        QTest::newRow("decode, Escape, Nein") << false << true << false;
        QTest::newRow("encode, closed, Ja") << true << false << true;
    }

    void stopDuringRun() {
        QFETCH(bool, encode);
        QFETCH(bool, escape);
        QFETCH(bool, stop);
        const QByteArray data(64 * 1024, 'x');
        Write("gross.bin", data);
        if (encode) {
            Write("Codieren.ini", "");
            Build();
            Choose(PathOf("gross.bin"));
        } else {
            LineGenerator lines;
            RecordingMessages quiet;
            QCOMPARE(calverdon::BinToHex(PathOf("gross.bin").toStdString(), PathOf("gross.txt").toStdString(), "0",
                                         {quiet}, lines),
                     ConversionResult::Succeeded);
            Write("gross.bin", "alt");
            Choose(PathOf("gross.txt"));
            messages_->answers.push_back(kAnswerYes);  // replace "alt"
        }
        messages_->answers.push_back(stop ? kAnswerYes : kAnswerNo);
        const QStringList before = QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        int steps = 0;
        connect(Get<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0) return;
            if (steps++ == 0) {
                if (escape) {
                    QCoreApplication::postEvent(form_.get(),
                                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                } else {
                    QWidget* close = Get("BitBtn2");
                    const QPointF centre = QRectF(close->rect()).center();
                    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                        QCoreApplication::postEvent(close, new QMouseEvent(type, centre, close->mapToGlobal(centre),
                                                                           Qt::LeftButton, held, Qt::NoModifier));
                    }
                }
            }
            QThread::msleep(3);
        });
        Start();
        const calverdon::gui::test::ShownMessage& question = messages_->shown.back();
        QCOMPARE(question.caption, std::string("ACHTUNG"));
        QCOMPARE(question.text, std::string("Die Umwandlung läuft noch.\nSoll sie abgebrochen und das Fenster "
                                            "geschlossen werden?"));
        QCOMPARE(question.kind, MessageKind::YesNoWarning);
        QCOMPARE(messages_->shown.size(), size_t(encode ? 1 : 2));
        QCOMPARE(form_->isVisible(), !stop);
        if (stop) {
            QVERIFY(steps < 100);
            QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
            if (!encode) QCOMPARE(Read(PathOf("gross.bin")), QByteArray("alt"));
            QVERIFY(beeper_->beeps.empty());
        } else {
            QCOMPARE(Dot(), kLime);
            QCOMPARE(Read(PathOf("gross.bin")), data);
        }
    }

    // Ctrl+O opens the choice of a source, the help key the help.
    void keyboardShortcuts() {
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        const QString source = Write("abc.txt", kAbcHexText);
        Get<TOpenDialog>("OpenDialog1")->SetChooser([source](const TOpenDialog&) { return source; });
        QTest::keyClick(form_.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(Text("LabelQ"), source);
        bool helpShown = false;
        QTimer::singleShot(0, this, [&] {
            auto* help = qobject_cast<TFormINFO*>(QApplication::activeModalWidget());
            helpShown = help != nullptr;
            if (help != nullptr) help->accept();
        });
        QTest::keyClick(form_.get(), Qt::Key_F1);
        QVERIFY(helpShown);
    }

    void declinedOverwriteIsRedWithPlainBeep() {
        Write("abc.bin", "alt");
        Choose(Write("abc.txt", kAbcHexText));
        messages_->answers.push_back(kAnswerNo);
        Qt::CursorShape cursor = Qt::ArrowCursor;
        messages_->whileShown = [&cursor] {
            if (const QCursor* shown = QApplication::overrideCursor()) cursor = shown->shape();
        };
        Start();
        QCOMPARE(messages_->shown.size(), size_t(1));
        QCOMPARE(messages_->shown[0].caption, std::string("ACHTUNG"));
        QCOMPARE(messages_->shown[0].kind, MessageKind::YesNoWarning);
        // The hourglass stands while the engine asks.
        QCOMPARE(cursor, Qt::WaitCursor);
        QCOMPARE(Dot(), kRed);
        QCOMPARE(beeper_->beeps, std::vector<unsigned>{MB_OK});
        QCOMPARE(Read(PathOf("abc.bin")), QByteArray("alt"));
    }

    void progressShownAndReset() {
        std::vector<int> values;
        connect(Get<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this,
                [&values](int value) { values.push_back(value); });
        Choose(Write("abc.txt", kAbcHexText));
        Start();
        // Data size 16, consumed 2, 4 and 6 after the three bytes.
        QCOMPARE(values, (std::vector<int>{12, 25, 37, 0}));
    }

    void chainProgressRunsOnceOverTheChain() {
        const QString examples = qEnvironmentVariable("CALVERDON_EXAMPLES");
        for (const QString name : {"wetterbericht.txt", "wetterbericht_2.txt"})
            QVERIFY(QFile::copy(examples + "/" + name, PathOf(name)));
        std::vector<int> values;
        connect(Get<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this,
                [&values](int value) { values.push_back(value); });
        Choose(PathOf("wetterbericht.txt"));
        Start();
        QCOMPARE(Dot(), kLime);
        QCOMPARE(Read(PathOf("wetterbericht.csv")), Read(examples + "/original/wetterbericht.csv"));
        // The parts' sizes are added up at the start, so the bar rises
        // through both parts without filling after the first; the lines that
        // carry no data keep it a little short of full. Then it goes back to 0.
        QVERIFY(values.size() >= 3);
        QVERIFY(std::is_sorted(values.begin(), values.end() - 1));
        QVERIFY(values[values.size() - 2] >= 90);
        QVERIFY(values[values.size() - 2] < 100);
        QCOMPARE(values.back(), 0);
    }

    // A long conversion (each progress step made slow here) lets paint
    // requests through, and a click that arrives meanwhile takes effect only
    // once the conversion is over. The paint request is for another window:
    // the bar's own repaints paint along what waits in the main window.
    void paintedDuringWorkAndClicksWait() {
        Write("Codieren.ini", "");
        Build();
        Choose(Write("gross.bin", QByteArray(64 * 1024, 'x')));
        std::vector<size_t> beepsAtChoice;
        Get<TOpenDialog>("OpenDialog1")->SetChooser([&](const TOpenDialog&) {
            beepsAtChoice.push_back(beeper_->beeps.size());
            return QString();
        });
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        PaintCounter counter;
        other.installEventFilter(&counter);
        QWidget* open = Get("BitBtnQ");
        int steps = 0;
        int paintsDuringWork = 0;
        connect(Get<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0) return;  // the reset after the run
            if (steps++ == 0) {
                other.update();
                // A click on "auswählen" as the window system delivers it.
                const QPointF centre = QRectF(open->rect()).center();
                for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                    QCoreApplication::postEvent(open, new QMouseEvent(type, centre, open->mapToGlobal(centre),
                                                                      Qt::LeftButton, held, Qt::NoModifier));
                }
            }
            paintsDuringWork = counter.paints;
            QThread::msleep(3);
        });
        Start();
        // At 3 ms a step the run outlasts the interval between two passes
        // of the event loop's events many times over.
        QVERIFY(steps * 3 >= 5 * ProgressBarReceiver::kEventIntervalMs);
        QVERIFY(paintsDuringWork > 0);
        QVERIFY(beepsAtChoice.empty());
        QCoreApplication::processEvents();
        // One choice, after the outcome's sound.
        QCOMPARE(beepsAtChoice, std::vector<size_t>{1});
        QCOMPARE(Dot(), kLime);
    }

    void encodeAndDecodeBack() {
        Write("Codieren.ini", "");
        Build();
        const QByteArray original("%PDF-1.4\n\x00\x01\xff", 12);
        Choose(Write("report.pdf", original));
        QCOMPARE(Text("LabelZIEL"), PathOf("report.txt"));
        Start();
        QCOMPARE(Dot(), kLime);
        QCOMPARE(beeper_->beeps, std::vector<unsigned>{MB_OK});
        QVERIFY(Read(PathOf("report.txt")).startsWith("Kelvarin-Hex-Text 1.0\r\nreport.pdf\r\n"));

        QVERIFY(QFile::rename(PathOf("report.pdf"), PathOf("report.orig")));
        Choose(PathOf("report.txt"));
        QCOMPARE(Text("LabelZIEL"), PathOf("report.pdf"));
        QVERIFY(form_->IsDecodeChosen());
        QVERIFY(Get("EditKB")->isVisible());  // stays once shown
        Start();
        QCOMPARE(Dot(), kLime);
        QCOMPARE(Read(PathOf("report.pdf")), original);
    }

    void encodeSplitsByKilobyteField() {
        Write("Codieren.ini", "");
        Build();
        QByteArray original;
        for (int i = 0; i < 2048; ++i) original.append(char(i % 256));
        Choose(Write("x.bin", original));
        Get<QLineEdit>("EditKB")->setText("1");
        Start();
        QCOMPARE(Dot(), kLime);
        // 2048 bytes are 4096 digits plus a line end per 46 to 74 digits,
        // 4206 to 4274 counted characters; a part closes after 1026 of
        // them, so whatever the line lengths there are five parts.
        QVERIFY(QFile::exists(PathOf("x_5.txt")));
        QVERIFY(!QFile::exists(PathOf("x_6.txt")));

        QVERIFY(QFile::remove(PathOf("x.bin")));
        Choose(PathOf("x.txt"));
        Start();
        QCOMPARE(Dot(), kLime);
        QCOMPARE(Read(PathOf("x.bin")), original);
    }

    void longPathWidensButNeverNarrows() {
        const QString folder = QString(90, 'a') + "/" + QString(90, 'b');
        const QString source = Write(folder + "/abc.txt", kAbcHexText);
        Choose(source);
        const QFontMetrics metrics(form_->font());
        const int needed = std::max(metrics.horizontalAdvance(source),
                                    metrics.horizontalAdvance(PathOf(folder + "/abc.bin"))) + 15;
        QVERIFY(needed > 411);
        QCOMPARE(form_->width(), needed);
        QVERIFY(Get("LabelQ")->geometry().right() < form_->width());
        QVERIFY(Get("LabelZIEL")->geometry().right() < form_->width());

        Choose(Write("abc.txt", kAbcHexText));
        QCOMPARE(form_->width(), needed);
    }

    void dropChoosesFile() {
        const QString source = Write("post/abc.txt", kAbcHexText);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(source)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
        QCOMPARE(Text("LabelQ"), source);
        QCOMPARE(Text("LabelZIEL"), PathOf("post/abc.bin"));
        QCOMPARE(QDir::currentPath(), QFileInfo(source).absolutePath());
        QVERIFY(StartEnabled());
    }

    // Mails dropped on the window: the chain in their attachments is found
    // and decoded into the folder of the first mail, the report is shown
    // and the dot tells the outcome.
    void droppedMailsAreExtracted() {
        QByteArray data;
        for (int i = 0; i < 3000; ++i) data += static_cast<char>(i * 13 % 256);
        Write("quelle/bericht.bin", data);
        LineGenerator lines;
        RecordingMessages quiet;
        QCOMPARE(calverdon::BinToHex(PathOf("quelle/bericht.bin").toStdString(), PathOf("quelle/bericht.txt").toStdString(), "4",
                                     {quiet}, lines),
                 ConversionResult::Succeeded);
        QList<QUrl> mails;
        for (const QString part : {"bericht_2.txt", "bericht.txt"}) {
            const QByteArray attachment = Read(PathOf("quelle/" + part)).toBase64();
            const QByteArray mail = "From: a@example.org\r\nSubject: Teil\r\nMIME-Version: 1.0\r\n"
                                    "Content-Type: multipart/mixed; boundary=\"xx\"\r\n\r\n--xx\r\n"
                                    "Content-Type: text/plain\r\n\r\nAnbei.\r\n--xx\r\n"
                                    "Content-Type: text/plain; name=\"" + part.toLatin1() + "\"\r\n"
                                    "Content-Transfer-Encoding: base64\r\n\r\n" + attachment + "\r\n--xx--\r\n";
            mails.append(QUrl::fromLocalFile(Write("post/" + part + ".eml", mail)));
        }
        QVERIFY(QFile::exists(PathOf("quelle/bericht_2.txt")));
        QVERIFY(!QFile::exists(PathOf("quelle/bericht_3.txt")));
        QMimeData mime;
        mime.setUrls(mails);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
        QCOMPARE(Read(PathOf("post/bericht.bin")), data);
        QVERIFY(DotShown());
        QCOMPARE(Dot(), kLime);
        QVERIFY(!messages_->shown.empty());
        QCOMPARE(QString::fromStdString(messages_->shown.back().text),
                 "bericht.bin: 2 von 2 Teilen, umgewandelt in " + PathOf("post/bericht.bin"));
    }

    // A dropped Maildir's chains go into the download folder, never into
    // the mail store; a chain named like a hidden file gets a visible name.
    void droppedMaildirGoesToTheDownloadFolder() {
        const QString downloads = PathOf("Herunterladen");
        Write("config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + downloads.toUtf8() + "\"\n");
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", PathOf("config").toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", previous); });
        for (const char* sub : {"Maildir/cur", "Maildir/tmp"}) QDir().mkpath(PathOf(sub));
        Write("Maildir/new/1", "From: a@example.org\r\nSubject: Bericht\r\n\r\n" +
                                   QByteArray(kAbcHexText).replace("abc.bin", ".profile"));
        form_->OpenPaths({PathOf("Maildir")});
        QCOMPARE(Read(downloads + "/_profile"), QByteArray("ABC"));
        QCOMPARE(QDir(PathOf("Maildir")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(Dot(), kLime);
    }

    // Outside encode mode a mail chosen with "auswählen" is searched for
    // chains as if dropped, not refused for its extension.
    void chosenMailIsExtracted() {
        Choose(Write("post/nachricht.eml", "From: a@example.org\r\nSubject: Bericht\r\n\r\n" + kAbcHexText));
        QCOMPARE(Read(PathOf("post/abc.bin")), QByteArray("ABC"));
        QVERIFY(!messages_->shown.empty());
        QCOMPARE(messages_->shown.back().caption, std::string("Hex-Text-Ketten aus E-Mails"));
        QCOMPARE(Dot(), kLime);
        QVERIFY(!StartEnabled());
    }

    // Help opens a fresh window each time, which reads Calverdon.rtf from
    // the working directory, the folder of the last choice.
    void helpLoadsFromChosenFolderEachTime() {
        Write("Calverdon.rtf", "{\\rtf1\\ansi Falsche Mappe}");
        Write("mappe/Calverdon.rtf", "{\\rtf1\\ansi Erste Fassung}");
        Choose(Write("mappe/abc.txt", kAbcHexText));

        QStringList seen;
        auto openHelp = [&] {
            QTimer::singleShot(0, this, [&] {
                auto* help = qobject_cast<TFormINFO*>(QApplication::activeModalWidget());
                QVERIFY(help != nullptr);
                seen << help->RichEdit1->toPlainText().trimmed();
                QTest::mouseClick(help->BitBtn1, Qt::LeftButton);
            });
            QTest::mouseClick(Get("BitBtnHILF"), Qt::LeftButton);
        };
        openHelp();
        Write("mappe/Calverdon.rtf", "{\\rtf1\\ansi Zweite Fassung}");
        openHelp();
        QCOMPARE(seen, QStringList({"Erste Fassung", "Zweite Fassung"}));
        // Nothing of the help windows outlives their closing.
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(qobject_cast<TFormINFO*>(widget) == nullptr);
    }

    void closeButtonClosesWindow() {
        QVERIFY(form_->isVisible());
        QTest::mouseClick(Get("BitBtn2"), Qt::LeftButton);
        QVERIFY(!form_->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
