// The SCPI server's meter carried out by the measuring session: each setting through the same
// session call as the window's control, readings from the frames the tick accepts, list runs
// through the session's sweep run with the list as its point frequencies.
#pragma once

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

    Remote::SweepTable lastSweep() const override;

    Remote::CorrectionState correction() const override;
    int startCorrectionRun(Remote::CorrectionKind kind, double spotHz, std::uint64_t &run) override;
    void stopCorrectionRun() override;
    int setCorrectionEnabled(unsigned kinds) override;
    int setLoadStandard(const Remote::StandardValue &standard) override;

    std::uint32_t connection() const override;
    bool busy() const override;

private:
    bool Ready() const { return lineState() == Remote::LineState::Ready; }
    int Changed(); // the window follows; 0, or HardwareError when nothing could be sent
    void TakeFrame();
    void TakeSweepPoint();
    void TakeSweepEnd();
    void Notify();

    Core::Session &m_session;
    QElapsedTimer m_clock;
    Remote::Reading m_latest;
    Remote::ListState m_list;
    // The compensation runs started here: the latest one's number and how it ended.
    std::uint64_t m_correctionRun = 0;
    bool m_correctionRunning = false;
    bool m_correctionComplete = false;
    bool m_portWasOpen = false;
    int m_biasMillivolts = 0; // the level set, sent while the bias is on
    bool m_biasOn = false;
    // Signals to the server wait for the end of the tick: its answers (and the commands held
    // behind them) must never run inside one.
    QTimer m_notify;
    bool m_readingPending = false;
    bool m_listPending = false;
    bool m_linePending = false;
    bool m_readyPending = false;
};

} // namespace Bridge
