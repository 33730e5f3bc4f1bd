#include "QtCanvas.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QRect>
#include <QString>

namespace calverdon {
namespace {

QColor ToQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

QtCanvas::QtCanvas(QPainter& painter) : painter_(painter) {
    if (QPaintDevice* device = painter_.device()) Font.PixelsPerInch = device->logicalDpiY();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

void QtCanvas::FillRect(const TRect& rect) {
    if (Brush.Style != bsSolid) return;
    const TRect r = Normalized(rect);
    if (r.Right == r.Left || r.Bottom == r.Top) return;
    // QRect(x, y, w, h) covers exactly the columns x .. x+w-1 and rows
    // y .. y+h-1, which is the half-open area Canvas.h describes.
    painter_.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), ToQColor(Brush.Color));
}

void QtCanvas::TextOut(int x, int y, const UnicodeString& text) {
    QFont font = painter_.font();
    font.setPointSize(Font.Size > 0 ? Font.Size : 1);
    painter_.setFont(font);
    const QString qtext = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics metrics(font, painter_.device());
    const QRect box(x, y, metrics.horizontalAdvance(qtext), metrics.height());
    if (Brush.Style == bsSolid) painter_.fillRect(box, ToQColor(Brush.Color));
    painter_.setPen(Qt::black);
    painter_.drawText(QPoint(x, y + metrics.ascent()), qtext);
}

}  // namespace calverdon
