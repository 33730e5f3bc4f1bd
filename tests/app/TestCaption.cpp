// The main window's caption from this program's own version block
// (product version 2.1.0.0, see CMakeLists.txt): the build number 0 is
// left out, and the copyright follows after one blank.

#include <QtTest>

#include "Fakes.h"
#include "HexBin1.h"

class TestCaption : public QObject {
    Q_OBJECT

private slots:
    void captionFromOwnVersionBlock() {
        calverdon::gui::test::RecordingMessages messages;
        calverdon::gui::test::RecordingBeeper beeper;
        calverdon::gui::TForm1 form(nullptr, {&messages, &beeper, {}});
        QCOMPARE(form.windowTitle(), QStringLiteral("Calverdon V2.1.0 © 2026 Prüfstand"));
    }
};

QTEST_MAIN(TestCaption)
#include "TestCaption.moc"
