// A widget as a picture file's bytes: PNG from its pixels, SVG painted anew into a generator so
// that lines and text stay vector. Empty when the picture could not be made.
#pragma once

#include <QByteArray>

class QWidget;

namespace Framework {

QByteArray WidgetPng(QWidget *widget);
QByteArray WidgetSvg(QWidget *widget);

} // namespace Framework
