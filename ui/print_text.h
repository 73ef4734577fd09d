// What a chart printed for a report says and how it is laid out, from plain data: the title
// line (date, meter, test conditions, the quantities drawn), the sizes offered and the scale at
// which a picture of a given size is drawn.
#pragma once

#include "library/kept_sweep.h"

#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Main {

struct PrintFacts {
    QDateTime when; // shown in local time
    QString model;  // empty: no meter named
    Library::Conditions conditions;
    QStringList quantities; // the titles of the series drawn
};

// "10.12.2026 15:04  ·  KT-41  ·  уровень 1 В, смещение 0 В, …  ·  |Z|, θ": the parts that are
// known, in Russian.
QString PrintTitle(const PrintFacts &facts);

// The sizes offered, in pixels: a screen picture and A4 landscape at 300 dpi first.
struct PrintPreset {
    QString name;
    QSize size;
};
QList<PrintPreset> PrintPresets();
constexpr QSize DefaultPrintSize(1600, 1000);
constexpr int LeastPrintSide = 200;
constexpr int GreatestPrintSide = 10000;

// A stored or typed size as one that can be drawn: each side within the bounds, else the default.
QSize UsablePrintSize(const QSize &size);

// The picture is laid out at a width the screen's fonts read well at and scaled up to the
// pixels asked, so text and lines keep their proportions at any size.
constexpr int PrintLayoutWidth = 1100;
struct PrintLayout {
    double scale = 1.0; // picture pixels per layout pixel
    QSize layout;       // the whole picture in layout pixels
    int titleHeight = 0;
};
PrintLayout PrintGeometry(const QSize &pixels, int lineHeight);

} // namespace Main
