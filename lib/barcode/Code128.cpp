// Code 128 with code sets B and C. Code set C (two digits per symbol
// character) is entered only for a run of at least four digits, an even
// number, and held to the end of that run; everything else is code set B.

#include <string>

#include "Code128Table.h"
#include <calverdon/Codecommon.h>
#include "Symbology.h"

namespace calverdon::barcode {
namespace {

// The leave-code-C test: there is a character at p, and the characters at
// p and p + 1 are not both digits.
bool LeaveCodeCAt(std::string_view data, std::size_t p) {
    if (p >= data.size()) return false;
    return !(code128::IsDigit(data[p]) && p + 1 < data.size() && code128::IsDigit(data[p + 1]));
}

}  // namespace

std::vector<int> Code128Values(std::string_view data) {
    using namespace code128;
    bool setC = EvenDigitRunAt(data, 0);
    CheckedValues symbol(setC ? kStartC : kStartB);
    std::size_t p = 0;
    while (p < data.size()) {
        if (!setC && EvenDigitRunAt(data, p)) {
            symbol.Append(kCodeC);
            setC = true;
        } else if (setC && LeaveCodeCAt(data, p)) {
            symbol.Append(kCodeB);
            setC = false;
        }
        if (setC) {
            // Both are digits: the run was even, and LeaveCodeCAt was false.
            symbol.Append(10 * (data[p] - '0') + (data[p + 1] - '0'));
            p += 2;
        } else {
            // A byte that code set B lacks takes no place and no weight.
            if (const auto value = SetBValue(static_cast<unsigned char>(data[p]))) symbol.Append(*value);
            ++p;
        }
    }
    return std::move(symbol).Finish();
}

std::string Code128ModuleText(const std::vector<int>& values, bool alternateEnd) {
    using namespace code128;
    std::string text;
    text.reserve(values.size() * 6 + 7);
    for (const int v : values) text += kPatterns.at(static_cast<std::size_t>(v));
    text += alternateEnd ? kAlternateEnd : kPatterns[kStop];
    return text;
}

}  // namespace calverdon::barcode

using namespace calverdon::barcode;

int KcBarcode::Code128(int x, int y, UnicodeString data) {
    const auto moduleText = [](std::string_view bytes, bool alternateEnd) {
        return Code128ModuleText(Code128Values(bytes), alternateEnd);
    };
    return DrawSymbol(*this, x, y, data, moduleText, ModuleAlphabet::WidthDigits);
}
