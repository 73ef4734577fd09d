// Column headers and SI scaling of the parameters, from the link's own table of starting prefixes.
#include "export/parameter_columns.h"

#include "link/decoding.h"
#include "link/display_lines.h"

namespace Export {

namespace {

constexpr int NoPrefix = 4; // position of "no prefix" among the link's unit prefixes

bool Known(int index) {
    return index >= 0 && index < Device::ParameterCount;
}

} // namespace

int SiExponent(int index) {
    if (!Known(index)) return 0;
    return 3 * (Device::StartingPrefix[index] - NoPrefix);
}

QString SiUnit(int index) {
    static const char *const units[Device::ParameterCount] = {"F", "H", "Ω", "S", "S", "Ω",  "Ω",
                                                              "S", "",  "",  "°", "°", "Hz", "V"};
    return Known(index) ? QString::fromUtf8(units[index]) : QString();
}

QString ColumnHeader(int index) {
    if (!Known(index)) return QString();
    const QString name = QString::fromLatin1(Device::ParameterNames[index]);
    const QString unit = SiUnit(index);
    return unit.isEmpty() ? name : name + QStringLiteral(" (") + unit + QLatin1Char(')');
}

} // namespace Export
