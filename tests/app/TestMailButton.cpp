// "Per E-Mail senden..." in encode mode: shown after a green encode, one
// composer call per part, and .eml files beside the parts when no composer
// opens. The composer is a stand-in script that keeps its arguments.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "Components.h"
#include "Fakes.h"
#include "HexBin1.h"

using namespace calverdon;
using namespace calverdon::gui;
using namespace calverdon::gui::test;

class TestMailButton : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString previousDir_;
    std::unique_ptr<RecordingMessages> messages_;
    std::unique_ptr<RecordingBeeper> beeper_;
    std::unique_ptr<TForm1> form_;

    template <typename T = QWidget>
    T* Get(const char* name) const {
        T* child = form_->findChild<T*>(QLatin1String(name));
        if (child == nullptr) qFatal("no component %s", name);
        return child;
    }

    QString PathOf(const QString& name) const { return dir_->filePath(name); }

    // A composer that keeps the arguments of each call in calls/N, split
    // by NUL bytes, and ends with `status`.
    void Build(int status) {
        QDir(dir_->path()).mkdir(QStringLiteral("calls"));
        QFile script(PathOf(QStringLiteral("composer")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("n=$(ls '%1' | wc -l)\nprintf '%s\\0' \"$@\" > '%1'/$n\nexit %2\n")
                         .arg(PathOf(QStringLiteral("calls")))
                         .arg(status)
                         .toUtf8());
        script.close();
        TForm1Seams seams{messages_.get(), beeper_.get(), [](const UnicodeString&, UnicodeString&) {
                              return UnicodeString(u"1.0");
                          }};
        seams.encodeMode = true;
        seams.composer = {QStringLiteral("sh"), PathOf(QStringLiteral("composer"))};
        form_ = std::make_unique<TForm1>(nullptr, seams);
        form_->show();
    }

    // Encodes daten.bin (1200 bytes) into three parts of 1 kB.
    void Encode() {
        QFile source(PathOf(QStringLiteral("daten.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (int i = 0; i < 1200; ++i) bytes.append(static_cast<char>(i * 7));
        source.write(bytes);
        source.close();
        const QString path = source.fileName();
        Get<TOpenDialog>("OpenDialog1")->SetChooser([path](const TOpenDialog&) { return path; });
        QTest::mouseClick(Get("BitBtnQ"), Qt::LeftButton);
        Get<QLineEdit>("EditKB")->setText(QStringLiteral("1"));
        QTest::mouseClick(Get("BitBtnSTART"), Qt::LeftButton);
        QVERIFY(QFile::exists(PathOf(QStringLiteral("daten_3.txt"))));
    }

    QList<QByteArray> Call(int number) const {
        QFile call(PathOf(QStringLiteral("calls/%1").arg(number)));
        if (!call.open(QIODevice::ReadOnly)) return {};
        QList<QByteArray> arguments = call.readAll().split('\0');
        arguments.removeLast();  // after the last NUL
        return arguments;
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        previousDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
        messages_ = std::make_unique<RecordingMessages>();
        beeper_ = std::make_unique<RecordingBeeper>();
    }

    void cleanup() {
        form_.reset();
        QDir::setCurrent(previousDir_);
        dir_.reset();
    }

    void shownAfterAGreenEncodeOnly() {
        Build(0);
        QWidget* button = Get("BitBtnMAIL");
        QVERIFY(!button->isVisible());
        Encode();
        QVERIFY(button->isVisible());
        QVERIFY(button->focusPolicy() & Qt::TabFocus);
        QCOMPARE(qobject_cast<QAbstractButton*>(button)->text(), QStringLiteral("Per E-Mail senden..."));
        QVERIFY(form_->rect().contains(button->geometry()));
        for (const char* other : {"BitBtn2", "BitBtnHILF", "BitBtnQ", "BitBtnSTART", "EditKB", "LabelKB",
                                  "ProgressBar1", "ShapeRES", "Label1", "LabelQ", "Label2", "LabelZIEL"}) {
            QVERIFY2(!button->geometry().intersects(Get(other)->geometry()), other);
        }
        // A new choice of source forgets the encoded chain.
        const QString other = PathOf(QStringLiteral("daten.bin"));
        Get<TOpenDialog>("OpenDialog1")->SetChooser([other](const TOpenDialog&) { return other; });
        QTest::mouseClick(Get("BitBtnQ"), Qt::LeftButton);
        QVERIFY(!button->isVisible());
    }

    void oneComposerWindowPerPart() {
        Build(0);
        Encode();
        QTest::mouseClick(Get("BitBtnMAIL"), Qt::LeftButton);
        for (int part = 1; part <= 3; ++part) {
            const QList<QByteArray> arguments = Call(part - 1);
            QCOMPARE(arguments.size(), 7);
            QCOMPARE(arguments[0], QByteArray("--utf8"));
            QCOMPARE(arguments[1], QByteArray("--subject"));
            QCOMPARE(QString::fromUtf8(arguments[2]), QStringLiteral("daten.bin – Teil %1 von 3").arg(part));
            QCOMPARE(arguments[3], QByteArray("--body"));
            QVERIFY(arguments[4].contains("Teil " + QByteArray::number(part) + " von 3 der Datei"));
            QCOMPARE(arguments[5], QByteArray("--attach"));
            const QString name = part == 1 ? QStringLiteral("daten.txt") : QStringLiteral("daten_%1.txt").arg(part);
            QCOMPARE(QString::fromUtf8(arguments[6]), PathOf(name));
        }
        QVERIFY(Call(3).isEmpty());
        QVERIFY(messages_->shown.empty());
    }

    void withoutAComposerTheMailsLieBesideTheParts() {
        Build(3);  // xdg-email's status when it finds no mail program
        Encode();
        QTest::mouseClick(Get("BitBtnMAIL"), Qt::LeftButton);
        for (const char* name : {"daten.eml", "daten_2.eml", "daten_3.eml"}) {
            QVERIFY2(QFile::exists(PathOf(QLatin1String(name))), name);
        }
        QFile third(PathOf(QStringLiteral("daten_3.eml")));
        QVERIFY(third.open(QIODevice::ReadOnly));
        QVERIFY(third.readAll().contains("X-Calverdon-Teil: 3/3"));
        QCOMPARE(messages_->shown.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(messages_->shown[0].text),
                 QStringLiteral("Es ließ sich kein E-Mail-Programm öffnen. Die E-Mails stehen als .eml-Dateien "
                                "neben den Teilen in %1:\ndaten.eml\ndaten_2.eml\ndaten_3.eml\nSie lassen sich "
                                "mit einem E-Mail-Programm öffnen und versenden.")
                     .arg(dir_->path()));
        QCOMPARE(messages_->shown[0].caption, std::string("Per E-Mail senden"));
        QCOMPARE(messages_->shown[0].kind, MessageKind::Information);
    }
};

QTEST_MAIN(TestMailButton)
#include "TestMailButton.moc"
