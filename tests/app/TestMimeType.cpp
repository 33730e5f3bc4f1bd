// The MIME type of hex-text files as Qt, and so KDE's file managers, sees
// it, from the database that `cmake --install` into ~/.local makes: a
// folder of its own beside the system's. A hex-text file is told by its
// first line whatever its name; any other .txt file stays plain text.

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestMimeType : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = home_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
        file.write(bytes);
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        QVERIFY(QDir(home_.path()).mkpath("mime/packages"));
        QVERIFY(QFile::copy(QStringLiteral(CALVERDON_MIME_XML), home_.filePath("mime/packages/de.calverdon.Calverdon.xml")));
        QCOMPARE(QProcess::execute("update-mime-database", {home_.filePath("mime")}), 0);
        // Read when the database is first used, which is after this.
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path()));
    }

    void typeByContent_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("type");
        const QByteArray hexText = "Kelvarin-Hex-Text 1.0\r\nabc.bin\r\n414243~~00001685";
        QTest::newRow("hex-text") << "bericht.txt" << hexText << "application/x-kelvarin-hex-text";
        QTest::newRow("renamed by mail") << "ATT00012.TXT" << hexText << "application/x-kelvarin-hex-text";
        QTest::newRow("letter") << "brief.txt" << QByteArray("Hallo,\r\nanbei der Bericht.\r\n") << "text/plain";
    }

    void typeByContent() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, type);
        const QMimeType found = QMimeDatabase().mimeTypeForFile(Write(name, content));
        QCOMPARE(found.name(), type);
        QVERIFY(found.inherits("text/plain"));
    }
};

QTEST_GUILESS_MAIN(TestMimeType)
#include "TestMimeType.moc"
