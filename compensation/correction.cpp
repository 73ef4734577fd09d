// The correction formulas of a fixture's leads and stray.
#include "compensation/correction.h"

#include <QStringList>

namespace Comp {

Complex Correct(Complex zxm, const Standards &s, unsigned kinds) {
    const bool open = (kinds & OpenCorrection) != 0;
    const bool shorted = (kinds & ShortCorrection) != 0;
    const bool load = (kinds & LoadCorrection) != 0;
    if (open && shorted && load)
        return s.loadTrue * (s.shorted - zxm) * (s.loadMeasured - s.open) /
               ((zxm - s.open) * (s.shorted - s.loadMeasured));
    if (open && shorted) return (zxm - s.shorted) * (s.open - s.shorted) / (s.open - zxm);
    if (open) return zxm * s.open / (s.open - zxm);
    if (shorted) return zxm - s.shorted;
    return zxm;
}

QString CorrectionName(unsigned applied, bool outside) {
    if (outside) return QStringLiteral("outside");
    QStringList parts;
    if (applied & OpenCorrection) parts << QStringLiteral("open");
    if (applied & ShortCorrection) parts << QStringLiteral("short");
    if (applied & LoadCorrection) parts << QStringLiteral("load");
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QLatin1Char('-'));
}

} // namespace Comp
