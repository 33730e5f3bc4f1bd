// Fuzz target for the barcode library. The first eight bytes choose the
// settings (type, rotation, resolution, module, ratio, largest width,
// alternate end, bar height), the rest is the data in Windows-1252.
// Checked: every module text uses only its alphabet and has the shape of
// its symbology, Code 128 values are symbol values, and drawing returns the
// width that measuring returned, whatever the settings.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <calverdon/Codecommon.h>
#include "Cp1252.h"
#include "MessageBox.h"
#include "RecordingCanvas.h"
#include "Symbology.h"

namespace {

using namespace calverdon::barcode;

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckWidthDigits(const std::vector<int>& values, const std::string& text) {
    Check(values.size() >= 2);
    for (const int v : values) Check(v >= 0 && v <= 105);
    Check(text.size() == values.size() * 6 + 7);
    for (const char c : text) Check(c >= '1' && c <= '4');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const calverdon::ScopedMessageBoxHandler silent(
        [](void*, const UnicodeString&, const UnicodeString&, unsigned) { return calverdon::IDOK; });
    if (size < 8) return 0;
    constexpr std::array<std::int16_t, 6> rotations = {0, 90, 180, 270, 45, -90};
    const auto type = static_cast<KBcType>(data[0] % 5);  // 4 is no type
    const std::int16_t rotation = rotations[data[1] % rotations.size()];
    const int dpi = 1 + data[2] * 8;
    const int module = static_cast<std::int8_t>(data[3]) * 8;  // also negative
    const double ratio = data[4] / 32.0;
    const int maxWidth = data[5] * 16;
    const bool alternateEnd = (data[6] & 1) != 0;
    const int height = data[7];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 8), size - 8);

    const std::vector<int> values128 = Code128Values(bytes);
    Check(values128[0] == 104 || values128[0] == 105);
    CheckWidthDigits(values128, Code128ModuleText(values128, alternateEnd));
    const std::vector<int> valuesEan = Ean128Values(bytes);
    Check(valuesEan[0] == 105 && valuesEan[1] == 102);
    CheckWidthDigits(valuesEan, Code128ModuleText(valuesEan, alternateEnd));
    const std::string text39 = Code39ModuleText(bytes, alternateEnd);
    Check(text39.size() % 10 == 0 && text39.size() >= 20);
    for (const char c : text39) Check(c == '0' || c == '1');
    const std::string text25 = Code2of5IModuleText(bytes, false);  // the alternate end puts a space before a bar
    Check(text25.size() % 10 == 7);
    for (std::size_t i = 0; i < text25.size(); ++i) {
        // Bars and spaces alternate, bar first.
        const char c = text25[i];
        Check(i % 2 == 0 ? (c == 's' || c == 'S') : (c == 'l' || c == 'L'));
    }

    calverdon::RecordingCanvas canvas(dpi);
    KcBarcode bc(&canvas, type, u"", height, alternateEnd);
    if (module != 0) bc.Module = module;
    bc.Ratio = ratio;
    bc.Rotation = rotation;
    bc.MaxWidth = maxWidth;
    const UnicodeString text = calverdon::Cp1252ToUtf16(bytes);
    const int measured = bc.PrintWidth(text);
    Check(bc.MeasureOnly);
    Check(canvas.fills.empty() && canvas.texts.empty());
    const int drawn = bc.Print(0, 0, text);
    Check(drawn == measured);
    Check(canvas.texts.empty() || canvas.fills.empty());
    if (!canvas.fills.empty()) Check(canvas.Brush.Style == bsClear && canvas.Brush.Color == clBlack);
    return 0;
}
