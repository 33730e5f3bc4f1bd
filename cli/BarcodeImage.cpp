// calverdon-cli barcode's image output: the symbol drawn with
// KcBarcode::Print on a white page through QPainter, onto a QImage saved
// as PNG, a QSvgGenerator or a QPdfWriter.

#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRect>
#include <QSize>
#include <QSvgGenerator>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "BarcodeImage.h"
#include "QtCanvas.h"

namespace calverdon::cli {
namespace {

// Painting text needs the font database of a QGuiApplication, and QPdfWriter
// and QSvgGenerator want one too. Files need no screen, so unless the
// caller chose a platform the application runs offscreen.
// Qt's own warnings about the session (no runtime folder, no display
// services) mean nothing for writing a file, so they are held back while
// the command runs; every failure that matters is checked by its result.
class GuiApplicationScope {
public:
    GuiApplicationScope() : previousHandler_(qInstallMessageHandler(DropWarnings)) {
        forwardTo_ = previousHandler_;
        if (QCoreApplication::instance() != nullptr) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    ~GuiApplicationScope() {
        app_.reset();
        qInstallMessageHandler(previousHandler_);
    }
    GuiApplicationScope(const GuiApplicationScope&) = delete;
    GuiApplicationScope& operator=(const GuiApplicationScope&) = delete;

private:
    static void DropWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type != QtCriticalMsg && type != QtFatalMsg) return;
        if (forwardTo_ != nullptr) {
            forwardTo_(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        }
    }

    static inline QtMessageHandler forwardTo_ = nullptr;
    QtMessageHandler previousHandler_;
    int argc_ = 1;
    char name_[14] = "calverdon-cli";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

// Paints the white page and the symbol; returns Print's width.
int Paint(QPainter& painter, KcBarcode& barcode, const ImageLayout& layout, const UnicodeString& data) {
    painter.fillRect(QRect(0, 0, layout.width, layout.height), Qt::white);
    QtCanvas canvas(painter);
    barcode.Canvas = &canvas;
    const int width = barcode.Print(layout.x, layout.y, data);
    barcode.Canvas = nullptr;
    return width;
}

}  // namespace

std::optional<int> WriteBarcodeImage(const BarcodeImage& image, KcBarcode& barcode, const UnicodeString& data) {
    GuiApplicationScope gui;
    const QString file = QString::fromStdString(image.path);
    const ImageLayout& layout = image.layout;
    const int dpi = image.dpi;
    switch (image.format) {
        case ImageFormat::Png: {
            QImage png(layout.width, layout.height, QImage::Format_RGB32);
            const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
            png.setDotsPerMeterX(dotsPerMeter);
            png.setDotsPerMeterY(dotsPerMeter);
            QPainter painter(&png);
            const int width = Paint(painter, barcode, layout, data);
            painter.end();
            if (!png.save(file, "PNG")) return std::nullopt;
            return width;
        }
        case ImageFormat::Svg: {
            QSvgGenerator svg;
            svg.setFileName(file);
            svg.setSize(QSize(layout.width, layout.height));
            svg.setViewBox(QRect(0, 0, layout.width, layout.height));
            svg.setResolution(dpi);
            svg.setTitle(QStringLiteral("Strichcode"));
            QPainter painter;
            if (!painter.begin(&svg)) return std::nullopt;
            const int width = Paint(painter, barcode, layout, data);
            if (!painter.end()) return std::nullopt;
            return width;
        }
        case ImageFormat::Pdf: {
            QPdfWriter pdf(file);
            pdf.setResolution(dpi);
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            // Exact size, so that Qt does not round it to a paper format.
            pdf.setPageSize(QPageSize(QSizeF(layout.width * 72.0 / dpi, layout.height * 72.0 / dpi),
                                      QPageSize::Point, QString(), QPageSize::ExactMatch));
            QPainter painter;
            if (!painter.begin(&pdf)) return std::nullopt;
            const int width = Paint(painter, barcode, layout, data);
            if (!painter.end()) return std::nullopt;
            return width;
        }
    }
    return std::nullopt;
}

}  // namespace calverdon::cli
