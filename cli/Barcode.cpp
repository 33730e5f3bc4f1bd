// calverdon-cli barcode: one symbol drawn with KcBarcode::Print on a white
// image (PNG, SVG or PDF by the file's extension) with a quiet zone around
// it, so that scanners read it. This file measures and lays out the image;
// drawing it is the writer's work (BarcodeImage.h).

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <calverdon/Codecommon.h>
#include "BarcodeImage.h"
#include "Commands.h"
#include "Cp1252.h"
#include "MessageBox.h"
#include "Symbology.h"
#include "Usage.h"

namespace calverdon::cli {
namespace {

const std::map<std::string, KBcType>& TypeNames() {
    static const std::map<std::string, KBcType> names = {
        {"2of5i", bcCode2of5I}, {"code39", bcCode39}, {"code128", bcCode128}, {"ean128", bcEAN128}};
    return names;
}

std::optional<ImageFormat> FormatOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".png") return ImageFormat::Png;
    if (ext == ".svg") return ImageFormat::Svg;
    if (ext == ".pdf") return ImageFormat::Pdf;
    return std::nullopt;
}

// Measures only: KcBarcode takes its resolution from the canvas it is built
// on, before the image that it will draw on exists.
class MeasuringCanvas final : public TCanvas {
public:
    explicit MeasuringCanvas(int dpi) { Font.PixelsPerInch = dpi; }
    void FillRect(const TRect&) override {}
    void TextOut(int, int, const UnicodeString&) override {}
};

// QImage and the raster engine keep coordinates below 2^15; and a PNG page
// is held in memory at 4 bytes a pixel, so 100 million pixels (400 MB) at
// most.
constexpr std::int64_t kMaxImageSide = 32767;
constexpr std::int64_t kMaxImagePixels = 100'000'000;

// The symbol is `length` long along its direction and `bars` high across
// it; the anchor is the corner where the first bar begins, so it moves with
// the rotation to keep the symbol inside the margins.
std::optional<ImageLayout> LayoutFor(int rotation, std::int64_t length, std::int64_t bars, std::int64_t margin) {
    const bool upright = rotation == 90 || rotation == 270;
    const std::int64_t w = (upright ? bars : length) + 2 * margin;
    const std::int64_t h = (upright ? length : bars) + 2 * margin;
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels) return std::nullopt;
    std::int64_t x = margin;
    std::int64_t y = margin;
    switch (rotation) {
        case 90:  // runs upward, bars extend rightward
            y = margin + length;
            break;
        case 180:  // runs leftward, bars extend upward
            x = margin + length;
            y = margin + bars;
            break;
        case 270:  // runs downward, bars extend leftward
            x = margin + bars;
            break;
        default:
            break;
    }
    return ImageLayout{static_cast<int>(w), static_cast<int>(h), static_cast<int>(x), static_cast<int>(y)};
}

}  // namespace

int RunBarcode(const BarcodeOptions& options, Console& console, BarcodeImageWriter writeImage) {
    const std::optional<ImageFormat> format = FormatOf(options.output);
    if (!format) {
        console.err << "Die Ausgabedatei muss auf .png, .svg oder .pdf enden: " << options.output << '\n';
        return kExitUsage;
    }
    // The library's messages belong on this command's error stream.
    ScopedMessageBoxHandler messages([&console](void*, const UnicodeString& text, const UnicodeString& caption,
                                                unsigned) {
        console.err << Utf16ToUtf8(caption) << ": " << Utf16ToUtf8(text) << '\n';
        return IDOK;
    });

    const UnicodeString data = Utf8ToUtf16(options.data);
    MeasuringCanvas measuring(options.dpi);
    KcBarcode barcode(&measuring, TypeNames().at(options.type), UnicodeString(), options.height,
                      options.alternateEnd);
    if (!barcode.Valid) return kExitFailed;
    if (options.module) barcode.Module = *options.module;
    barcode.Rotation = static_cast<std::int16_t>(options.rotation);
    barcode.MaxWidth = options.maxWidth;

    // Measuring first fits the module width, which the margin then follows.
    const int length = barcode.PrintWidth(data);
    const int narrow = barcode::NarrowWidth(barcode.Resolution, barcode.Module);
    const std::int64_t margin = options.margin ? *options.margin : 10 * static_cast<std::int64_t>(narrow);
    const std::optional<ImageLayout> layout = LayoutFor(barcode.Rotation, length, barcode.BarHeight, margin);
    if (!layout) {
        console.err << "Das Bild wäre zu groß: höchstens " << kMaxImageSide << " Pixel in jeder Richtung und "
                    << kMaxImagePixels / 1'000'000 << " Millionen Pixel insgesamt.\n";
        return kExitFailed;
    }

    if (writeImage == nullptr) {
        console.err << "Dieses Programm kann keine Bilder schreiben.\n";
        return kExitFailed;
    }
    const std::optional<int> width =
        writeImage(BarcodeImage{*format, options.output, options.dpi, *layout}, barcode, data);
    if (!width) {
        console.err << "Die Datei " << options.output << " kann nicht geschrieben werden.\n";
        return kExitFailed;
    }
    console.out << *width << '\n';
    if (options.maxWidth != 0 && barcode.Module < barcode.MinModule) {
        console.err << "Der Strichcode passt nicht in " << options.maxWidth
                    << " Pixel; das Bild zeigt statt seiner die Überlaufmarke.\n";
        return kExitFailed;
    }
    return kExitConverted;
}

Command AddBarcodeCommand(CLI::App& app, BarcodeImageWriter writeImage) {
    auto options = std::make_shared<BarcodeOptions>();
    CLI::App* sub = app.add_subcommand("barcode", "Einen Strichcode als PNG, SVG oder PDF zeichnen");
    OneOf(sub->add_option("--type", options->type, "Codeart: code128, ean128, code39 oder 2of5i"),
          {"code128", "ean128", "code39", "2of5i"}, "CODEART")
        ->required();
    WholeNumberIn(sub->add_option("--dpi", options->dpi, "Auflösung in Pixeln je Zoll (Vorgabe 300)"), 1, 9600);
    WholeNumberIn(sub->add_option("--module", options->module, "Modulbreite in Mikrometern (Vorgabe: die der Codeart)"),
                  1, 100000);
    WholeNumberIn(sub->add_option("--height", options->height, "Strichhöhe in Pixeln (Vorgabe 0: 26 mm)"), 0, 30000);
    WholeNumberIn(sub->add_option("--rotation", options->rotation,
                                  "Drehung gegen den Uhrzeigersinn in Grad: 0, 90, 180 oder 270 (andere wie 0)"),
                  std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
    WholeNumberIn(sub->add_option("--max-width", options->maxWidth,
                                  "Größte Breite in Pixeln; passt die Modulbreite an (Vorgabe 0: nicht anpassen)"),
                  0, 30000);
    sub->add_flag("--alternate-end", options->alternateEnd,
                  "Anderes Endmuster (Code 128, EAN-128) bzw. zwei Elemente getauscht (Code 39, 2 aus 5)");
    WholeNumberIn(sub->add_option("--margin", options->margin, "Weißer Rand in Pixeln (Vorgabe: 10 schmale Module)"),
                  0, 30000);
    sub->add_option("-o,--output", options->output, "Ausgabedatei, .png, .svg oder .pdf")->required();
    sub->add_option("DATEN", options->data, "Zu codierender Text")->required();
    return {sub, [options, writeImage](Console& console) { return RunBarcode(*options, console, writeImage); }};
}

}  // namespace calverdon::cli
