#include "ui/print_picture.h"

#include "ui/chart/sweep_chart.h"
#include "ui/print_text.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QSvgGenerator>

namespace Main {

namespace {

constexpr int ScreenDpi = 96; // an SVG's size in millimetres that shows it at its pixel size

QFont TitleFont(const Chart::SweepChart &chart) {
    QFont font = chart.font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setBold(true);
    return font;
}

// White ground, the title centred in its band, the chart below it.
void Paint(QPainter &painter, Chart::SweepChart &chart, const QString &title, const QSize &pixels) {
    const QFont font = TitleFont(chart);
    const PrintLayout layout = PrintGeometry(pixels, QFontMetrics(font).height());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(QPoint(0, 0), pixels), Qt::white);
    painter.scale(layout.scale, layout.scale);
    const QRect band(0, 0, layout.layout.width(), layout.titleHeight);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QString shown =
        QFontMetrics(font).elidedText(title, Qt::ElideRight, band.width() - band.height());
    painter.drawText(band, Qt::AlignCenter, shown);
    const QSize chartSize(layout.layout.width(), layout.layout.height() - layout.titleHeight);
    chart.renderForPrint(&painter, QRectF(QPointF(0, layout.titleHeight), QSizeF(chartSize)),
                         chartSize);
}

} // namespace

QImage PrintImage(Chart::SweepChart &chart, const QString &title, const QSize &pixels) {
    const QSize size = UsablePrintSize(pixels);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Paint(painter, chart, title, size);
    return image;
}

QByteArray PrintPng(Chart::SweepChart &chart, const QString &title, const QSize &pixels) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!PrintImage(chart, title, pixels).save(&buffer, "PNG")) bytes.clear();
    return bytes;
}

QByteArray PrintSvg(Chart::SweepChart &chart, const QString &title, const QSize &pixels) {
    const QSize size = UsablePrintSize(pixels);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(ScreenDpi);
    svg.setTitle(title);
    QPainter painter;
    if (!painter.begin(&svg)) return {};
    Paint(painter, chart, title, size);
    painter.end();
    return bytes;
}

} // namespace Main
