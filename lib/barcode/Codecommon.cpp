#include <calverdon/Codecommon.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "BarcodeTexts.h"
#include "Cp1252.h"
#include "MessageBox.h"
#include "Symbology.h"

namespace calverdon::barcode {
namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();

int ClampToInt(std::int64_t v) {
    return v > kIntMax ? kIntMax : v < kIntMin ? kIntMin : static_cast<int>(v);
}

// The integer part of a float, saturated, with NaN as 0: the caller's
// settings may be anything, and a conversion out of range would be undefined.
std::int64_t Truncate(long double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<long double>(kIntMax)) return kIntMax;
    if (v <= static_cast<long double>(kIntMin)) return kIntMin;
    return static_cast<std::int64_t>(v);
}

}  // namespace

float ModuleExtent(int resolution, int module) {
    // The product is taken in 64 bits so that no setting overflows it.
    const auto product = static_cast<std::int64_t>(resolution) * module;
    const long double e = static_cast<long double>(product) * (1.0L / 25.4L) * 0.001L;
    return static_cast<float>(e);
}

int NarrowWidth(int resolution, int module) {
    return ClampToInt(Truncate(ModuleExtent(resolution, module)) + 1);
}

ElementWidths NarrowAndWideWidths(int resolution, int module, double ratio) {
    const float e = ModuleExtent(resolution, module);
    ElementWidths w;
    w.narrow = ClampToInt(Truncate(e) + 1);
    std::int64_t wide = Truncate(static_cast<float>(static_cast<long double>(e) * ratio));
    // A narrow width of 0 would divide by zero below. Below 0 (only with a
    // negative module or resolution) the quotient would never reach the
    // ratio, so those become 1 as well.
    if (w.narrow < 1) w.narrow = 1;
    // Raise the wide width until its truncated percentage of the narrow
    // width reaches ratio * 100. The percentage grows with the wide width,
    // so this ends; the cap only matters for absurd ratios.
    while (ratio * 100 > static_cast<double>(wide * 100 / w.narrow) && wide < kIntMax) ++wide;
    w.wide = ClampToInt(wide);
    return w;
}

void ExchangeSixthAndSeventh(std::string& moduleText) {
    if (moduleText.size() >= 7) std::swap(moduleText[5], moduleText[6]);
}

namespace {

// Drawing is on when the object is not only measuring and has a canvas.
bool DrawingOn(const KcBarcode& barcode) { return !barcode.MeasureOnly && barcode.Canvas != nullptr; }

}  // namespace

int DrawModuleText(const KcBarcode& barcode, int x, int y, std::string_view moduleText, ModuleAlphabet alphabet,
                   ElementWidths widths) {
    TCanvas* const canvas = DrawingOn(barcode) ? barcode.Canvas : nullptr;
    if (canvas != nullptr) {
        canvas->Brush.Style = bsSolid;
        canvas->Brush.Color = clBlack;
    }
    // Positions are summed in 64 bits: data has no length limit, and a
    // coordinate beyond the int range is clamped rather than wrapped.
    const std::int64_t height = barcode.BarHeight;
    std::int64_t pos = 0;
    for (std::size_t i = 0; i < moduleText.size(); ++i) {
        const char c = moduleText[i];
        std::int64_t w = 0;
        bool bar = false;
        switch (alphabet) {
            case ModuleAlphabet::WidthDigits:
                w = static_cast<std::int64_t>(c - '0') * widths.narrow;
                bar = i % 2 == 0;
                break;
            case ModuleAlphabet::NarrowWideTens:
                w = c == '1' ? widths.wide : widths.narrow;
                bar = (i % 10) % 2 == 0;
                break;
            case ModuleAlphabet::BarSpaceLetters:
                w = c == 'S' || c == 'L' ? widths.wide : widths.narrow;
                bar = c == 's' || c == 'S';
                break;
        }
        if (canvas != nullptr && bar) {
            // Turned counter-clockwise about the anchor (y grows downward);
            // the anchor is the corner where the first bar begins.
            std::int64_t l = x + pos, t = y, r = x + pos + w, b = y + height;
            switch (barcode.Rotation) {
                case 90:
                    l = x, t = y - pos, r = x + height, b = y - pos - w;
                    break;
                case 180:
                    l = x - pos, t = y, r = x - pos - w, b = y - height;
                    break;
                case 270:
                    l = x, t = y + pos, r = x - height, b = y + pos + w;
                    break;
                default:
                    break;
            }
            canvas->FillRect({ClampToInt(l), ClampToInt(t), ClampToInt(r), ClampToInt(b)});
        }
        pos += w;
    }
    if (canvas != nullptr) canvas->Brush.Style = bsClear;
    return ClampToInt(pos);
}

