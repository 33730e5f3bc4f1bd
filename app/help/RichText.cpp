#include "RichText.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <algorithm>
#include <new>

#include "Rtf.h"

namespace calverdon {
namespace {

// 1440 twips to the inch, 96 pixels to the inch.
constexpr double kTwipsPerPixel = 1440.0 / 96.0;

double Pixels(int twips) { return twips / kTwipsPerPixel; }

Qt::Alignment ToQt(rtf::Alignment alignment) {
    switch (alignment) {
        case rtf::Alignment::Center: return Qt::AlignHCenter;
        case rtf::Alignment::Right: return Qt::AlignRight;
        case rtf::Alignment::Justify: return Qt::AlignJustify;
        case rtf::Alignment::Left: break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat ToQt(const rtf::CharFormat& format) {
    QTextCharFormat out;
    out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(format.italic);
    out.setFontUnderline(format.underline);
    out.setFontStrikeOut(format.strike);
    out.setFontPointSize(format.fontSizeHalfPoints / 2.0);
    if (!format.fontFamily.empty()) out.setFontFamilies(QStringList{QString::fromStdString(format.fontFamily)});
    if (format.color) out.setForeground(QColor(format.color->red, format.color->green, format.color->blue));
    return out;
}

QTextBlockFormat ToQt(const rtf::Paragraph& paragraph) {
    QTextBlockFormat out;
    out.setAlignment(ToQt(paragraph.alignment));
    // The view cannot draw left of its own edge: margins stay positive and
    // a hanging first line goes back at most to the edge.
    const double left = std::max(0.0, Pixels(paragraph.leftIndent));
    out.setLeftMargin(left);
    out.setRightMargin(std::max(0.0, Pixels(paragraph.rightIndent)));
    const double indent = std::max(-left, Pixels(paragraph.firstLineIndent));
    out.setTextIndent(indent);
    out.setTopMargin(Pixels(paragraph.spaceBefore));
    out.setBottomMargin(Pixels(paragraph.spaceAfter));
    if (!paragraph.listText.empty() && indent < 0) {
        // The tab after a bullet leads to the paragraph's left indent, where
        // the following lines start. Qt counts tab positions from the start
        // of the line, which a hanging indent moves left by -indent.
        out.setTabPositions({QTextOption::Tab(-indent, QTextOption::LeftTab)});
    }
    return out;
}

}  // namespace

void FillTextDocument(QTextDocument& target, const rtf::Document& doc) {
    target.clear();
    QTextCursor cursor(&target);
    cursor.beginEditBlock();
    bool first = true;
    for (const auto& paragraph : doc.paragraphs) {
        const QTextBlockFormat block = doc.isRtf ? ToQt(paragraph) : QTextBlockFormat();
        const QTextCharFormat mark = doc.isRtf ? ToQt(paragraph.markFormat) : QTextCharFormat();
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(mark);
            first = false;
        } else {
            cursor.insertBlock(block, mark);
        }
        if (!paragraph.listText.empty()) {
            const QTextCharFormat listFormat = paragraph.runs.empty() ? mark : ToQt(paragraph.runs.front().format);
            cursor.insertText(QString::fromStdString(paragraph.listText) + QLatin1Char('\t'), listFormat);
        }
        for (const auto& run : paragraph.runs) {
            cursor.insertText(QString::fromStdString(run.text),
                              doc.isRtf ? ToQt(run.format) : QTextCharFormat());
        }
    }
    cursor.endEditBlock();
}

bool LoadRichTextFile(QTextEdit& edit, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    try {
        // One byte more than allowed tells a file that is too large.
        const QByteArray bytes = file.read(kMaxRichTextFileBytes + 1);
        if (file.error() != QFileDevice::NoError || bytes.size() > kMaxRichTextFileBytes) return false;
        file.close();
        const rtf::Document doc = rtf::Parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        FillTextDocument(*edit.document(), doc);
    } catch (const std::bad_alloc&) {
        return false;
    }
    edit.moveCursor(QTextCursor::Start);
    return true;
}

}  // namespace calverdon
