// Fuzz target for the RTF reader. Checked beyond the sanitizers: the
// output is valid UTF-8, holds no line feed inside a paragraph, and every
// format stays within the limits the reader promises.
#include <cstdint>
#include <string_view>

#include "Cp1252.h"
#include "FuzzSupport.h"
#include "Rtf.h"

namespace {

using calverdon::fuzz::Require;

bool ValidUtf8(std::string_view s) { return calverdon::Utf16ToUtf8(calverdon::Utf8ToUtf16(s)) == s; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const calverdon::rtf::Document doc = calverdon::rtf::Parse(input);
    for (const auto& paragraph : doc.paragraphs) {
        Require(ValidUtf8(paragraph.listText), "list text is not UTF-8");
        for (const auto& run : paragraph.runs) {
            Require(!run.text.empty(), "empty run");
            Require(ValidUtf8(run.text), "run text is not UTF-8");
            Require(run.text.find('\n') == std::string_view::npos, "line feed inside a paragraph");
            Require(ValidUtf8(run.format.fontFamily), "font name is not UTF-8");
            Require(run.format.fontSizeHalfPoints >= 2 && run.format.fontSizeHalfPoints <= 3276,
                    "font size out of range");
        }
    }
    return 0;
}
