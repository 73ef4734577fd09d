// Assembly of a simulated meter from its options, and its vanishing and return.
#include "sim/simulator.h"

#include "sim/protocol.h"

namespace Sim {

namespace {

QString returnText(Return how) {
    switch (how) {
    case Return::PowerCycled:
        return QStringLiteral("power-cycled");
    case Return::SecondInstance:
        return QStringLiteral("a second meter");
    case Return::OtherModel:
        return QStringLiteral("another model");
    }
    return {};
}

} // namespace

Simulator::Simulator(const Options &options)
    : m_options(options), m_modelRow(options.modelRow),
      m_host(
          [this](const QByteArray &request) {
              if (request.size() >= 2 && quint8(request[1]) == Command::ReadMeasurement)
                  followControl();
              return m_current.load()->respond(request);
          },
          HostOptions{options.thinkMs, options.paced, options.seed}),
      m_schedule(
          options.vanish, [this] { m_host.hangUpAtNextRequest(); },
          [this] { comeBack(m_options.vanish.how); }) {
    m_instruments.push_back(
        std::make_unique<Instrument>(options.modelRow, options.dut, options.noise, options.seed));
    m_current = m_instruments.back().get();
    m_current.load()->setFixture(options.fixture);
    m_current.load()->setLoad(options.load);
    m_current.load()->setTerminals(options.terminals);
    m_current.load()->setBiasSettle(std::chrono::milliseconds(options.biasSettleMs));
    if (options.batch) m_current.load()->setBatch(std::make_shared<Batch>(*options.batch));
    if (!options.controlPath.isEmpty())
        m_control = std::make_unique<ControlFile>(options.controlPath);
    if (!options.linkPath.isEmpty() || options.vanish.isActive())
        m_link = std::make_unique<StableLink>(options.linkPath);
    if (!options.frame.fields.isEmpty())
        m_host.setFrameOverride(options.frame.fields, options.frame.replies);
    m_host.setReplyObserver([this](const QByteArray &request, const QByteArray &) {
        if (request.size() >= 2 && quint8(request[1]) == Command::ReadMeasurement)
            m_schedule.countReply();
    });
    m_host.setHangUpObserver([this] {
        announce(QStringLiteral("the meter vanished"));
        m_schedule.noteVanished();
    });
}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start() {
    followControl(); // what the file says before the first request
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_host.isServing()) return true;
        if (!m_host.start()) {
            m_error = m_host.errorString();
            return false;
        }
        if (m_link && !m_link->pointAt(m_host.slavePath(), &m_error)) {
            m_host.stop();
            return false;
        }
        m_error.clear();
    }
    m_schedule.start();
    return true;
}

void Simulator::stop() {
    m_schedule.stop(); // first: its thread may be waiting for the lock below
    std::lock_guard<std::mutex> lock(m_mutex);
    m_host.stop();
    if (m_link) m_link->remove();
}

QString Simulator::linkPath() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_link ? m_link->path() : QString();
}

QString Simulator::portPath() const {
    const QString link = linkPath();
    return link.isEmpty() ? slavePath() : link;
}

QString Simulator::errorString() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void Simulator::vanish() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_host.isServing()) return;
        m_host.hangUp();
    }
    announce(QStringLiteral("the meter vanished"));
}

bool Simulator::comeBack(Return how, int modelRow, const std::optional<Component> &dut) {
    QString line;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_host.isServing()) {
            m_error = QStringLiteral("the meter is present");
            return false;
        }
        Instrument *meter = m_current.load();
        if (how == Return::PowerCycled) {
            meter->powerOn();
        } else {
            if (how == Return::OtherModel)
                m_modelRow = modelRow >= 0 ? modelRow
                             : m_options.vanish.returnModelRow >= 0
                                 ? m_options.vanish.returnModelRow
                                 : m_modelRow;
            // Seeded apart, so that a second meter's noise is its own.
            const auto seed = m_options.seed + quint32(m_instruments.size());
            auto next =
                std::make_unique<Instrument>(m_modelRow, meter->component(), m_options.noise, seed);
            next->setFixture(meter->fixture());
            next->setLoad(meter->load());
            next->setTerminals(meter->terminals());
            next->setBiasSettle(meter->biasSettle());
            next->setBatch(meter->batch());
            m_instruments.push_back(std::move(next));
            meter = m_instruments.back().get();
            m_current = meter;
        }
        if (dut) meter->setComponent(*dut);
        if (!m_host.start()) {
            m_error = m_host.errorString();
            return false;
        }
        if (m_link && !m_link->pointAt(m_host.slavePath(), &m_error)) return false;
        line = QStringLiteral("the meter came back (%1) as %2 on %3")
                   .arg(returnText(how), QLatin1String(meter->model().name), m_host.slavePath());
    }
    announce(line);
    return true;
}

// On the serving thread, and in start() before it runs.
void Simulator::followControl() {
    if (!m_control) return;
    const std::optional<ControlFile::Change> change = m_control->poll();
    if (!change) return;
    if (change->terminals) {
        m_current.load()->setTerminals(*change->terminals);
        announce(QStringLiteral("the terminals hold %1 now (%2)")
                     .arg(terminalsName(*change->terminals), m_control->path()));
    } else {
        announce(QStringLiteral("%1: '%2' is not part, open, short or load; the terminals stay")
                     .arg(m_control->path(), change->word.simplified()));
    }
}

void Simulator::setAnnouncer(Announcer announcer) {
    std::lock_guard<std::mutex> lock(m_announcerMutex);
    m_announcer = std::move(announcer);
}

// Also called on the serving thread, which a vanish or a return joins under m_mutex: so never
// under that lock.
void Simulator::announce(const QString &line) {
    Announcer announcer;
    {
        std::lock_guard<std::mutex> lock(m_announcerMutex);
        announcer = m_announcer;
    }
    if (announcer) announcer(line);
}

} // namespace Sim
