// A real scanner reads what we draw: symbols rendered through the QPainter
// canvas into PNG files are decoded by zbarimg, an independent decoder, and
// the decoded text is compared with what the data should give.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QString>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <calverdon/Codecommon.h>
#include "Cp1252.h"
#include "QtCanvas.h"
#include "Symbology.h"
#include "Zbar.h"

namespace calverdon {
namespace {

struct ScanRow {
    const char* name;
    KBcType type;
    std::u16string data;
    std::string decoded;  // what zbarimg must read; empty: nothing must be read
    int dpi = 150;
    int rotation = 0;
    bool alternateEnd = false;
};

// A white image with a quiet zone of 10 narrow modules around the symbol.
bool RenderPng(const ScanRow& row, const std::string& path) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(row.dpi / 0.0254));
    scratch.setDotsPerMeterX(dotsPerMeter);
    scratch.setDotsPerMeterY(dotsPerMeter);

    QImage image;
    {
        QPainter probePainter(&scratch);
        QtCanvas probeCanvas(probePainter);
        KcBarcode probe(&probeCanvas, row.type, u"", 0, row.alternateEnd);
        const int length = probe.PrintWidth(row.data);
        const int height = probe.BarHeight;
        const int margin = 10 * barcode::NarrowWidth(probe.Resolution, probe.Module);
        const bool upright = row.rotation == 90 || row.rotation == 270;
        image = QImage((upright ? height : length) + 2 * margin, (upright ? length : height) + 2 * margin,
                       QImage::Format_RGB32);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        image.fill(Qt::white);

        QPainter painter(&image);
        QtCanvas canvas(painter);
        KcBarcode bc(&canvas, row.type, u"", 0, row.alternateEnd);
        bc.Rotation = static_cast<std::int16_t>(row.rotation);
        int x = margin, y = margin;
        if (row.rotation == 90) y = margin + length;
        if (row.rotation == 180) x = margin + length, y = margin + height;
        if (row.rotation == 270) x = margin + height;
        if (bc.Print(x, y, row.data) != length) return false;
    }
    return image.save(QString::fromStdString(path), "PNG");
}

std::string DecoderFor(KBcType type) {
    switch (type) {
        case bcCode2of5I:
            return "i25";
        case bcCode39:
            return "code39";
        default:
            return "code128";
    }
}

std::string ZbarTypeFor(KBcType type) {
    switch (type) {
        case bcCode2of5I:
            return "I2/5";
        case bcCode39:
            return "CODE-39";
        default:
            return "CODE-128";
    }
}

void ScanRows(const std::vector<ScanRow>& rows) {
    if (!test::ZbarAvailable()) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int n = 0;
    for (const ScanRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.filePath(QString("symbol%1.png").arg(++n)).toStdString();
        ASSERT_TRUE(RenderPng(row, path));
        const auto symbols = test::ZbarScan(path, DecoderFor(row.type));
        ASSERT_TRUE(symbols.has_value()) << "zbarimg failed on " << path;
        if (row.decoded.empty()) {
            EXPECT_TRUE(symbols->empty()) << "read as " << (symbols->empty() ? "" : symbols->front().data);
            continue;
        }
        ASSERT_EQ(symbols->size(), 1u);
        const test::ZbarSymbol& s = symbols->front();
        EXPECT_EQ(s.data, row.decoded);
        EXPECT_EQ(s.type, ZbarTypeFor(row.type));
        // zbar marks a Code 128 symbol that starts with FNC1 as GS1.
        EXPECT_EQ(s.modifiers.find("GS1") != std::string::npos, row.type == bcEAN128);
    }
}

