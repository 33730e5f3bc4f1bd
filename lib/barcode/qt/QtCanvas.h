#pragma once
// TCanvas on a QPainter, so that the barcode library can draw on any
// QPaintDevice: a QImage for PNG files, a QSvgGenerator, a QPdfWriter or a
// printer. The painter and its device belong to the caller.

#include <calverdon/Canvas.h>

class QPainter;

namespace calverdon {

class QtCanvas final : public TCanvas {
public:
    // Takes Font.PixelsPerInch from the device's logical resolution and
    // turns antialiasing off, so that bars keep sharp pixel edges.
    explicit QtCanvas(QPainter& painter);

    void FillRect(const TRect& rect) override;
    void TextOut(int x, int y, const UnicodeString& text) override;

private:
    QPainter& painter_;
};

}  // namespace calverdon
