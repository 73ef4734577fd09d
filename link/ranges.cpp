// Range names as the window and the data files show them.
#include "link/ranges.h"

namespace Device {

QString RangeName(int index) {
    if (index < 0 || index >= RangeCount) return QString();
    return QString::fromLatin1(RangeNames[static_cast<std::size_t>(index)]);
}

} // namespace Device
