#pragma once
// A canvas that draws nothing and keeps a list of what it was asked to do,
// with the brush and font as they stood at each call. Tests compare that
// list with the rectangles and texts they expect.

#include <vector>

#include <calverdon/Canvas.h>

namespace calverdon {

struct RecordedFill {
    TRect rect;  // as passed, corners not reordered
    TBrush brush;
};

struct RecordedText {
    int x = 0;
    int y = 0;
    UnicodeString text;
    TFont font;
    TBrush brush;
};

class RecordingCanvas final : public TCanvas {
public:
    explicit RecordingCanvas(int pixelsPerInch = 96) { Font.PixelsPerInch = pixelsPerInch; }

    void FillRect(const TRect& rect) override { fills.push_back({rect, Brush}); }
    void TextOut(int x, int y, const UnicodeString& text) override {
        texts.push_back({x, y, text, Font, Brush});
    }

    std::vector<RecordedFill> fills;
    std::vector<RecordedText> texts;
};

}  // namespace calverdon
