// The simulated meter itself: keeps its settings, measures what sits in its test fixture at the
// set frequency and answers each request frame with the reply frame of the chosen model.
#pragma once

#include "sim/batch.h"
#include "sim/bias_source.h"
#include "sim/component.h"
#include "sim/fixture.h"
#include "sim/models.h"

#include <QByteArray>

#include <chrono>
#include <memory>
#include <mutex>
#include <random>

namespace Sim {

// What the meter has been told so far. Defaults are the power-on state, which INIT (key code 71)
// also restores.
struct InstrumentState {
    qint32 frequencyHz = 1000; // always inside the model's window
    quint16 biasUnits = 0;     // as set: 100 mV (KT-41) or 10 mV steps
    int biasMillivolts = 0;    // biasUnits times the model's step
    // What the internal source gives at the time of state(): the setting once it has settled
    // (Instrument::setBiasSettle), else the one before. Frames report it, and the part feels it.
    quint16 appliedBiasUnits = 0;
    int appliedBiasMillivolts = 0;
    bool biasExternal = false;
    int range = 0; // 0 "10 MOm" .. 7 "1 Om"; in auto-ranging the range |Z| calls for
    bool autoRange = true;
    int levelMillivolts = 1000;
    bool speedNormal = true;
    quint8 mode = 0;  // 0 after INIT, CurrentModeValue after command 'E'
    int lastKey = -1; // last key code (5..20, 71) received; -1 none yet
};

class Instrument {
public:
    // Mode byte reported once the current-measurement command 'E' was received.
    static constexpr quint8 CurrentModeValue = 1;

    // modelRow 0..4 (see models.h; out-of-range rows are clamped). noise is the standard
    // deviation of the relative error added to |Z| and, in radians, to the phase angle;
    // seed makes the noise repeatable.
    explicit Instrument(int modelRow = DefaultModelRow, const Component &dut = {},
                        double noise = 0.0, quint32 seed = 1);

    const ModelInfo &model() const { return m_model; }

    // request: one complete frame (mark, command, payload). Returns the reply frame, or an
    // empty array for a malformed frame, which a real meter would never have framed.
    // Thread-safe.
    QByteArray respond(const QByteArray &request);

    // Switched off and on again: every setting back to its power-on default, as after INIT
    // but with no key remembered. The component, the noise, the fixture, what sits in it and the
    // load standard stay.
    void powerOn();

    InstrumentState state() const;
    Component component() const;
    void setComponent(const Component &dut);
    void setNoise(double fraction);

    // How long a bias setting takes to reach the part (default 0: at once). Until then frames
    // report, and the part feels, the bias given before; a setting while another settles starts
    // a new settle from the bias given then. A change moves the end of a settle under way. It
    // stays across powerOn(), which, like INIT, switches the source to 0 V at once.
    std::chrono::milliseconds biasSettle() const;
    void setBiasSettle(std::chrono::milliseconds settle);

    // The fixture between the meter and its contacts (default none: the part is read as it is),
    // what sits in the contacts (default the part) and the load standard (default nothing, so
    // that Terminals::Load reads as open until one is given). They stay across powerOn().
    Fixture fixture() const;
    void setFixture(const Fixture &fixture);
    Terminals terminals() const;
    void setTerminals(Terminals terminals);
    Component load() const;
    void setLoad(const Component &load);

    // A batch of parts (default none): from then on each measurement request first puts into
    // the contacts what the batch holds at it, a part (which component() then tells) or nothing,
    // so setTerminals() and setComponent() hold only until the next one. It stays across
    // powerOn(); null ends it, leaving the contacts as they are.
    std::shared_ptr<Batch> batch() const;
    void setBatch(std::shared_ptr<Batch> batch);
    // The varied element's value of each part of the batch, in order; empty without one.
    QList<double> batchValues() const;

    // The range auto-ranging picks for |Z|: the decade of |Z| from 10 MOhm (0) down to 1 Ohm (7).
    static int autoRangeFor(double magnitude);

private:
    using Clock = BiasSource::Clock;

    InstrumentState defaultState() const;
    void apply(quint8 command, const QByteArray &request);
    QByteArray identityReply() const;
    QByteArray measurementReply();
    Impedance measure(Clock::time_point now);
    Impedance reading(Clock::time_point now) const;
    int currentRange(Clock::time_point now) const;

    const ModelInfo &m_model;
    mutable std::mutex m_mutex;
    InstrumentState m_state;
    BiasSource m_bias; // its setting is m_state.biasUnits
    Component m_dut;
    Fixture m_fixture;
    Terminals m_terminals = Terminals::Part;
    Component m_load;
    std::shared_ptr<Batch> m_batch; // shared with a meter that comes back in its place
    double m_noise;
    std::mt19937 m_random;
};

} // namespace Sim
