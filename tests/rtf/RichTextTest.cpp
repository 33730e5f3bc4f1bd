// The model of the RTF reader as a QTextDocument, and the loading of a help
// file into a read-only text view.
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include "RichText.h"
#include "Rtf.h"

namespace {

QTextCharFormat FormatAt(const QTextBlock& block, int position) {
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + position + 1);  // the format left of the cursor
    return cursor.charFormat();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class RichTextTest : public QObject {
    Q_OBJECT

private slots:
    void blocks_data();
    void blocks();
    void listTextAndIndents();
    void loadReplacesContents();
    void loadKeepsContentsWhenFileMissing();
    void loadPlainTextInViewFont();
};

void RichTextTest::blocks_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("position");  // of the character whose format is checked
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<double>("points");

    QTest::newRow("bold centred") << QByteArray(R"({\rtf1\qc\fs32 a{\b b}c\par})") << "abc"
                                  << int(Qt::AlignHCenter) << 1 << true << false << false << 16.0;
    QTest::newRow("italic right") << QByteArray(R"({\rtf1\qr x{\i\fs18 y}\par})") << "xy" << int(Qt::AlignRight)
                                  << 1 << false << true << false << 9.0;
    QTest::newRow("underline justified") << QByteArray(R"({\rtf1\qj {\ul u}v\par})") << "uv"
                                         << int(Qt::AlignJustify) << 0 << false << false << true << 12.0;
    QTest::newRow("umlaut after format ends") << QByteArray(R"({\rtf1 {\b\i\ul x}\u252?\par})") << "xü"
                                              << int(Qt::AlignLeft) << 1 << false << false << false << 12.0;
}

void RichTextTest::blocks() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(int, alignment);
    QFETCH(int, position);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    QFETCH(double, points);

    QTextDocument doc;
    doc.setPlainText("alter Inhalt\nzweite Zeile");
    calverdon::FillTextDocument(doc, calverdon::rtf::Parse(rtf.toStdString()));
    QCOMPARE(doc.blockCount(), 1);
    const QTextBlock block = doc.firstBlock();
    QCOMPARE(block.text(), text);
    QCOMPARE(int(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask), alignment);
    const QTextCharFormat format = FormatAt(block, position);
    QCOMPARE(format.fontWeight() >= QFont::Bold, bold);
    QCOMPARE(format.fontItalic(), italic);
    QCOMPARE(format.fontUnderline(), underline);
    QCOMPARE(format.fontPointSize(), points);
}

void RichTextTest::listTextAndIndents() {
    // 720 twips = half an inch = 48 pixels at 96 dpi; -360 twips = -24.
    const QByteArray rtf = R"({\rtf1{\colortbl;\red192\green0\blue0;}{\listtext \u8226?\tab}\li720\fi-360\sb150 {\cf1 rot}\par})";
    QTextDocument doc;
    calverdon::FillTextDocument(doc, calverdon::rtf::Parse(rtf.toStdString()));
    const QTextBlock block = doc.firstBlock();
    QCOMPARE(block.text(), QString::fromUtf8("\u2022\trot"));
    QCOMPARE(block.blockFormat().leftMargin(), 48.0);
    QCOMPARE(block.blockFormat().textIndent(), -24.0);
    QCOMPARE(block.blockFormat().topMargin(), 10.0);
    const auto tabs = block.blockFormat().tabPositions();
    QCOMPARE(tabs.size(), 1);
    QCOMPARE(tabs.front().position, 24.0);
    QCOMPARE(FormatAt(block, 2).foreground().color(), QColor(192, 0, 0));
}

void RichTextTest::loadReplacesContents() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Calverdon.rtf");
    QVERIFY(WriteFile(path, R"({\rtf1 {\b Erste} Zeile\par zweite Zeile\par})"));
    QTextEdit edit;
    edit.setPlainText("eingebaut 1\neingebaut 2\neingebaut 3");
    QVERIFY(calverdon::LoadRichTextFile(edit, path));
    QCOMPARE(edit.document()->blockCount(), 2);
    QCOMPARE(edit.document()->toPlainText(), QString("Erste Zeile\nzweite Zeile"));
    QVERIFY(FormatAt(edit.document()->firstBlock(), 0).fontWeight() >= QFont::Bold);
    QCOMPARE(edit.textCursor().position(), 0);

    // A second load reads the file afresh.
    QVERIFY(WriteFile(path, R"({\rtf1 neu\par})"));
    QVERIFY(calverdon::LoadRichTextFile(edit, path));
    QCOMPARE(edit.document()->toPlainText(), QString("neu"));
}

void RichTextTest::loadKeepsContentsWhenFileMissing() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QTextEdit edit;
    edit.setPlainText("eingebaut");
    QVERIFY(!calverdon::LoadRichTextFile(edit, dir.filePath("fehlt.rtf")));
    QVERIFY(!calverdon::LoadRichTextFile(edit, dir.path()));  // a folder is no file
    QCOMPARE(edit.toPlainText(), QString("eingebaut"));
}

void RichTextTest::loadPlainTextInViewFont() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Calverdon.rtf");
    QVERIFY(WriteFile(path, "Gr\xFC\xDF" "e\r\nohne Format\r\n"));
    QTextEdit edit;
    QFont font = edit.font();
    font.setPixelSize(13);
    edit.setFont(font);
    QVERIFY(calverdon::LoadRichTextFile(edit, path));
    QCOMPARE(edit.toPlainText(), QString::fromUtf8("Grüße\nohne Format"));
    // No size of its own: the text is drawn in the view's font.
    QVERIFY(!FormatAt(edit.document()->firstBlock(), 0).hasProperty(QTextFormat::FontPointSize));
    QVERIFY(!FormatAt(edit.document()->firstBlock(), 0).hasProperty(QTextFormat::FontPixelSize));
}

QTEST_MAIN(RichTextTest)
#include "RichTextTest.moc"
