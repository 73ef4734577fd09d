// The other views of a sweep and the sweeps laid over the graph, as plain data: the Nyquist
// plane (−X against R), the Bode pair (|Z| and θ against frequency), and which kept sweeps are
// overlaid in which colour. No widgets; the charts draw what these give.
#pragma once

#include "exchange/sweep_data.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QVector>

#include <optional>

namespace Views {

// Each measurement (status 0) as (R, −X) in ohms, in run order; a point that is no measurement
// or not finite is left out.
QList<QPointF> NyquistPoints(const Exchange::SweepData &data);

struct BodePoints {
    QList<QPointF> magnitude; // (Hz, |Z| in ohms): points with |Z| > 0 only, for a log axis
    QList<QPointF> phase;     // (Hz, θ in degrees)
};

// The measurements of a frequency run against their measured frequency (points at no positive
// frequency left out); nothing for a bias or level run, whose points share one frequency.
std::optional<BodePoints> BodeSeries(const Exchange::SweepData &data);

// Which kept sweeps are laid over the views, at most Limit at once, each in a colour of its own
// that it keeps while others come and go: a new one takes the first colour no other holds.
class OverlaySet {
public:
    static constexpr int Limit = 8;
    enum class Added { Added, AlreadyThere, Full };

    Added add(qint64 id);
    bool remove(qint64 id); // false when it was not there
    void clear() { m_slots.clear(); }
    bool contains(qint64 id) const { return slotOf(id) >= 0; }
    int size() const { return m_slots.size(); }
    bool isEmpty() const { return m_slots.isEmpty(); }
    // In the order added.
    QVector<qint64> ids() const;
    // The overlay's colour; invalid for an id not overlaid.
    QColor colour(qint64 id) const;

private:
    struct Slot {
        qint64 id = 0;
        int colour = 0; // index into the palette
    };
    int slotOf(qint64 id) const;
    QVector<Slot> m_slots;
};

// Colour k (0 … Limit−1) of the overlays: distinct from each other, from the graph's two series
// (fuchsia, lime) and its breaks (yellow), and readable on its black ground.
QColor OverlayColour(int k);

} // namespace Views
