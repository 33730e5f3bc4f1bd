#include "Components.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace calverdon::gui {

QFont FormFont() {
    QFont font(QStringLiteral("Tahoma"));
    // Without Tahoma the font matcher falls back on the hint's family.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
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
