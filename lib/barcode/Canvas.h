#pragma once
// The drawing surface that the barcode library draws on, reduced to what it
// uses: a rectangle fill, text output, and the brush and font settings that
// those two read. Brush and font are plain state; a back-end reads them at
// the moment FillRect or TextOut is called. No Qt here: the QPainter
// back-end lives in its own target (QtCanvas.h), and tests record calls
// (RecordingCanvas.h).

#include <calverdon/Strings.h>

// Colours as 0x00BBGGRR, the byte order of a Windows COLORREF.
using TColor = int;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

enum TBrushStyle : unsigned char {
    bsSolid,  // FillRect paints, and text is drawn on a box of the brush colour
    bsClear,  // FillRect paints nothing, and text is drawn without a box
};

struct TBrush {
    TBrushStyle Style = bsSolid;
    TColor Color = clWhite;
};

struct TFont {
    int Size = 8;             // points
    int PixelsPerInch = 96;   // of the device; a back-end sets it from its device
};

// Left, top, right, bottom in device pixels. The corners may come in either
// order: the area meant is |Right - Left| pixels wide and |Bottom - Top|
// pixels high, from the smaller to (excluding) the larger coordinate.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

class TCanvas {
public:
    TBrush Brush;
    TFont Font;

    virtual ~TCanvas() = default;

    // Fills the rectangle with the brush colour when the brush is solid.
    virtual void FillRect(const TRect& rect) = 0;
    // Writes text with its top left corner at (x, y) in the current font.
    virtual void TextOut(int x, int y, const UnicodeString& text) = 0;

protected:
    TCanvas() = default;
    TCanvas(const TCanvas&) = default;
    TCanvas& operator=(const TCanvas&) = default;
};

namespace calverdon {

// The same rectangle with Left <= Right and Top <= Bottom.
constexpr TRect Normalized(const TRect& r) {
    return {r.Left < r.Right ? r.Left : r.Right, r.Top < r.Bottom ? r.Top : r.Bottom,
            r.Left < r.Right ? r.Right : r.Left, r.Top < r.Bottom ? r.Bottom : r.Top};
}

}  // namespace calverdon
