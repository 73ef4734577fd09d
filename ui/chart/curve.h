// A named curve in its own colour, as the Nyquist and Bode views take them.
#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

namespace Chart {

struct Curve {
    QString name;
    QColor colour;
    QList<QPointF> points;
};

} // namespace Chart
