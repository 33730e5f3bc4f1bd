#include "Components.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QFontMetricsF>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <cstdlib>
#include <limits>

namespace calverdon::gui {

namespace {

constexpr int kPixelSize = 13;

// The widths Tahoma gives the main window's captions at 13 pixels: the
// label sizes of the window's layout, which were taken with it.
struct CaptionWidth {
    const char* caption;
    int width;
};
constexpr CaptionWidth kTahomaWidths[] = {
    {"Umzuwandelnde Datei", 127},
    {"Quelle...", 48},
    {"Zieldatei", 48},
    {"Ziel...", 32},
    {"Dateigröße max.                  kB", 179},
};

// Families whose names do not say "Sans" but that are sans-serif faces.
const QStringList kOtherSansFamilies = {
    QStringLiteral("Arial"), QStringLiteral("Helvetica"), QStringLiteral("Verdana"),
    QStringLiteral("Segoe UI"), QStringLiteral("Cantarell"), QStringLiteral("Ubuntu"),
    QStringLiteral("Roboto"), QStringLiteral("Carlito"), QStringLiteral("Lato"),
};

bool IsSansSerif(const QString& family) {
    if (QFontDatabase::isFixedPitch(family) || !QFontDatabase::isScalable(family)) return false;
    if (!QFontDatabase::writingSystems(family).contains(QFontDatabase::Latin)) return false;
    if (family.contains(QLatin1String("Mono"), Qt::CaseInsensitive)) return false;
    return family.contains(QLatin1String("Sans"), Qt::CaseInsensitive) ||
           kOtherSansFamilies.contains(family, Qt::CaseInsensitive);
}

int DistanceFromTahoma(const QString& family) {
    QFont font(family);
    font.setPixelSize(kPixelSize);
    const QFontMetrics metrics(font);
    int distance = 0;
    for (const CaptionWidth& entry : kTahomaWidths)
        distance += std::abs(metrics.horizontalAdvance(QString::fromUtf8(entry.caption)) - entry.width);
    return distance;
}

}  // namespace

QString ClosestToTahoma(const QStringList& families) {
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QString& family : families) {
        if (!IsSansSerif(family)) continue;
        const int distance = DistanceFromTahoma(family);
        if (distance < bestDistance) {
            best = family;
            bestDistance = distance;
        }
    }
    return best;
}

QFont FormFont() {
    // The choice is made once: the installed fonts do not change while
    // the program runs.
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        if (installed.contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)) return QStringLiteral("Tahoma");
        return ClosestToTahoma(installed);
    }();
    QFont font(family.isEmpty() ? QStringLiteral("Tahoma") : family);
    // With no family chosen, the font matcher falls back on the hint.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kPixelSize);
    return font;
}

QIcon WindowIcon() { return QIcon(QStringLiteral(":/icons/calverdon.svg")); }

void SetCaption(QLabel& label, const QString& text) {
    label.setText(text);
    label.adjustSize();
}

TBitBtn::TBitBtn(const QString& caption, const QIcon& picture, Glyph layout, QWidget* parent)
    : QPushButton(picture, caption, parent), layout_(layout) {
    setIconSize(QSize(16, 16));
    // The buttons are placed by the window; they never become default
    // buttons of their own accord.
    setAutoDefault(false);
}

void TBitBtn::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The style puts the icon on the trailing side for right-to-left
    // buttons; the caption itself is still drawn by the painter, whose
    // direction stays that of the button.
    if (layout_ == Glyph::Right) option.direction = Qt::RightToLeft;
    painter.drawControl(QStyle::CE_PushButton, option);
}

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(const QColor& colour) {
    if (colour == brush_) return;
    brush_ = colour;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brush_);
    const int side = std::min(width(), height());
    // The pen is centred on the outline: keep half a pixel inside.
    const QRectF circle((width() - side) / 2.0 + 0.5, (height() - side) / 2.0 + 0.5, side - 1.0, side - 1.0);
    painter.drawEllipse(circle);
}

void TGapLabel::SetControlLeft(int x) {
    controlLeft_ = x;
    update();
}

void TGapLabel::paintEvent(QPaintEvent* event) {
    const QString all = text();
    const qsizetype blanks = all.indexOf(QLatin1String("  "));
    const QRect area = contentsRect();
    const QString lead = all.left(blanks);
    // Room for the text before the blanks, in the label's coordinates.
    const qreal room = controlLeft_ - x() - area.left() - kGapPixels;
    QFont leadFont = font();
    if (controlLeft_ < 0 || blanks < 0 || QFontMetricsF(leadFont).horizontalAdvance(lead) <= room) {
        QLabel::paintEvent(event);
        return;
    }
    // A tenth of a pixel closer at a time, down to a whole pixel per letter,
    // beyond which the text would no longer read well.
    for (int tenths = 1; tenths <= 10; ++tenths) {
        leadFont.setLetterSpacing(QFont::AbsoluteSpacing, -tenths / 10.0);
        if (QFontMetricsF(leadFont).horizontalAdvance(lead) <= room) break;
    }
    const int flags = int(alignment()) | Qt::TextForceLeftToRight;
    QPainter painter(this);
    painter.setFont(leadFont);
    style()->drawItemText(&painter, area, flags, palette(), isEnabled(), lead, foregroundRole());
    painter.setFont(font());
    const int restLeft = qRound(QFontMetricsF(font()).horizontalAdvance(lead));
    style()->drawItemText(&painter, area.adjusted(restLeft, 0, 0, 0), flags, palette(), isEnabled(), all.mid(blanks),
                          foregroundRole());
}

TOpenDialog::TOpenDialog(QWidget* owner) : QObject(owner), owner_(owner) {}

bool TOpenDialog::Execute() {
    const QString chosen = chooser_ ? chooser_(*this) : RunFileDialog();
    if (chosen.isEmpty()) return false;
    FileName = chosen;
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return true;
}

QString TOpenDialog::RunFileDialog() const {
    // No filter and no initial folder: the dialog opens in the working
    // directory, which is the folder of the last choice.
    QFileDialog dialog(owner_, Title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QString suffix = DefaultExt;
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();
}

}  // namespace calverdon::gui
