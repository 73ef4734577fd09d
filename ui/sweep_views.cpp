// The Nyquist and Bode series of a sweep, and the overlays' colours.
#include "ui/sweep_views.h"

#include <algorithm>
#include <cmath>

namespace Views {

namespace {

constexpr double DegreesPerRadian = 180.0 / M_PI;

} // namespace

QList<QPointF> NyquistPoints(const Exchange::SweepData &data) {
    QList<QPointF> points;
    points.reserve(static_cast<int>(data.points.size()));
    for (const Exchange::SweepPoint &p : data.points) {
        if (p.status != 0) continue;
        const std::complex<double> z = Exchange::Impedance(p);
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) continue;
        points.append(QPointF(z.real(), -z.imag()));
    }
    return points;
}

std::optional<BodePoints> BodeSeries(const Exchange::SweepData &data) {
    if (data.quantity != Sweep::Quantity::Frequency) return std::nullopt;
    BodePoints out;
    for (const Exchange::SweepPoint &p : data.points) {
        if (p.status != 0 || !std::isfinite(p.frequency) || p.frequency <= 0.0) continue;
        const std::complex<double> z = Exchange::Impedance(p);
        const double magnitude = std::abs(z);
        if (!std::isfinite(magnitude)) continue;
        if (magnitude > 0.0) out.magnitude.append(QPointF(p.frequency, magnitude));
        out.phase.append(QPointF(p.frequency, std::arg(z) * DegreesPerRadian));
    }
    return out;
}

OverlaySet::Added OverlaySet::add(qint64 id) {
    if (contains(id)) return Added::AlreadyThere;
    if (m_slots.size() >= Limit) return Added::Full;
    int colour = 0;
    while (std::any_of(m_slots.cbegin(), m_slots.cend(),
                       [colour](const Slot &s) { return s.colour == colour; }))
        ++colour;
    m_slots.append({id, colour});
    return Added::Added;
}

bool OverlaySet::remove(qint64 id) {
    const int k = slotOf(id);
    if (k < 0) return false;
    m_slots.remove(k);
    return true;
}

QVector<qint64> OverlaySet::ids() const {
    QVector<qint64> out;
    for (const Slot &s : m_slots)
        out.append(s.id);
    return out;
}

QColor OverlayColour(int k) {
    static const QColor palette[OverlaySet::Limit] = {
        QColor(0, 200, 255),   // sky blue
        QColor(255, 140, 0),   // orange
        QColor(255, 255, 255), // white
        QColor(255, 70, 70),   // red
        QColor(90, 110, 255),  // blue
        QColor(170, 120, 255), // violet
        QColor(120, 255, 200), // aquamarine
        QColor(200, 160, 110), // tan
    };
    return k >= 0 && k < OverlaySet::Limit ? palette[k] : QColor();
}

QColor OverlaySet::colour(qint64 id) const {
    const int k = slotOf(id);
    return k < 0 ? QColor() : OverlayColour(m_slots[k].colour);
}

int OverlaySet::slotOf(qint64 id) const {
    for (int k = 0; k < m_slots.size(); ++k)
        if (m_slots[k].id == id) return k;
    return -1;
}

} // namespace Views
