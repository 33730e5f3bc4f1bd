#pragma once
// The parts every symbology shares, internal to the library: element widths
// in pixels, the pure functions that turn data into a module text (one
// character per bar or space, from the first bar to the end of the stop),
// and the one walk that turns a module text into rectangles on the canvas.
// Tests and the command-line tool use these directly; the shared library
// does not publish them.

#include <string>
#include <string_view>
#include <vector>

#include <calverdon/Codecommon.h>

namespace calverdon::barcode {

// The extent of one module in pixels, e = Resolution * Module / 25.4 µm,
// computed in long double and rounded to float: the float step makes
// 300 dpi * 254 µm exactly 3.0 where the long double would be just below.
float ModuleExtent(int resolution, int module);

// Narrow and wide element widths in pixels.
struct ElementWidths {
    int narrow = 0;
    int wide = 0;
};

// The narrow width: the integer part of e plus one, also when e is whole.
int NarrowWidth(int resolution, int module);

// The narrow width and the wide width for the ratio: the integer part of
// e * ratio, raised one pixel at a time until its truncated percentage of
// the narrow width reaches ratio * 100.
ElementWidths NarrowAndWideWidths(int resolution, int module, double ratio);

// Code 128 with code sets B and C: the symbol values from the start
// character to the check value. Bytes that code set B lacks are dropped.
std::vector<int> Code128Values(std::string_view cp1252);
// EAN-128: blanks and parentheses removed, Start C and FNC1, then the data
// with code set C only where at least four digits, an even number, remain.
std::vector<int> Ean128Values(std::string_view cp1252);
// Width digits "1" to "4" for symbol values, followed by the stop or the
// alternate end.
std::string Code128ModuleText(const std::vector<int>& values, bool alternateEnd);

// "0" narrow, "1" wide; ten characters per symbol character, start and stop
// included. Lower case is encoded as upper case; other bytes are dropped.
// The alternate end exchanges the sixth and seventh elements.
std::string Code39ModuleText(std::string_view cp1252, bool alternateEnd);

// "s"/"S" narrow/wide bar, "l"/"L" narrow/wide space. The digits are taken
// in pairs, other bytes skipped; an odd count gets a leading zero. The
// alternate end exchanges the sixth and seventh elements.
std::string Code2of5IModuleText(std::string_view cp1252, bool alternateEnd);

// Code 39 and interleaved 2 of 5 make their alternate end by exchanging
// the sixth and seventh elements; the width stays the same.
void ExchangeSixthAndSeventh(std::string& moduleText);

// How a module text spells its elements.
enum class ModuleAlphabet {
    WidthDigits,      // Code 128, EAN-128: digit = modules; bars at odd places
    NarrowWideTens,   // Code 39: "0"/"1"; bars at places 1, 3, 5, 7, 9 of each ten
    BarSpaceLetters,  // interleaved 2 of 5: "s"/"S" bars, "l"/"L" spaces
};

// Walks the module text once: when drawing is on (MeasureOnly false and a
// canvas) sets a solid black brush, fills each bar at the place Rotation
// gives, and leaves the brush clear. Returns the width in pixels, the same
// whether drawn or not.
int DrawModuleText(const KcBarcode& barcode, int x, int y, std::string_view moduleText, ModuleAlphabet alphabet,
                   ElementWidths widths);

// The module text of Windows-1252 data, with or without the alternate end.
using ModuleTextOf = std::string (*)(std::string_view cp1252, bool alternateEnd);

// What every symbology operation of KcBarcode does: the element widths of
// the object's settings (the narrow one alone for width digits), the data
// in Windows-1252 (characters it cannot hold dropped), its module text with
// the object's end, and the one walk. Returns the width.
int DrawSymbol(const KcBarcode& barcode, int x, int y, const UnicodeString& data, ModuleTextOf moduleText,
               ModuleAlphabet alphabet);

}  // namespace calverdon::barcode
