#include "ui/widget_picture.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>

namespace Framework {

namespace {

constexpr int ScreenDpi = 96; // an SVG's size in millimetres that shows it at its pixel size

} // namespace

QByteArray WidgetPng(QWidget *widget) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!widget->grab().toImage().save(&buffer, "PNG")) bytes.clear();
    return bytes;
}

QByteArray WidgetSvg(QWidget *widget) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(widget->size());
    svg.setViewBox(QRect(QPoint(0, 0), widget->size()));
    svg.setResolution(ScreenDpi);
    svg.setTitle(QStringLiteral("Impedix"));
    QPainter painter;
    if (!painter.begin(&svg)) return {};
    widget->render(&painter);
    painter.end();
    return bytes;
}

} // namespace Framework
