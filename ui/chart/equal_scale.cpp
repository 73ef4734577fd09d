#include "ui/chart/equal_scale.h"

#include <algorithm>

namespace Chart {

std::pair<Range, Range> EqualScaleRanges(Range xs, Range ys, QSizeF plot, double margin) {
    double width = xs.max - xs.min;
    double height = ys.max - ys.min;
    const double pad = std::max(width, height) * margin;
    width += 2.0 * pad;
    height += 2.0 * pad;
    if (width <= 0.0 && height <= 0.0) width = height = 2.0;
    const double cx = (xs.min + xs.max) / 2.0;
    const double cy = (ys.min + ys.max) / 2.0;
    if (plot.width() > 0.0 && plot.height() > 0.0) {
        // Units per pixel: the larger need of the two axes, given to both.
        const double perPixel = std::max(width / plot.width(), height / plot.height());
        width = perPixel * plot.width();
        height = perPixel * plot.height();
    } else {
        width = std::max(width, height);
        height = width;
    }
    return {{cx - width / 2.0, cx + width / 2.0}, {cy - height / 2.0, cy + height / 2.0}};
}

} // namespace Chart
