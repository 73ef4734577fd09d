// The SCPI server's meter carried out by the measuring session: each setting through the same
// session call as the window's control, readings from the frames the tick accepts, list runs
// through the session's sweep run with the list as its point frequencies, bias and level lists
// through its run over that quantity, or step by step through its setters.
#pragma once

#include "bridge/setting_pacer.h"
#include "remote/instrument.h"

#include <QElapsedTimer>
#include <QTimer>

namespace Core {
class Session;
}

namespace Bridge {

class SessionInstrument : public Remote::Instrument {
    Q_OBJECT
public:
    explicit SessionInstrument(Core::Session &session, QObject *parent = nullptr);
    ~SessionInstrument() override; // a setting a pass of steps left is put back

    Remote::LineState lineState() const override;
    Remote::ModelInfo model() const override;
    Remote::Settings settings() const override;

    int setFrequency(std::int32_t hz) override;
    int setLevel(int millivolts) override;
    int setBiasLevel(int millivolts) override;
    int setBiasState(bool on) override;
    int setBiasSource(bool external) override;
    int setAutoRange(bool on) override;
    int setRange(int index) override;
    int setSpeed(bool normal) override;
    int setSeriesCircuit(bool series) override;
    int applySettings(const Remote::Settings &settings) override;

    Remote::Reading latestReading() const override { return m_latest; }
    std::int64_t nowMs() const override { return m_clock.elapsed(); }

    int startList(const QVector<std::int32_t> &frequencies, std::uint64_t &run) override;
    Remote::ListState listState() const override { return m_list; }
    void abortList() override;
    int startSettingList(Remote::SweptQuantity quantity, const QVector<std::int32_t> &millivolts,
                         std::uint64_t &run) override;
    int startSettingStep(Remote::SweptQuantity quantity, std::int32_t millivolts, bool last,
                         std::uint64_t &run) override;
    void endSettingSteps(std::uint64_t run) override;
    std::uint64_t biasNotRestoredCount() const override { return m_biasLosses; }

    Remote::SweepTable lastSweep() const override;

    Remote::CorrectionState correction() const override;
    int startCorrectionRun(Remote::CorrectionKind kind, double spotHz, std::uint64_t &run) override;
    void stopCorrectionRun() override;
    int setCorrectionEnabled(unsigned kinds) override;
    int setLoadStandard(const Remote::StandardValue &standard) override;

    Remote::ComparatorSettings comparator() const override;
    int setComparator(const Remote::ComparatorSettings &settings) override;
    Remote::BinCounters binCounters() const override { return m_counters; }
    void clearBinCounters() override { m_counters = {}; }
    void sortTriggeredPart() override;
    std::uint64_t sortingBatch() const override;
    void endSortingBatch() override;

    bool runGoing() const override;
    // A run a client started holds the meter's conditions: its list or sweep, a step of its pass
    // (or the setting the pass holds between steps), its compensation run, its sorting batch.
    bool ClientRunGoing() const;
    std::uint64_t conditionsNumber() const override;
    std::uint32_t connection() const override;
    bool busy() const override;

private:
    bool Ready() const { return lineState() == Remote::LineState::Ready; }
    int Changed(); // the window follows; 0, or HardwareError when nothing could be sent
    bool BiasSent(int millivolts) const;
    int Pace(SettingPacer::Kind kind, std::int32_t value, bool onMeter);
    void Send(SettingPacer::Kind kind, std::int32_t value);
    void SendHeld(bool dueOnly = false); // dueOnly: after a tick, only what its cycles allow
    void TakeFrame();
    void TakeSweepPoint();
    Remote::SweepPoint StoredPoint(int i) const;
    void TakeStoredRun();
    void TakeRunStart();
    void TakeRunPoint();
    void TakeContact();
    void TakeSweepEnd();
    void TakeSettingRunEnd();
    void TakeStepFrame(bool counts);
    void EndStep(bool measured);
    void EndPass();
    bool SettingRunOf(Remote::SweptQuantity quantity) const;
    void Notify();

    Core::Session &m_session;
    QElapsedTimer m_clock;
    Remote::Reading m_latest;
    Remote::ListState m_list;
    Remote::SweepTable m_sweep; // the last run's points, of that run only
    bool m_settingRun = false;  // m_list is the core's bias or level run
    // A bias or level list taken step by step: the setting each step sent stays on the meter
    // until the pass ends; then what it was before the first step goes back, as a core run does.
    struct Pass {
        bool held = false;
        Remote::SweptQuantity quantity = Remote::SweptQuantity::Bias;
        std::int32_t savedBias = 0; // mV
        int savedLevelIndex = -1;
        std::uint64_t latestRun = 0; // m_list's number of its latest step
        bool stepGoing = false;      // the step's point is awaited
        bool last = false;           // the pass ends with this step's point
        std::int32_t millivolts = 0; // the step's setting
        QElapsedTimer sinceSetting;
        int misses = 0; // frames that could not be the step's point
    } m_pass;
    std::uint64_t m_biasLosses = 0;
    // The compensation runs started here: the latest one's number and how it ended.
    std::uint64_t m_correctionRun = 0;
    bool m_correctionRunning = false;
    bool m_correctionComplete = false;
    // The comparator as the clients set it, and the bins of the parts the core sorted since the
    // counters were cleared, while counting was on. partCounted: the part in the contacts has
    // been sorted (until openRun open readings in a row took it away).
    Remote::ComparatorSettings m_comparator;
    Remote::BinCounters m_counters{};
    bool m_partCounted = false;
    // The sorting batch a client switched on: its number while the core sorts for it (0 once the
    // comparator went off anywhere, or when the window switched it on).
    std::uint64_t m_batch = 0;
    std::uint64_t m_batches = 0;
    int m_openRun = 0;
    bool m_portWasOpen = false;
    int m_biasMillivolts = 0; // the level set, sent while the bias is on
    bool m_biasOn = false;
    // Client settings paced to the poll; what a cycle held goes out from m_release after a tick.
    SettingPacer m_pacer;
    QTimer m_release;
    // Signals to the server wait for the end of the tick: its answers (and the commands held
    // behind them) must never run inside one.
    QTimer m_notify;
    bool m_readingPending = false;
    bool m_listPending = false;
    bool m_linePending = false;
    bool m_readyPending = false;
};

} // namespace Bridge
