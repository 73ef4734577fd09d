// The sweep chart as a picture for a report: a title line above the chart drawn on a light
// ground, at the size asked in pixels, as PNG or SVG bytes. The chart on screen stays as it is.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace Chart {
class SweepChart;
}

namespace Main {

QImage PrintImage(Chart::SweepChart &chart, const QString &title, const QSize &pixels);
// Empty when the picture could not be made.
QByteArray PrintPng(Chart::SweepChart &chart, const QString &title, const QSize &pixels);
QByteArray PrintSvg(Chart::SweepChart &chart, const QString &title, const QSize &pixels);

} // namespace Main
