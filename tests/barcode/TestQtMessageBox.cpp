// The library's messages as real Qt message boxes while a QApplication
// runs: the barcode constructor's box for a missing canvas must show the
// caption, text and stop icon, be modal without an owner, and return once
// the user presses OK.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <calverdon/Codecommon.h>
#include "MessageBox.h"
#include "QtMessageBox.h"

class TestQtMessageBox : public QObject {
    Q_OBJECT

private slots:
    void constructorErrorIsAModalStopBox() {
        // The Qt handler goes over the default; both leave with `restore`.
        const calverdon::ScopedMessageBoxHandler restore(calverdon::WriteMessageToStderr);
        calverdon::InstallQtMessageBoxHandler();

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool hadParent = true;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            hadParent = box->parentWidget() != nullptr;
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        const KcBarcode bc(nullptr, bcCode128, u"", 0, false);

        QVERIFY(!bc.Valid);
        QCOMPARE(title, QStringLiteral("Barcode"));
        QCOMPARE(text, QStringLiteral("Kein Canvas definiert."));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(!hadParent);
    }
};

QTEST_MAIN(TestQtMessageBox)
#include "TestQtMessageBox.moc"
