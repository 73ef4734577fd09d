// The single-byte code page of the calibration file (Windows-1251), the same on every platform.
#pragma once

#include <QByteArray>
#include <QString>

namespace Device {

QString DecodeCp1251(const QByteArray &bytes);
// Characters the code page lacks become '?'.
QByteArray EncodeCp1251(const QString &text);

} // namespace Device
