// Calls every unit that libcalverdon.so publishes and prints what it got.
// Usage: consumer PATH-OF-THE-LIBRARY
#include <calverdon/Codecommon.h>
#include <calverdon/Dllinfo.h>
#include <calverdon/Phonetik.h>

#include <cstdio>
#include <string>

namespace {

class CountingCanvas final : public TCanvas {
public:
    CountingCanvas() { Font.PixelsPerInch = 96; }
    void FillRect(const TRect&) override { ++fills; }
    void TextOut(int, int, const UnicodeString&) override { ++texts; }
    int fills = 0;
    int texts = 0;
};

std::string Narrow(const UnicodeString& text) {
    std::string out;
    for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    UnicodeString copyright = u"stale";
    const std::string path = argv[1];
    const UnicodeString version = GetDLLInfo(UnicodeString(path.begin(), path.end()), copyright);
    std::printf("version %s copyright-length %zu\n", Narrow(version).c_str(), copyright.size());

    std::printf("phonetik %s\n", Narrow(kPhonetik("M\xfcller", 32767)).c_str());
    std::printf("distance %d\n", DamerauLevenshteinDistance("CA", "ABC"));

    CountingCanvas canvas;
    KcBarcode code128(&canvas, bcCode128, u"", 0, false);
    const int width = code128.PrintWidth(u"12345678");
    const int printed = code128.Print(10, 10, u"12345678");
    std::printf("code128 %d %d fills %d\n", width, printed, canvas.fills);
    code128.MeasureOnly = true;
    std::printf("widths %d %d %d %d\n", code128.Code128(0, 0, u"AB12"), code128.EAN128(0, 0, u"(01)12"),
                code128.Code39(0, 0, u"AB-1"), code128.Code2of5I(0, 0, u"1234"));
    return 0;
}
