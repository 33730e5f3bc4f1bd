#pragma once
// The barcode subcommand's image output, the one part of the tool that
// draws with Qt (its painter and its PDF and SVG writers). It is a library
// of its own (calverdon_cli_barcode_image), so that every other subcommand,
// and the tests that run them, link no Qt: the program hands the writer to
// RunCli, and the subcommand draws through whatever it was given.

#include <optional>
#include <string>

#include <calverdon/Codecommon.h>

namespace calverdon::cli {

enum class ImageFormat { Png, Svg, Pdf };

// The white page in pixels, and the anchor passed to Print.
struct ImageLayout {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
};

struct BarcodeImage {
    ImageFormat format = ImageFormat::Png;
    std::string path;
    int dpi = 300;
    ImageLayout layout;
};

// Draws `data` with `barcode` on the white page of `image` and writes the
// file; returns Print's width, or nothing when the file cannot be written.
using BarcodeImageWriter = std::optional<int> (*)(const BarcodeImage& image, KcBarcode& barcode,
                                                  const UnicodeString& data);

// The writer of calverdon_cli_barcode_image: PNG through QImage, SVG
// through QSvgGenerator, PDF through QPdfWriter.
std::optional<int> WriteBarcodeImage(const BarcodeImage& image, KcBarcode& barcode, const UnicodeString& data);

}  // namespace calverdon::cli
