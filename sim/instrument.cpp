// Command handling and reply frames of the simulated meter.
#include "sim/instrument.h"

#include "sim/protocol.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Sim {

namespace {

quint32 readBig32(const QByteArray &bytes, int at) {
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

quint16 readBig16(const QByteArray &bytes, int at) {
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

void writeBig32(QByteArray &bytes, int at, quint32 value) {
    qToBigEndian(value, bytes.data() + at);
}

quint32 floatBits(float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool isKeyCode(quint8 command) {
    return (command >= 5 && command <= 20) || command == Command::Init;
}

} // namespace

Instrument::Instrument(int modelRow, const Component &dut, double noise, quint32 seed)
    : m_model(Sim::model(modelRow)), m_dut(dut), m_noise(noise), m_random(seed) {
    m_state = defaultState();
}

InstrumentState Instrument::defaultState() const {
    InstrumentState s;
    s.frequencyHz = std::clamp<qint32>(1000, m_model.lowestHz, m_model.highestHz);
    return s;
}

QByteArray Instrument::respond(const QByteArray &request) {
    if (request.size() < 2 || quint8(request[0]) != FrameMark) return {};
    const quint8 command = quint8(request[1]);
    if (request.size() != requestLength(command)) return {};

    std::lock_guard<std::mutex> lock(m_mutex);
    if (command == Command::QueryIdentity) return identityReply();
    if (command == Command::ReadMeasurement) return measurementReply();
    apply(command, request);
    QByteArray ack(AckLength, char(FrameMark));
    ack[1] = char(command);
    return ack;
}

void Instrument::apply(quint8 command, const QByteArray &request) {
    InstrumentState &s = m_state;
    switch (command) {
    case Command::SetFrequency: {
        const auto hz = qint32(readBig32(request, 2));
        s.frequencyHz = std::clamp(hz, m_model.lowestHz, m_model.highestHz);
        break;
    }
    case Command::SetBiasVoltage:
        s.biasUnits = readBig16(request, 2);
        s.biasMillivolts = s.biasUnits * m_model.biasStepMillivolts;
        m_bias.set(s.biasUnits, Clock::now());
        break;
    case Command::SetLevel:
        s.levelMillivolts = readBig16(request, 2);
        break;
    case Command::SetRange:
        s.range = std::min(int(quint8(request[2])), 7);
        s.autoRange = false;
        break;
    case Command::AutoRangeOn:
        // Switches auto-ranging on rather than flipping it: the program may believe ranging
        // is off while the meter still ranges, and must not turn it off by asking for it.
        s.autoRange = true;
        break;
    case Command::InternalBias:
    case Command::ExternalBias:
        s.biasExternal = command == Command::ExternalBias;
        break;
    case Command::NormalSpeed:
    case Command::FastSpeed:
        s.speedNormal = command == Command::NormalSpeed;
        break;
    case Command::CurrentMode:
        s.mode = CurrentModeValue;
        break;
    default:
        break;
    }
    if (command == Command::Init) {
        s = defaultState();
        m_bias.reset();
    }
    if (isKeyCode(command)) s.lastKey = command;
}

QByteArray Instrument::identityReply() const {
    QByteArray reply(IdentityReplyLength, '\0');
    reply[0] = char(FrameMark);
    reply[1] = char(Command::QueryIdentity);
    std::memcpy(reply.data() + 2, m_model.identifier, 4);
    return reply;
}

// Through the fixture, without noise, at the bias the source gives at now. Only the part feels
// bias and level; the load standard and the fixture do not.
Impedance Instrument::reading(Clock::time_point now) const {
    const double hz = m_state.frequencyHz;
    std::optional<Impedance> contact;
    switch (m_terminals) {
    case Terminals::Part: {
        // An external source's voltage is unknown to the meter, so the part is read as at 0 V.
        const double biasVolts =
            m_state.biasExternal ? 0.0
                                 : m_bias.appliedUnits(now) * m_model.biasStepMillivolts / 1000.0;
        contact = impedanceAt(m_dut, hz, biasVolts, m_state.levelMillivolts / 1000.0);
        break;
    }
    case Terminals::Load:
        contact = impedanceAt(m_load, hz);
        break;
    case Terminals::Short:
        contact = Impedance{0.0, 0.0};
        break;
    case Terminals::Open:
        break;
    }
    return measuredThrough(m_fixture, contact, hz);
}

Impedance Instrument::measure(Clock::time_point now) {
    Impedance z = reading(now);
    if (m_noise > 0.0) {
        std::normal_distribution<double> gauss(0.0, m_noise);
        z.magnitude *= 1.0 + gauss(m_random);
        z.theta += gauss(m_random);
    }
    return z;
}

QByteArray Instrument::measurementReply() {
    const Clock::time_point now = Clock::now(); // one instant for the bias field and the reading
    if (m_batch) {
        const BatchSlot slot = m_batch->next(now);
        m_terminals = slot.terminals;
        if (slot.terminals == Terminals::Part) m_dut = slot.part;
    }
    const Impedance z = measure(now);
    const double theta = m_model.negatedPhase ? -z.theta : z.theta;
    QByteArray frame(MeasurementReplyLength, '\0');
    frame[0] = char(FrameMark);
    frame[1] = char(Command::ReadMeasurement);
    frame[2] = char(0x80 | (m_state.autoRange ? 0x01 : 0x00));
    frame[3] = char(m_state.mode);
    frame[5] = char(currentRange(now));
    qToBigEndian(m_bias.appliedUnits(now), frame.data() + 6);
    writeBig32(frame, 8, quint32(m_state.frequencyHz));
    writeBig32(frame, 12, floatBits(float(z.magnitude)));
    writeBig32(frame, 16, floatBits(float(theta)));
    return frame;
}

int Instrument::currentRange(Clock::time_point now) const {
    if (!m_state.autoRange) return m_state.range;
    return autoRangeFor(reading(now).magnitude);
}

int Instrument::autoRangeFor(double magnitude) {
    if (!(magnitude >= 10.0)) // also NaN
        return 7;
    return std::clamp(7 - int(std::floor(std::log10(magnitude))), 0, 7);
}

void Instrument::powerOn() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = defaultState();
    m_bias.reset();
}

InstrumentState Instrument::state() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Clock::time_point now = Clock::now();
    InstrumentState s = m_state;
    s.appliedBiasUnits = m_bias.appliedUnits(now);
    s.appliedBiasMillivolts = s.appliedBiasUnits * m_model.biasStepMillivolts;
    s.range = currentRange(now);
    return s;
}

Component Instrument::component() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dut;
}

void Instrument::setComponent(const Component &dut) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dut = dut;
}

void Instrument::setNoise(double fraction) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_noise = fraction;
}

std::chrono::milliseconds Instrument::biasSettle() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bias.settle();
}

void Instrument::setBiasSettle(std::chrono::milliseconds settle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bias.setSettle(settle, Clock::now());
}

Fixture Instrument::fixture() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fixture;
}

void Instrument::setFixture(const Fixture &fixture) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fixture = fixture;
}

Terminals Instrument::terminals() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_terminals;
}

void Instrument::setTerminals(Terminals terminals) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_terminals = terminals;
}

Component Instrument::load() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_load;
}

void Instrument::setLoad(const Component &load) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_load = load;
}

std::shared_ptr<Batch> Instrument::batch() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_batch;
}

void Instrument::setBatch(std::shared_ptr<Batch> batch) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_batch = std::move(batch);
}

QList<double> Instrument::batchValues() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_batch ? m_batch->values() : QList<double>();
}

} // namespace Sim
