// The engine's services as the desktop program supplies them: message
// boxes for the four kinds, the progress bar, and the sounds.

#include <QAbstractButton>
#include <QFontDatabase>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

#include "Components.h"
#include "QtServices.h"

using namespace calverdon;
using namespace calverdon::gui;

namespace {

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

class TestServices : public QObject {
    Q_OBJECT

private slots:
    // Kinds and their boxes, as the message kinds are defined: 16 stop,
    // 48 and 52 exclamation, 64 information; only 52 asks yes or no.
    void messageBoxPerKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("16 error") << 16 << int(QMessageBox::Critical) << QStringList{"OK"};
        QTest::newRow("48 warning") << 48 << int(QMessageBox::Warning) << QStringList{"OK"};
        QTest::newRow("64 information") << 64 << int(QMessageBox::Information) << QStringList{"OK"};
        QTest::newRow("52 question") << 52 << int(QMessageBox::Warning) << QStringList{"Ja", "Nein"};
    }

    void messageBoxPerKind() {
        QFETCH(int, kind);
        QFETCH(int, icon);
        QFETCH(QStringList, buttons);
        auto box = BuildMessageBox("ist leer", "Die Quelldatei", static_cast<MessageKind>(kind), nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("Die Quelldatei"));
        QCOMPARE(box->text(), QStringLiteral("ist leer"));
        QCOMPARE(int(box->icon()), icon);
        // Accelerator marks aside: Qt's own "OK" carries none or one by style.
        QStringList texts;
        for (QAbstractButton* button : box->buttons()) texts << button->text().remove(QLatin1Char('&'));
        texts.sort();
        QCOMPARE(texts, buttons);
    }

    // A window manager cuts a caption that is wider than the title bar. The
    // longest captions: the engine's two longest, the window's refusal of
    // an extension, and the overwrite question; each must fit bold in the
    // program's font beside the title bar's icon and buttons.
    void boxWideEnoughForCaption_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::newRow("write error") << "Fehler beim Schreiben der Zieldatei" << "Windows-Fehlernr. 28" << 16;
        QTest::newRow("not hex-text") << "Dies ist keine Kelvarin-Hex-Datei" << "oder eine veraltete Version" << 16;
        QTest::newRow("refused extension") << "Andere Endungen als '.txt'" << "sind nicht zulässig." << 64;
        QTest::newRow("overwrite question")
            << "ACHTUNG" << "Die Zieldatei\n/x\nbesteht bereits.\nSoll sie überschrieben werden?"
            << 52;
    }

    void boxWideEnoughForCaption() {
        QFETCH(QString, caption);
        QFETCH(QString, text);
        QFETCH(int, kind);
        auto box = BuildMessageBox(text, caption, static_cast<MessageKind>(kind), nullptr);
        box->show();  // a box takes its size as it shows
        QFont font = FormFont();
        font.setBold(true);
        const int needed = QFontMetrics(font).horizontalAdvance(caption) + kTitleBarRoom;
        QVERIFY2(box->width() >= needed, qPrintable(QStringLiteral("%1 < %2").arg(box->width()).arg(needed)));
    }

    void questionAnswers_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("Ja") << int(QMessageBox::Yes) << kAnswerYes;
        QTest::newRow("Nein") << int(QMessageBox::No) << kAnswerNo;
    }

    void questionAnswers() {
        QFETCH(int, button);
        QFETCH(int, answer);
        MessageBoxMessages messages(nullptr);
        QTimer::singleShot(0, this, [button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QTest::mouseClick(box->button(static_cast<QMessageBox::StandardButton>(button)), Qt::LeftButton);
        });
        QCOMPARE(messages.Show("Die Zieldatei\n/x\nbesteht bereits.\nSoll sie überschrieben werden?", "ACHTUNG",
                               MessageKind::YesNoWarning),
                 answer);
    }

    void okAnswersOk() {
        MessageBoxMessages messages(nullptr);
        QTimer::singleShot(0, this, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        QCOMPARE(messages.Show("beim Öffnen der Quelldatei.", "Fehler 2", MessageKind::Error), kAnswerOk);
    }

    // Caption widths at 13 px, measured once with a separate program:
    // DejaVu Sans 147/54/57/36/199, DejaVu Sans Condensed 132/49/51/33/179,
    // against Tahoma's 127/48/48/32/179 from the layout table.
    void closestFaceToTahoma_data() {
        QTest::addColumn<QStringList>("families");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("condensed is closer") << QStringList{"DejaVu Sans", "DejaVu Sans Condensed", "DejaVu Sans Mono"}
                                             << "DejaVu Sans Condensed";
        QTest::newRow("only sans") << QStringList{"DejaVu Sans"} << "DejaVu Sans";
        // A serif or fixed-pitch face is no stand-in, however close.
        QTest::newRow("serif and mono refused") << QStringList{"DejaVu Serif Condensed", "DejaVu Sans Mono"} << "";
    }

    void closestFaceToTahoma() {
        QFETCH(QStringList, families);
        QFETCH(QString, chosen);
        for (const QString& family : families)
            if (!QFontDatabase::families().contains(family)) QSKIP("the DejaVu fonts are not installed");
        QCOMPARE(ClosestToTahoma(families), chosen);
    }

    // Values above 100 show as a full bar, below 0 as empty; the bar is
    // repainted at once, and only when its value changes.
    void progressClampsAndRepaintsOnChange() {
        QProgressBar bar;
        bar.setRange(0, 100);
        bar.setValue(0);
        bar.resize(395, 13);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QCoreApplication::processEvents();
        PaintCounter counter;
        bar.installEventFilter(&counter);
        ProgressBarReceiver receiver(bar, {});

        const struct {
            int reported;
            int shown;
            int paints;  // total so far
        } steps[] = {
            {12, 12, 1}, {12, 12, 1}, {25, 25, 2}, {100, 100, 3}, {137, 100, 3}, {250, 100, 3}, {-5, 0, 4},
        };
        for (const auto& step : steps) {
            receiver.SetProgress(step.reported);
            QCOMPARE(bar.value(), step.shown);
            QCOMPARE(counter.paints, step.paints);
        }
    }

    // Beeping prints nothing, also where there is no sound card (as on the
    // test machines), about which the ALSA library would complain on
    // stderr at every beep.
    void beepsKeepStderrQuiet() {
        QTemporaryFile captured;
        QVERIFY(captured.open());
        const int saved = ::dup(2);
        QVERIFY(saved >= 0);
        ::dup2(captured.handle(), 2);
        {
            SystemBeeper beeper;
            beeper.MessageBeep(MB_OK);
            beeper.MessageBeep(MB_ICONERROR);
        }
        ::dup2(saved, 2);
        ::close(saved);
        QFile written(captured.fileName());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray());
    }
};

QTEST_MAIN(TestServices)
#include "TestServices.moc"
