// calverdon-cli barcode, run in-process: the printed width, the image size
// with its margin, the three file formats, fitting, the overflow marker and
// wrong usage. Widths are worked out by hand (Code 128 "12345678" is 79
// modules; 6 pixels each at 300 dpi, 2 at 96).

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Console.h"
#include "Zbar.h"

namespace calverdon::cli {
namespace {

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

CliResult RunBarcodeCli(std::vector<std::string> args) {
    args.insert(args.begin(), {"calverdon-cli", "barcode"});
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::istringstream in;
    std::ostringstream out, err;
    Console console{in, out, err};
    const int code = RunCli(static_cast<int>(argv.size()), argv.data(), console, WriteBarcodeImage);
    return {code, out.str(), err.str()};
}

class CliBarcodeTest : public ::testing::Test {
protected:
    std::string PathOf(const char* name) const { return dir_.filePath(name).toStdString(); }
    QTemporaryDir dir_;
};

TEST_F(CliBarcodeTest, PngWithDefaultsHasAMarginOfTenModules) {
    const std::string png = PathOf("a.png");
    const CliResult r = RunBarcodeCli({"--type", "code128", "-o", png, "12345678"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "474\n");
    const QImage image(QString::fromStdString(png));
    // 474 + 2 * 60 by 307 (26 mm at 300 dpi) + 2 * 60.
    EXPECT_EQ(image.size(), QSize(594, 427));
    EXPECT_EQ(std::lround(image.dotsPerMeterX() * 0.0254), 300);
    EXPECT_EQ(image.pixel(59, 60), qRgb(255, 255, 255));  // margin
    EXPECT_EQ(image.pixel(60, 60), qRgb(0, 0, 0));        // first bar
    EXPECT_EQ(image.pixel(60, 367), qRgb(255, 255, 255));  // below the bars
    if (test::ZbarAvailable()) {
        const auto symbols = test::ZbarScan(png, "code128");
        ASSERT_TRUE(symbols && symbols->size() == 1);
        EXPECT_EQ(symbols->front().data, "12345678");
    }
}

TEST_F(CliBarcodeTest, OptionsSetResolutionModuleHeightRotationAndMargin) {
    struct Row {
        const char* name;
        std::vector<std::string> options;
        std::string width;
        QSize size;
    };
    const std::vector<Row> rows = {
        // 96 dpi: narrow 2, 158 pixels; bars 50 high along the image's width.
        {"rotation 90", {"--dpi", "96", "--height", "50", "--margin", "4", "--rotation", "90"}, "158\n",
         QSize(58, 166)},
        {"rotation 180", {"--dpi", "96", "--height", "50", "--margin", "0", "--rotation", "180"}, "158\n",
         QSize(158, 50)},
        // 300 dpi and 254 um make 4 pixels per module: 316.
        {"module 254", {"--module", "254", "--height", "10", "--margin", "1"}, "316\n", QSize(318, 12)},
        // Fitting to 200 pixels ends at 529 um, still 2 pixels per module.
        {"fitted", {"--dpi", "96", "--max-width", "200", "--height", "20"}, "158\n", QSize(198, 60)},
        // Two modules more at the end.
        {"alternate end", {"--dpi", "96", "--alternate-end", "--height", "20", "--margin", "0"}, "162\n",
         QSize(162, 20)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string png = PathOf("b.png");
        std::vector<std::string> args = {"--type", "code128", "-o", png};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back("12345678");
        const CliResult r = RunBarcodeCli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, row.width);
        EXPECT_EQ(QImage(QString::fromStdString(png)).size(), row.size);
    }
}

TEST_F(CliBarcodeTest, SvgIsReadableAfterRendering) {
    const std::string svg = PathOf("c.svg");
    const CliResult r = RunBarcodeCli({"--type", "code39", "-o", svg, "SVG-39"});
    ASSERT_EQ(r.code, 0) << r.err;
    // Code 39 at 300 dpi: narrow 5, wide 10; 8 characters of 65 pixels.
    EXPECT_EQ(r.out, "520\n");
    QSvgRenderer renderer(QString::fromStdString(svg));
    ASSERT_TRUE(renderer.isValid());
    // 520 + 2 * 50 by 307 + 2 * 50.
    EXPECT_EQ(renderer.viewBox(), QRect(0, 0, 620, 407));
    QImage image(620, 407, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    const std::string png = PathOf("c.png");
    ASSERT_TRUE(image.save(QString::fromStdString(png)));
    if (test::ZbarAvailable()) {
        const auto symbols = test::ZbarScan(png, "code39");
        ASSERT_TRUE(symbols && symbols->size() == 1);
        EXPECT_EQ(symbols->front().data, "SVG-39");
    }
}

TEST_F(CliBarcodeTest, PdfPageHasTheImageSize) {
    const std::string pdf = PathOf("d.pdf");
    const CliResult r = RunBarcodeCli({"--type", "2of5i", "--dpi", "72", "-o", pdf, "1234"});
    ASSERT_EQ(r.code, 0) << r.err;
    // 72 dpi, 375 um: e = 1.063, narrow 2, wide 3 -> 4 -> 5 (250 % >= 225 %);
    // 18 * 2 + 9 * 5 = 81 pixels, bars trunc(72 * 26 / 25.4) = 73.
    EXPECT_EQ(r.out, "81\n");
    QFile file(QString::fromStdString(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // At 72 dpi a pixel is a point: 81 + 40 by 73 + 40.
    const QRegularExpression mediaBox(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])");
    const auto match = mediaBox.match(QString::fromLatin1(bytes));
    ASSERT_TRUE(match.hasMatch());
    EXPECT_NEAR(match.captured(1).toDouble(), 121, 0.5);
    EXPECT_NEAR(match.captured(2).toDouble(), 113, 0.5);
}

TEST_F(CliBarcodeTest, OverflowMarkerFailsButShowsTheWidth) {
    const std::string png = PathOf("e.png");
    const CliResult r =
        RunBarcodeCli({"--type", "code128", "--dpi", "96", "--module", "200", "--max-width", "100", "-o", png,
                       "12345678"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "158\n");
    EXPECT_EQ(r.err, "Der Strichcode passt nicht in 100 Pixel; das Bild zeigt statt seiner die Überlaufmarke.\n");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(png)));
}

TEST_F(CliBarcodeTest, WrongUsage) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int code;
        std::string err;  // part of the message
    };
    const std::string dir = dir_.path().toStdString();
    const std::string kTooLarge =
        "Das Bild wäre zu groß: höchstens 32767 Pixel in jeder Richtung und 100 Millionen Pixel insgesamt.\n";
    const std::vector<Row> rows = {
        {"unknown extension", {"--type", "code39", "-o", dir + "/x.gif", "A"}, 2, "muss auf .png, .svg oder .pdf enden"},
        {"unknown type", {"--type", "qr", "-o", dir + "/x.png", "A"}, 2, "qr"},
        {"no output", {"--type", "code39", "A"}, 2, "--output"},
        {"resolution 0", {"--type", "code39", "--dpi", "0", "-o", dir + "/x.png", "A"}, 2, "--dpi"},
        {"missing folder", {"--type", "code39", "-o", dir + "/fehlt/x.png", "A"}, 1,
         "kann nicht geschrieben werden"},
        {"too wide", {"--type", "code128", "--dpi", "9600", "-o", dir + "/x.png", std::string(100, 'A')}, 1,
         kTooLarge},
        // 9600 dpi: narrow 174, "A" 8004 pixels wide, bars 9826 high; with
        // the margins 11484 by 13306, each side allowed but 153 million in all.
        {"too many pixels", {"--type", "code128", "--dpi", "9600", "-o", dir + "/x.png", "A"}, 1, kTooLarge},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CliResult r = RunBarcodeCli(row.args);
        EXPECT_EQ(r.code, row.code);
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

}  // namespace
}  // namespace calverdon::cli
