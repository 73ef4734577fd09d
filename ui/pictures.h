#pragma once
// Drawings of the user interface, kept as SVG resources and rendered to pixmaps on demand.

#include <QPixmap>
#include <QSize>
#include <QString>

namespace Framework {

// Renders the SVG resource (for example ":/ui/circuit_cs.svg") into a transparent pixmap of the
// given size in device-independent pixels, sharp on high-density screens. A missing or broken
// resource gives a null pixmap.
QPixmap RenderPicture(const QString &resource, QSize size);

} // namespace Framework
