// The QPainter canvas: pixels of a fill in either corner order, brush
// style and colour, the device's resolution, the overflow marker's text,
// and whole symbols at the four rotations compared pixel by pixel.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include <calverdon/Codecommon.h>
#include "QtCanvas.h"

namespace calverdon {
namespace {

QImage WhiteImage(int w, int h, int dpi = 96) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

int CountNonWhite(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != qRgb(255, 255, 255);
    }
    return n;
}

QImage Filled(const TRect& rect, TBrush brush) {
    QImage image = WhiteImage(20, 20);
    QPainter painter(&image);
    QtCanvas canvas(painter);
    canvas.Brush = brush;
    canvas.FillRect(rect);
    return image;
}

TEST(QtCanvasTest, FillCoversTheSameHalfOpenAreaInEitherCornerOrder) {
    // Columns 2 to 5 and rows 3 to 7: 4 * 5 pixels.
    const QImage forward = Filled({2, 3, 6, 8}, {bsSolid, clBlack});
    EXPECT_EQ(CountNonWhite(forward), 20);
    EXPECT_EQ(forward.pixel(2, 3), qRgb(0, 0, 0));
    EXPECT_EQ(forward.pixel(5, 7), qRgb(0, 0, 0));
    EXPECT_EQ(forward.pixel(6, 7), qRgb(255, 255, 255));
    EXPECT_EQ(forward.pixel(5, 8), qRgb(255, 255, 255));
    EXPECT_EQ(Filled({6, 8, 2, 3}, {bsSolid, clBlack}), forward);
    EXPECT_EQ(Filled({6, 3, 2, 8}, {bsSolid, clBlack}), forward);
    EXPECT_EQ(Filled({2, 8, 6, 3}, {bsSolid, clBlack}), forward);
}

TEST(QtCanvasTest, ClearBrushFillsNothing) { EXPECT_EQ(CountNonWhite(Filled({2, 3, 6, 8}, {bsClear, clBlack})), 0); }

TEST(QtCanvasTest, ColoursAreBlueGreenRed) {
    // 0x0000FF is red in the byte order of a Windows colour value.
    EXPECT_EQ(Filled({0, 0, 1, 1}, {bsSolid, 0x0000FF}).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(Filled({0, 0, 1, 1}, {bsSolid, 0x00FF00}).pixel(0, 0), qRgb(0, 255, 0));
}

TEST(QtCanvasTest, PixelsPerInchComeFromTheDevice) {
    for (const int dpi : {96, 300, 600}) {
        QImage image = WhiteImage(4, 4, dpi);
        QPainter painter(&image);
        const QtCanvas canvas(painter);
        EXPECT_EQ(canvas.Font.PixelsPerInch, dpi);
    }
}

TEST(QtCanvasTest, OverflowMarkerIsWrittenAt24PointsBelowAndRightOfTheAnchor) {
    QImage image = WhiteImage(400, 120);
    QPainter painter(&image);
    QtCanvas canvas(painter);
    canvas.Font.Size = 8;
    KcBarcode bc(&canvas, bcCode128, u"", 0, false);
    bc.Module = 200;
    bc.MaxWidth = 100;
    // Code 128 "12345678" at 96 dpi stops fitting at 265 um, 158 pixels wide.
    EXPECT_EQ(bc.Print(20, 30, u"12345678"), 158);
    painter.end();
    EXPECT_EQ(canvas.Font.Size, 8);
    int top = image.height(), bottom = -1, left = image.width();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
            }
        }
    }
    ASSERT_GE(bottom, 0) << "nothing written";
    EXPECT_GE(top, 30);
    EXPECT_GE(left, 20);
    // 24 points at 96 dpi are 32 pixels; "!" and "+" reach well over half.
    EXPECT_GT(bottom - top, 16);
}

struct RotatedImage {
    QImage image;
    int width;
};

// One symbol on an image with a 6 pixel margin, anchored so that it lies
// inside the margin whatever the rotation.
RotatedImage Render(KBcType type, const std::u16string& data, int rotation) {
    constexpr int margin = 6;
    constexpr int height = 40;
    QImage scratch = WhiteImage(1, 1);
    QPainter scratchPainter(&scratch);
    QtCanvas scratchCanvas(scratchPainter);
    KcBarcode measure(&scratchCanvas, type, u"", height, false);
    const int length = measure.PrintWidth(data);
    scratchPainter.end();

    const bool upright = rotation == 90 || rotation == 270;
    QImage image = WhiteImage((upright ? height : length) + 2 * margin, (upright ? length : height) + 2 * margin);
    QPainter painter(&image);
    QtCanvas canvas(painter);
    KcBarcode bc(&canvas, type, u"", height, false);
    bc.Rotation = static_cast<std::int16_t>(rotation);
    int x = margin, y = margin;
    if (rotation == 90) y = margin + length;
    if (rotation == 180) x = margin + length, y = margin + height;
    if (rotation == 270) x = margin + height;
    const int width = bc.Print(x, y, data);
    return {image, width};
}

TEST(QtCanvasTest, RotatedSymbolsAreTheUprightOneTurned) {
    for (const KBcType type : {bcCode2of5I, bcCode39, bcCode128, bcEAN128}) {
        SCOPED_TRACE(static_cast<int>(type));
        const RotatedImage upright = Render(type, u"1234", 0);
        ASSERT_GT(CountNonWhite(upright.image), 0);
        // QTransform().rotate(-90) turns counter-clockwise on the screen,
        // where y grows downward; multiples of 90 degrees map pixels exactly.
        const RotatedImage r90 = Render(type, u"1234", 90);
        const RotatedImage r180 = Render(type, u"1234", 180);
        const RotatedImage r270 = Render(type, u"1234", 270);
        EXPECT_EQ(r90.width, upright.width);
        const auto rgb = [](const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); };
        EXPECT_EQ(rgb(r90.image), rgb(upright.image.transformed(QTransform().rotate(-90))));
        EXPECT_EQ(rgb(r180.image), rgb(upright.image.mirrored(true, true)));
        EXPECT_EQ(rgb(r270.image), rgb(upright.image.transformed(QTransform().rotate(90))));
    }
}

}  // namespace
}  // namespace calverdon