int DrawSymbol(const KcBarcode& barcode, int x, int y, const UnicodeString& data, ModuleTextOf moduleText,
               ModuleAlphabet alphabet) {
    const ElementWidths widths = alphabet == ModuleAlphabet::WidthDigits
                                     ? ElementWidths{NarrowWidth(barcode.Resolution, barcode.Module), 0}
                                     : NarrowAndWideWidths(barcode.Resolution, barcode.Module, barcode.Ratio);
    const std::string text = moduleText(calverdon::Utf16ToCp1252(data, std::nullopt), barcode.AlternateEnd);
    return DrawModuleText(barcode, x, y, text, alphabet, widths);
}

namespace {

struct TypeSettings {
    int minModule;
    int maxModule;
    int module;
    double minRatio;
    double maxRatio;
    double ratio;
};

// Module widths in micrometres, indexed by KBcType.
constexpr std::array<TypeSettings, 4> kTypeSettings = {{
    {330, 500, 375, 2.0, 3.0, 2.25},  // bcCode2of5I
    {330, 500, 400, 2.0, 2.0, 2.0},   // bcCode39
    {381, 530, 460, 2.0, 3.0, 2.25},  // bcCode128
    {330, 500, 460, 2.0, 3.0, 2.25},  // bcEAN128
}};
static_assert(kTypeSettings.size() == bcEAN128 + 1, "settings for every type");

bool KnownType(KBcType type) { return type <= bcEAN128; }

// The symbology operation of the object's type; nothing for an unknown type.
std::optional<int> RunSymbology(KcBarcode& barcode, int x, int y, const UnicodeString& data) {
    switch (barcode.Type) {
        case bcCode2of5I:
            return barcode.Code2of5I(x, y, data);
        case bcCode39:
            return barcode.Code39(x, y, data);
        case bcCode128:
            return barcode.Code128(x, y, data);
        case bcEAN128:
            return barcode.EAN128(x, y, data);
    }
    return std::nullopt;
}

// Shown instead of a symbol that fitting could not make narrow enough.
constexpr char16_t kOverflowMarker[] = u"<+!!!!!+>";
constexpr int kOverflowMarkerSize = 24;  // points

}  // namespace
}  // namespace calverdon::barcode

using namespace calverdon::barcode;

KcBarcode::KcBarcode(TCanvas* canvas, KBcType type, UnicodeString text, int height, bool alternateEnd) {
    Valid = false;
    LockText.clear();
    if (canvas == nullptr) {
        calverdon::MessageBoxW(nullptr, texts::kNoCanvas, texts::kCaption, calverdon::MB_ICONERROR);
        return;
    }
    MeasureOnly = false;
    AlternateEnd = alternateEnd;
    Rotation = 0;
    MaxWidth = 0;
    Canvas = canvas;
    Resolution = canvas->Font.PixelsPerInch;
    LockText = std::move(text);
    BarHeight = height;
    Type = type;
    if (!KnownType(type)) {
        calverdon::MessageBoxW(nullptr, texts::kUnknownType, texts::kCaption, calverdon::MB_ICONERROR);
        return;
    }
    const TypeSettings& s = kTypeSettings[type];
    MinModule = s.minModule;
    MaxModule = s.maxModule;
    Module = s.module;
    MinRatio = s.minRatio;
    MaxRatio = s.maxRatio;
    Ratio = s.ratio;
    // 26 mm in pixels, truncated: 98 at 96 dpi, 307 at 300, 614 at 600.
    if (BarHeight == 0) BarHeight = ClampToInt(static_cast<std::int64_t>(Resolution * 26.0 / 25.4));
    Valid = true;
}

KcBarcode::~KcBarcode() = default;

int KcBarcode::PrintWidth(UnicodeString data) {
    MeasureOnly = true;
    if (!LockText.empty()) return 0;
    // The module width moves one micrometre per step: up while the symbol
    // is narrower than MaxWidth (never again once it has shrunk), down
    // while it is wider, within MinModule and MaxModule.
    bool shrunk = false;
    for (;;) {
        const std::optional<int> measured = RunSymbology(*this, 0, 0, data);
        if (!measured) return 0;
        const int w = *measured;
        if (MaxWidth == 0) return w;
        if (w < MaxWidth) {
            if (Module < MaxModule) {
                if (shrunk) return w;
                ++Module;
            } else if (Module > MaxModule) {
                Module = MaxModule;
            } else {
                return w;
            }
        } else if (w == MaxWidth) {
            return w;
        } else {
            shrunk = true;
            if (Module <= MinModule) return w;
            --Module;
        }
    }
}

int KcBarcode::Print(int x, int y, UnicodeString data) {
    if (!LockText.empty()) return 0;
    // An unknown type draws nothing at all, not even the overflow marker.
    if (!KnownType(Type)) return 0;
    if (MaxWidth != 0) {
        const int w = PrintWidth(data);
        if (Module < MinModule) {
            // Fitting stopped below MinModule with a symbol still too wide.
            if (Canvas != nullptr) {
                const int size = Canvas->Font.Size;
                Canvas->Font.Size = kOverflowMarkerSize;
                Canvas->TextOut(x, y, kOverflowMarker);
                Canvas->Font.Size = size;
            }
            return w;
        }
    }
    MeasureOnly = false;
    return RunSymbology(*this, x, y, data).value_or(0);
}
