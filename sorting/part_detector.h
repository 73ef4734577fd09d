// One part, one verdict: from the readings of a fixture that parts are put into and taken out of,
// when a part sits there stably enough to be sorted, and when it has been taken away again. Pure:
// it sees one reading at a time.
#pragma once

#include <deque>

namespace Sort {

struct DetectorSettings {
    // A reading is open terminals when the meter reports an overload or |Z| lies above this:
    // 10 MOhm, what open contacts with a few pF of stray capacitance read up to 100 kHz. Parts
    // of higher impedance need a higher threshold.
    double openOhms = 1e7;
    int stablePolls = 3;           // readings in a row that agree
    double stableTolerance = 2e-3; // relative spread of |Z| among them
    int openPolls = 2;             // open readings in a row that take the part away
};

// What a reading tells the detector.
enum class Contact {
    Open,   // the meter's overload, or |Z| above openOhms
    Part,   // a measurement of something in the contacts
    Ignore, // no measurement at the conditions asked for (another frequency, stale…): not seen
};

class PartDetector {
public:
    enum class State {
        Empty,    // open terminals (or nothing seen yet): waiting for a part
        Settling, // a part is in, its readings not yet stable
        Sorted,   // the part has its verdict: waiting for it to be taken away
    };

    explicit PartDetector(const DetectorSettings &settings = {}) : m_settings(settings) {}

    // Whether a reading is open terminals, a part, or neither.
    Contact Classify(bool overloaded, bool measured, double magnitude) const;

    // One reading: true exactly when a part became stable with it (it is to be sorted now, on
    // this reading's values). Nothing is sorted twice until open terminals were seen in between.
    bool Feed(Contact contact, double magnitude);

    // A part sorted on demand: it counts as sorted until it is taken away.
    void MarkSorted();
    void Reset();
    State state() const { return m_state; }
    const DetectorSettings &settings() const { return m_settings; }
    void setSettings(const DetectorSettings &settings);

private:
    bool Stable() const;
    DetectorSettings m_settings;
    State m_state = State::Empty;
    std::deque<double> m_recent; // the last |Z| of the part
    int m_openRun = 0;
};

} // namespace Sort
