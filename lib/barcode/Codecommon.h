#pragma once
// KcBarcode draws one-dimensional barcodes (interleaved 2 of 5, Code 39,
// Code 128, EAN-128) onto a canvas, measures them and fits their module
// width to a largest width. One object serves one canvas and one symbology;
// its settings are public fields that the caller may change between calls.

#include <cstdint>

#include <calverdon/Canvas.h>
#include <calverdon/Export.h>
#include <calverdon/Strings.h>

enum KBcType : std::uint8_t {
    bcCode2of5I = 0,  // interleaved 2 of 5
    bcCode39 = 1,
    bcCode128 = 2,
    bcEAN128 = 3,
};

class KcBarcode {
public:
    // The fields hold neutral values until the constructor sets them: no
    // canvas, no type, zero widths. An object whose construction failed
    // therefore draws nothing, and Print and PrintWidth return 0 for it.

    bool Valid = false;             // construction completed; the library never reads it
    std::int16_t Rotation = 0;      // degrees counter-clockwise: 0, 90, 180, 270; others draw as 0
    std::int32_t MaxWidth = 0;      // pixels that fitting aims at; 0 turns fitting off
    std::int32_t MinModule = 0;     // micrometres; fitting shrinks no further
    std::int32_t MaxModule = 0;     // micrometres; fitting grows no further
    std::int32_t BarHeight = 0;     // pixels
    double MinRatio = 0.0;          // wide-to-narrow bounds, kept for the caller
    double MaxRatio = 0.0;
    TCanvas* Canvas = nullptr;      // not owned
    KBcType Type = static_cast<KBcType>(0xFF);
    bool MeasureOnly = false;       // symbology operations measure without drawing
    bool AlternateEnd = false;      // a different end pattern, or two elements exchanged
    std::int32_t Module = 0;        // narrow element, micrometres; fitting changes it
    std::int32_t Resolution = 0;    // canvas pixels per inch, read at construction
    double Ratio = 0.0;             // wide-to-narrow, Code 39 and interleaved 2 of 5
    UnicodeString LockText;         // while not empty, Print and PrintWidth make nothing

    // A null canvas or an unknown type is told by message box (caption
    // "Barcode") and leaves Valid false. height 0 means 26 mm.
    CALVERDON_EXPORT KcBarcode(TCanvas* canvas, KBcType type, UnicodeString text, int height, bool alternateEnd);
    CALVERDON_EXPORT ~KcBarcode();

    // Draws one symbol with its first bar starting at (x, y) and returns its
    // width in pixels; with MaxWidth set, the module width is fitted first.
    CALVERDON_EXPORT int Print(int x, int y, UnicodeString data);
    // The width Print would draw, after fitting. Leaves MeasureOnly true.
    CALVERDON_EXPORT int PrintWidth(UnicodeString data);

    // One symbology each, with the settings as they stand; they draw unless
    // MeasureOnly is set or there is no canvas, and return the width.
    CALVERDON_EXPORT int Code2of5I(int x, int y, UnicodeString data);
    CALVERDON_EXPORT int Code39(int x, int y, UnicodeString data);
    CALVERDON_EXPORT int Code128(int x, int y, UnicodeString data);
    CALVERDON_EXPORT int EAN128(int x, int y, UnicodeString data);
};
