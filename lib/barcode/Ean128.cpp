// EAN-128: a Code 128 symbol that begins with Start C and FNC1. Code set C
// is used only while at least four digits, an even number, remain in the
// current run, so a run's last two digits go into code set B.

#include <string>

#include "Code128Table.h"
#include <calverdon/Codecommon.h>
#include "Symbology.h"

namespace calverdon::barcode {

std::vector<int> Ean128Values(std::string_view raw) {
    using namespace code128;
    // Application identifiers are written in parentheses for the reader;
    // they and all blanks are not encoded. Nothing is validated.
    std::string data;
    data.reserve(raw.size());
    for (const char c : raw) {
        if (c != ' ' && c != '(' && c != ')') data += c;
    }

    CheckedValues symbol(kStartC);
    symbol.Append(kFnc1);
    bool setC = true;
    std::size_t p = 0;
    // The end of the digit run that p lies in, found once per run rather
    // than at every pair, so that a long run costs its length and not its
    // square; the digits that remain from p are runEnd - p.
    std::size_t runEnd = 0;
    while (p < data.size()) {
        if (p >= runEnd) runEnd = DigitRunEnd(data, p);
        const std::size_t digits = runEnd - p;
        if (digits >= 4 && digits % 2 == 0) {
            if (!setC) {
                symbol.Append(kCodeC);
                setC = true;
            }
            symbol.Append(10 * (data[p] - '0') + (data[p + 1] - '0'));
            p += 2;
        } else {
            if (setC) {
                symbol.Append(kCodeB);
                setC = false;
            }
            if (const auto value = SetBValue(static_cast<unsigned char>(data[p]))) symbol.Append(*value);
            ++p;
        }
    }
    return std::move(symbol).Finish();
}

}  // namespace calverdon::barcode

using namespace calverdon::barcode;

int KcBarcode::EAN128(int x, int y, UnicodeString data) {
    // Blanks and parentheses are ASCII and map to one byte each, so taking
    // them out after the conversion is the same as before it.
    const auto moduleText = [](std::string_view bytes, bool alternateEnd) {
        return Code128ModuleText(Ean128Values(bytes), alternateEnd);
    };
    return DrawSymbol(*this, x, y, data, moduleText, ModuleAlphabet::WidthDigits);
}
