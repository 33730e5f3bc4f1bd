// KcBarcode on a recording canvas: construction and its messages, widths of
// every symbology, fitting, the overflow marker, rotations, the brush, the
// lock text, measuring and the alternate ends. Expected widths are worked
// out by hand from the module counts and element widths; rectangles are
// derived by hand from the module texts (noted beside each).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <calverdon/Codecommon.h>
#include "MessageBox.h"
#include "RecordingCanvas.h"

// In TRect's own (the global) namespace, where GoogleTest finds them.
bool operator==(const TRect& a, const TRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

void PrintTo(const TRect& r, std::ostream* os) {
    *os << '{' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << '}';
}

namespace {

using calverdon::RecordingCanvas;

struct ShownMessage {
    void* owner;
    std::u16string text;
    std::u16string caption;
    unsigned type;
};

// Records the library's message boxes for as long as it lives.
class MessageRecorder {
public:
    MessageRecorder()
        : scope_([this](void* owner, const UnicodeString& text, const UnicodeString& caption, unsigned type) {
              shown.push_back({owner, text, caption, type});
              return calverdon::IDOK;
          }) {}
    std::vector<ShownMessage> shown;

private:
    calverdon::ScopedMessageBoxHandler scope_;
};

// The horizontal extents [left, right) of the filled bars at rotation 0.
std::vector<std::pair<int, int>> BarSpans(const RecordingCanvas& canvas) {
    std::vector<std::pair<int, int>> spans;
    for (const auto& fill : canvas.fills) spans.emplace_back(fill.rect.Left, fill.rect.Right);
    return spans;
}

TEST(KcBarcodeConstructionTest, EachTypeIsReadyWithoutMessage) {
    MessageRecorder messages;
    RecordingCanvas canvas(96);
    for (const KBcType type : {bcCode2of5I, bcCode39, bcCode128, bcEAN128}) {
        SCOPED_TRACE(static_cast<int>(type));
        const KcBarcode bc(&canvas, type, u"", 0, true);
        EXPECT_TRUE(bc.Valid);
        // Fitting starts from the default module and keeps within the
        // type's bounds; a caller offering a ratio keeps within its own.
        EXPECT_LE(bc.MinModule, bc.Module);
        EXPECT_LE(bc.Module, bc.MaxModule);
        EXPECT_LE(bc.MinRatio, bc.Ratio);
        EXPECT_LE(bc.Ratio, bc.MaxRatio);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST(KcBarcodeConstructionTest, BarHeightDefaultsTo26Millimetres) {
    struct Row {
        int dpi;
        int height;
        int barHeight;
    };
    // trunc(dpi * 26 / 25.4): 98.27, 307.09, 614.17.
    constexpr std::array<Row, 5> rows = {{{96, 0, 98}, {300, 0, 307}, {600, 0, 614}, {96, 50, 50}, {600, 50, 50}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.dpi) + " dpi, height " + std::to_string(row.height));
        RecordingCanvas canvas(row.dpi);
        const KcBarcode bc(&canvas, bcCode128, u"", row.height, false);
        EXPECT_EQ(bc.BarHeight, row.barHeight);
    }
}

TEST(KcBarcodeConstructionTest, NullCanvasIsReportedAndLeavesTheObjectUnusable) {
    MessageRecorder messages;
    KcBarcode bc(nullptr, bcCode128, u"Text", 0, false);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, u"Kein Canvas definiert.");
    EXPECT_EQ(messages.shown[0].caption, u"Barcode");
    EXPECT_EQ(messages.shown[0].type, 16u);
    EXPECT_EQ(messages.shown[0].owner, nullptr);
    EXPECT_FALSE(bc.Valid);
    EXPECT_TRUE(bc.LockText.empty());
    EXPECT_EQ(bc.Canvas, nullptr);
    // Our choice for a failed object: nothing drawn, nothing measured.
    EXPECT_EQ(bc.PrintWidth(u"12345678"), 0);
    EXPECT_EQ(bc.Print(0, 0, u"12345678"), 0);
}

TEST(KcBarcodeConstructionTest, UnknownTypeIsReportedAfterTheCommonSettings) {
    MessageRecorder messages;
    RecordingCanvas canvas(96);
    KcBarcode bc(&canvas, static_cast<KBcType>(4), u"Text", 0, true);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, u"Codetyp undefiniert.");
    EXPECT_EQ(messages.shown[0].caption, u"Barcode");
    EXPECT_EQ(messages.shown[0].type, 16u);
    EXPECT_FALSE(bc.Valid);
    // The settings before the type check are made; the type's are not.
    EXPECT_EQ(static_cast<int>(bc.Type), 4);
    EXPECT_EQ(bc.Canvas, &canvas);
    EXPECT_EQ(bc.LockText, u"Text");
    EXPECT_EQ(bc.Resolution, 96);
    EXPECT_EQ(bc.Module, 0);
    EXPECT_EQ(bc.BarHeight, 0);
    bc.LockText.clear();
    EXPECT_EQ(bc.PrintWidth(u"12345678"), 0);
    EXPECT_EQ(bc.Print(0, 0, u"12345678"), 0);
    EXPECT_TRUE(canvas.fills.empty());
    EXPECT_TRUE(canvas.texts.empty());
}

struct WidthRow {
    const char* name;
    KBcType type;
    int dpi;
    std::u16string data;
    bool alternateEnd;
    int width;
};

TEST(KcBarcodeWidthTest, PrintDrawsWhatPrintWidthMeasures) {
    // Code 128 and EAN-128: narrow * (11 n + 13), n symbol characters from
    // start to check (+2 modules with the alternate end); narrow 2 at 96.
    // Code 39: (n + 2) * (3 wide + 7 narrow) = 26 per character at 96.
    // Interleaved 2 of 5 with p pairs: (6p + 6) narrow + (4p + 1) wide.
    const std::vector<WidthRow> rows = {
        {"128 digits", bcCode128, 96, u"12345678", false, 158},
        {"128 letters and digits", bcCode128, 96, u"AB12", false, 158},
        {"128 empty", bcCode128, 96, u"", false, 70},
        {"128 set C to B", bcCode128, 96, u"1234AB", false, 180},
        {"128 set B to C", bcCode128, 96, u"A12345", false, 180},
        {"128 umlaut", bcCode128, 96, u"Müller", false, 202},
        {"128 digits at 300 dpi", bcCode128, 300, u"12345678", false, 474},  // 79 modules * 6
        {"128 empty, alternate end", bcCode128, 96, u"", true, 74},
        {"EAN GTIN", bcEAN128, 96, u"(01)12345678901234", false, 312},
        {"EAN batch", bcEAN128, 96, u"(10)ABC123", false, 290},
        {"EAN digits", bcEAN128, 96, u"123456", false, 202},
        {"EAN empty", bcEAN128, 96, u"", false, 92},
        {"EAN empty, alternate end", bcEAN128, 96, u"", true, 96},
        {"EAN GTIN at 300 dpi", bcEAN128, 300, u"(01)12345678901234", false, 936},  // 156 modules * 6
        {"39 AB-1", bcCode39, 96, u"AB-1", false, 156},
        {"39 empty", bcCode39, 96, u"", false, 52},
        {"39 AB-1 at 300 dpi", bcCode39, 300, u"AB-1", false, 6 * (3 * 10 + 7 * 5)},
        {"39 alternate end", bcCode39, 96, u"AB-1", true, 156},
        {"2of5 1234", bcCode2of5I, 96, u"1234", false, 81},
        {"2of5 1234 at 300 dpi", bcCode2of5I, 300, u"1234", false, 198},
        {"2of5 empty", bcCode2of5I, 96, u"", false, 17},
        {"2of5 odd count", bcCode2of5I, 96, u"123", false, 81},
        {"2of5 alternate end", bcCode2of5I, 96, u"1234", true, 81},
    };
    for (const WidthRow& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingCanvas canvas(row.dpi);
        KcBarcode bc(&canvas, row.type, u"", 0, row.alternateEnd);
        EXPECT_EQ(bc.PrintWidth(row.data), row.width);
        EXPECT_TRUE(canvas.fills.empty());
        EXPECT_EQ(bc.Print(0, 0, row.data), row.width);
        ASSERT_FALSE(canvas.fills.empty());
        // Every symbol ends with a bar, so the last fill ends at the width;
        // Code 39 counts the narrow gap after its stop (2 pixels at 96 dpi,
        // 5 at 300) as well.
        const int gap = row.type != bcCode39 ? 0 : row.dpi == 96 ? 2 : 5;
        EXPECT_EQ(canvas.fills.back().rect.Right + gap, row.width);
    }
}

TEST(KcBarcodeWidthTest, LongDataHasNoCapacityLimit) {
    std::u16string digits;
    for (int i = 0; i < 100; ++i) digits += u"0123456789";
    std::u16string letters;
    for (int i = 0; i < 20; ++i) letters += u"ABCDEFGHIJ";
    const std::vector<WidthRow> rows = {
        // Start C, 500 pairs, check: 2 * (11 * 502 + 13).
        {"128, 1000 digits", bcCode128, 96, digits, false, 11070},
        // Start C, FNC1, 499 pairs, Code B, 2 digits, check: 2 * (11 * 505 + 13).
        {"EAN, 1000 digits", bcEAN128, 96, digits, false, 11136},
        // 202 characters of 26 pixels.
        {"39, 200 letters", bcCode39, 96, letters, false, 5252},
        // 300 of the digits, 150 pairs: 906 * 2 + 601 * 5.
        {"2of5, 300 digits", bcCode2of5I, 96, digits.substr(0, 300), false, 4817},
    };
    for (const WidthRow& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingCanvas canvas(row.dpi);
        KcBarcode bc(&canvas, row.type, u"", 0, false);
        EXPECT_EQ(bc.PrintWidth(row.data), row.width);
        EXPECT_EQ(bc.Print(0, 0, row.data), row.width);
    }
}

TEST(KcBarcodeWidthTest, CharactersOutsideWindows1252AreDropped) {
    RecordingCanvas plain(96);
    RecordingCanvas mixed(96);
    KcBarcode a(&plain, bcCode128, u"", 0, false);
    KcBarcode b(&mixed, bcCode128, u"", 0, false);
    EXPECT_EQ(a.Print(0, 0, u"AB"), b.Print(0, 0, u"A\u4E2D\U0001F600B"));
    EXPECT_EQ(BarSpans(plain), BarSpans(mixed));
}

// The width of the symbol at the given module, with fitting off.
int UnfittedWidth(KBcType type, int dpi, const std::u16string& data, int module) {
    RecordingCanvas canvas(dpi);
    KcBarcode bc(&canvas, type, u"", 0, false);
    bc.Module = module;
    return bc.PrintWidth(data);
}

TEST(KcBarcodeFittingTest, FittedSymbolFitsAndNoWiderOneWould) {
    // Largest widths from that of the symbol at the type's smallest module
    // to beyond that at its largest, so that a module that fits exists.
    const std::u16string data = u"1234";
    for (const KBcType type : {bcCode2of5I, bcCode39, bcCode128, bcEAN128}) {
        for (const int dpi : {96, 300}) {
            RecordingCanvas probeCanvas(dpi);
            const KcBarcode probe(&probeCanvas, type, u"", 0, false);
            const int narrowest = UnfittedWidth(type, dpi, data, probe.MinModule);
            const int widest = UnfittedWidth(type, dpi, data, probe.MaxModule);
            for (const int maxWidth : {narrowest, (narrowest + widest) / 2, widest - 1, widest, widest + 100}) {
                if (maxWidth < narrowest) continue;
                SCOPED_TRACE("type " + std::to_string(static_cast<int>(type)) + ", " + std::to_string(dpi) + " dpi, MaxWidth " +
                             std::to_string(maxWidth));
                RecordingCanvas canvas(dpi);
                KcBarcode bc(&canvas, type, u"", 0, false);
                bc.MaxWidth = maxWidth;
                const int width = bc.Print(0, 0, data);
                const int module = bc.Module;
                EXPECT_TRUE(canvas.texts.empty());  // no overflow marker
                EXPECT_GE(module, bc.MinModule);
                EXPECT_LE(module, bc.MaxModule);
                EXPECT_EQ(width, UnfittedWidth(type, dpi, data, module));
                EXPECT_LE(width, maxWidth);
                // Unless the symbol fills MaxWidth or the module is at its
                // largest, one micrometre more makes it too wide.
                if (width < maxWidth && module < bc.MaxModule) {
                    EXPECT_GT(UnfittedWidth(type, dpi, data, module + 1), maxWidth);
                }
                // Fitting again starts from the fitted module and ends there.
                EXPECT_EQ(bc.PrintWidth(data), width);
                EXPECT_EQ(bc.Module, module);
            }
        }
    }
}

TEST(KcBarcodeFittingTest, TooWideAtMinModuleIsDrawnWithoutMarker) {
    RecordingCanvas canvas(96);
    KcBarcode bc(&canvas, bcCode128, u"", 0, false);
    bc.MaxWidth = 100;
    EXPECT_EQ(bc.Print(5, 5, u"12345678"), 158);
    EXPECT_EQ(bc.Module, 381);
    EXPECT_EQ(canvas.fills.size(), 22u);  // 3 bars in each of 6 characters, 4 in the stop
    EXPECT_TRUE(canvas.texts.empty());
}

TEST(KcBarcodeFittingTest, OverflowMarkerBelowMinModule) {
    RecordingCanvas canvas(96);
    canvas.Font.Size = 11;
    KcBarcode bc(&canvas, bcCode128, u"", 0, false);
    bc.Module = 200;
    bc.MaxWidth = 100;
    EXPECT_EQ(bc.Print(30, 40, u"12345678"), 158);
    EXPECT_EQ(bc.Module, 265);
    EXPECT_TRUE(canvas.fills.empty());
    ASSERT_EQ(canvas.texts.size(), 1u);
    EXPECT_EQ(canvas.texts[0].text, u"<+!!!!!+>");
    EXPECT_EQ(canvas.texts[0].x, 30);
    EXPECT_EQ(canvas.texts[0].y, 40);
    EXPECT_EQ(canvas.texts[0].font.Size, 24);
    EXPECT_EQ(canvas.Font.Size, 11);
}

TEST(KcBarcodeStateTest, LockTextBlocksPrintAndPrintWidthOnly) {
    RecordingCanvas canvas(96);
    canvas.Brush = {bsSolid, 0x123456};
    KcBarcode bc(&canvas, bcCode128, u"gesperrt", 0, false);
    bc.MaxWidth = 200;
    EXPECT_EQ(bc.Print(0, 0, u"12345678"), 0);
    EXPECT_TRUE(canvas.fills.empty());
    EXPECT_EQ(canvas.Brush.Style, bsSolid);
    EXPECT_EQ(canvas.Brush.Color, 0x123456);
    EXPECT_EQ(bc.PrintWidth(u"12345678"), 0);
    EXPECT_TRUE(bc.MeasureOnly);
    EXPECT_EQ(bc.Module, 460);  // no fitting happened
    // The symbology operations do not look at the lock text.
    bc.MeasureOnly = false;
    EXPECT_EQ(bc.Code128(0, 0, u"12345678"), 158);
    EXPECT_FALSE(canvas.fills.empty());
}

TEST(KcBarcodeStateTest, MeasureOnlyStaysSetAfterPrintWidth) {
    RecordingCanvas canvas(96);
    KcBarcode bc(&canvas, bcCode128, u"", 0, false);
    EXPECT_EQ(bc.PrintWidth(u"12345678"), 158);
    EXPECT_TRUE(bc.MeasureOnly);
    EXPECT_EQ(bc.Code128(0, 0, u"12345678"), 158);
    EXPECT_TRUE(canvas.fills.empty());
    EXPECT_EQ(bc.Print(0, 0, u"12345678"), 158);
    EXPECT_FALSE(bc.MeasureOnly);
    EXPECT_EQ(canvas.fills.size(), 22u);
}

TEST(KcBarcodeStateTest, UnknownTypeSetLaterDrawsNothing) {
    RecordingCanvas canvas(96);
    KcBarcode bc(&canvas, bcCode39, u"", 0, false);
    bc.Type = static_cast<KBcType>(9);
    bc.Module = 100;  // below MinModule: not even the marker
    bc.MaxWidth = 10;
    EXPECT_EQ(bc.PrintWidth(u"A"), 0);
    EXPECT_EQ(bc.Print(0, 0, u"A"), 0);
    EXPECT_TRUE(canvas.fills.empty());
    EXPECT_TRUE(canvas.texts.empty());
}

TEST(KcBarcodeDrawingTest, BrushIsSolidBlackWhileDrawingAndClearAfter) {
    for (const KBcType type : {bcCode2of5I, bcCode39, bcCode128, bcEAN128}) {
        SCOPED_TRACE(static_cast<int>(type));
        RecordingCanvas canvas(96);
        canvas.Brush = {bsClear, clWhite};
        KcBarcode bc(&canvas, type, u"", 0, false);
        ASSERT_GT(bc.Print(0, 0, u"1234"), 0);
        ASSERT_FALSE(canvas.fills.empty());
        for (const auto& fill : canvas.fills) {
            EXPECT_EQ(fill.brush.Style, bsSolid);
            EXPECT_EQ(fill.brush.Color, clBlack);
        }
        EXPECT_EQ(canvas.Brush.Style, bsClear);
        EXPECT_EQ(canvas.Brush.Color, clBlack);
    }
}

TEST(KcBarcodeDrawingTest, RectanglesOfEachRotation) {
    // Code 128, empty data, 96 dpi (narrow 2), bars 50 high, anchor (100, 200).
    // Module text 211214 222122 2331112: ten bars, the first at pixels
    // [0, 4), the second at [6, 8), the last at [66, 70).
    struct Row {
        int rotation;
        TRect first, second, last;
    };
    constexpr std::array<Row, 6> rows = {{
        {0, {100, 200, 104, 250}, {106, 200, 108, 250}, {166, 200, 170, 250}},
        {90, {100, 200, 150, 196}, {100, 194, 150, 192}, {100, 134, 150, 130}},
        {180, {100, 200, 96, 150}, {94, 200, 92, 150}, {34, 200, 30, 150}},
        {270, {100, 200, 50, 204}, {100, 206, 50, 208}, {100, 266, 50, 270}},
        {45, {100, 200, 104, 250}, {106, 200, 108, 250}, {166, 200, 170, 250}},
        {-90, {100, 200, 104, 250}, {106, 200, 108, 250}, {166, 200, 170, 250}},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rotation);
        RecordingCanvas canvas(96);
        KcBarcode bc(&canvas, bcCode128, u"", 50, false);
        bc.Rotation = static_cast<std::int16_t>(row.rotation);
        EXPECT_EQ(bc.Print(100, 200, u""), 70);
        ASSERT_EQ(canvas.fills.size(), 10u);
        EXPECT_EQ(canvas.fills[0].rect, row.first);
        EXPECT_EQ(canvas.fills[1].rect, row.second);
        EXPECT_EQ(canvas.fills[9].rect, row.last);
    }
}

TEST(KcBarcodeDrawingTest, HalfTurnLiesAboveAndLeftOfTheAnchor) {
    RecordingCanvas upright(96);
    RecordingCanvas turned(96);
    KcBarcode a(&upright, bcEAN128, u"", 40, false);
    KcBarcode b(&turned, bcEAN128, u"", 40, false);
    b.Rotation = 180;
    a.Print(300, 300, u"(10)ABC123");
    b.Print(300, 300, u"(10)ABC123");
    ASSERT_EQ(upright.fills.size(), turned.fills.size());
    for (std::size_t i = 0; i < turned.fills.size(); ++i) {
        const TRect u = calverdon::Normalized(upright.fills[i].rect);
        const TRect t = calverdon::Normalized(turned.fills[i].rect);
        // Point reflection about the anchor: x -> 600 - x, y -> 600 - y.
        EXPECT_EQ(t, (TRect{600 - u.Right, 600 - u.Bottom, 600 - u.Left, 600 - u.Top}));
        EXPECT_LE(t.Right, 300);
        EXPECT_LE(t.Bottom, 300);
    }
}

TEST(KcBarcodeDrawingTest, AlternateEndsAreDrawn) {
    struct Row {
        const char* name;
        KBcType type;
        std::u16string data;
        std::vector<std::pair<int, int>> normal;     // first bars without
        std::vector<std::pair<int, int>> alternate;  // and with AlternateEnd
    };
    const std::vector<Row> rows = {
        // Start "0100101000" at narrow 2, wide 4; alternate "0100110000".
        {"Code 39", bcCode39, u"", {{0, 2}, {6, 8}, {10, 14}, {16, 20}, {22, 24}},
         {{0, 2}, {6, 8}, {10, 14}, {18, 20}, {22, 24}}},
        // "slslSlsL..." at narrow 2, wide 5; alternate "slslSslL...".
        {"2 of 5", bcCode2of5I, u"1234", {{0, 2}, {4, 6}, {8, 13}, {15, 17}}, {{0, 2}, {4, 6}, {8, 13}, {13, 15}}},
        // Start B, check 1, then stop 2331112 (bars at 22, 27, 31, 33 modules)
        // or alternate 1233213 (bars at 22, 25, 31, 34 modules).
        {"Code 128", bcCode128, u"", {{44, 48}, {54, 60}, {62, 64}, {66, 70}}, {{44, 46}, {50, 56}, {62, 66}, {68, 74}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const bool alternate : {false, true}) {
            RecordingCanvas canvas(96);
            KcBarcode bc(&canvas, row.type, u"", 0, alternate);
            const int measured = bc.PrintWidth(row.data);
            EXPECT_EQ(bc.Print(0, 0, row.data), measured);
            const auto& expected = alternate ? row.alternate : row.normal;
            auto spans = BarSpans(canvas);
            if (row.type == bcCode128) {
                spans.erase(spans.begin(), spans.end() - static_cast<std::ptrdiff_t>(expected.size()));
            } else {
                spans.resize(expected.size());
            }
            EXPECT_EQ(spans, expected) << (alternate ? "alternate" : "normal");
        }
    }
}

}  // namespace