TEST(ZbarTest, Code128) {
    ScanRows({
        {"digits in set C", bcCode128, u"12345678", "12345678"},
        {"digits at 96 dpi", bcCode128, u"12345678", "12345678", 96},
        {"digits at 300 dpi", bcCode128, u"12345678", "12345678", 300},
        {"letters and a blank", bcCode128, u"Hello World", "Hello World"},
        {"set B changes to C", bcCode128, u"A12345", "A12345"},
        {"set C changes to B", bcCode128, u"1234AB", "1234AB"},
        {"mixed runs", bcCode128, u"abc123def4567x89012", "abc123def4567x89012"},
        {"all of code set B that is typed", bcCode128,
         u" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ^_`abcdefghijklmnopqrstuvwxyz",
         " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ^_`abcdefghijklmnopqrstuvwxyz"},
        // The German letters take the values of [ \ ] { | } ~, which is what
        // a standard reader reports for them.
        {"German letters", bcCode128, u"ÄÖÜäöüß", "[\\]{|}~"},
        {"umlaut in a word", bcCode128, u"Müller", "M}ller"},
        {"bracket dropped", bcCode128, u"a[b", "ab"},
        {"70 characters", bcCode128, u"Lieferschein 2026-12-09 Nr. 0012345678901234 Lager Nord, Regal 17/B-3",
         "Lieferschein 2026-12-09 Nr. 0012345678901234 Lager Nord, Regal 17/B-3"},
        {"rotation 90", bcCode128, u"Gedreht 90", "Gedreht 90", 150, 90},
        {"rotation 180", bcCode128, u"Gedreht 180", "Gedreht 180", 150, 180},
        {"rotation 270", bcCode128, u"Gedreht 270", "Gedreht 270", 150, 270},
        // The alternate end is no Code 128 stop pattern.
        {"alternate end is not read", bcCode128, u"12345678", "", 150, 0, true},
    });
}

TEST(ZbarTest, Ean128) {
    ScanRows({
        {"GTIN", bcEAN128, u"(01)12345678901234", "0112345678901234"},
        {"batch with letters", bcEAN128, u"(10)ABC123", "10ABC123"},
        {"digits, last two in set B", bcEAN128, u"123456", "123456"},
        {"odd digit run", bcEAN128, u"(21)12345", "2112345"},
        // No FNC1 separates the element strings: they are read as one.
        {"three element strings", bcEAN128, u"(01)09501101530008(17)251231(10)AB-12",
         "01095011015300081725123110AB-12"},
        {"blanks and unpaired parenthesis", bcEAN128, u"(21) 12 34 (", "211234"},
        {"rotation 270", bcEAN128, u"(10)ABC123", "10ABC123", 150, 270},
        {"alternate end is not read", bcEAN128, u"(10)ABC123", "", 150, 0, true},
    });
}

TEST(ZbarTest, Code39) {
    ScanRows({
        {"letters, dash and digits", bcCode39, u"CODE-39", "CODE-39"},
        {"lower case as capitals", bcCode39, u"abc 123", "ABC 123"},
        {"dollar, slash, plus and percent", bcCode39, u"A$B/C+D%E", "A$B/C+D%E"},
        {"full stop and asterisk dropped", bcCode39, u"1.5*", "15"},
        {"umlaut dropped", bcCode39, u"MÜLLER", "MLLER"},
        {"at 96 dpi", bcCode39, u"K96", "K96", 96},
        {"72 characters", bcCode39,
         u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ",
         "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {"rotation 90", bcCode39, u"UP", "UP", 150, 90},
        // The start character's sixth and seventh elements are exchanged,
        // so the start is no longer an asterisk.
        {"alternate end is not read", bcCode39, u"CODE-39", "", 150, 0, true},
    });
}

TEST(ZbarTest, Interleaved2of5) {
    ScanRows({
        {"two pairs", bcCode2of5I, u"1234", "1234"},
        {"three pairs", bcCode2of5I, u"123456", "123456"},
        {"odd count gets a leading zero", bcCode2of5I, u"12345", "012345"},
        {"non-digits skipped", bcCode2of5I, u"x12-34y", "1234"},
        {"at 96 dpi", bcCode2of5I, u"909090", "909090", 96},
        {"at 300 dpi", bcCode2of5I, u"0099", "0099", 300},
        {"40 digits", bcCode2of5I, u"0123456789012345678901234567890123456789",
         "0123456789012345678901234567890123456789"},
        {"rotation 180", bcCode2of5I, u"5678", "5678", 150, 180},
        // The first pair's first space and second bar trade places: two bars
        // touch, and the pair is no 2 of 5 pattern any more.
        {"alternate end is not read", bcCode2of5I, u"123456", "", 150, 0, true},
    });
}

}  // namespace
}  // namespace calverdon
