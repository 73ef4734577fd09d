// The measuring session without widgets: the poll timer and its tick, the search, the test
// conditions, the sweep and calibration runs, recording and the watch over the line. A front end
// (the window, the command line) calls these and shows what the signals and results report; the
// module-wide state of units Device and Main stays where it is and is read and written here.
#pragma once

#include "core/message_sink.h"
#include "core/search.h"
#include "core/sweep_plan.h"
#include "core/tick_result.h"

#include "compensation/compensation_data.h"
#include "export/csv.h"
#include "link/reading_status.h"
#include "sorting/part_detector.h"
#include "sorting/sort_log.h"
#include "sorting/sort_plan.h"

#include <QElapsedTimer>
#include <QMap>

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace Exchange {
struct SweepData;
}
namespace Export {
class Recorder;
}
namespace Main {
struct SweepSummary;
}

namespace Core {

constexpr int PollInterval = 40;     // ms, counted from the end of one tick
constexpr int ReopenInterval = 1000; // ms between attempts on a lost port

// What a hand choice of a port found.
// A lost port came back and a known model answered there.
struct Reconnection {
    std::uint32_t connection = 0; // the new connection's number
    int model = 0;                // its row of the model table
    bool sameModel = true;        // the model that was lost; its conditions were sent again
    int sweepPoint = -1;          // the point a run was at (it is measured again), -1 for none
    bool runEnded = false;        // another model: the run it interrupted is over
};

// Accepted frames since the tally was cleared: those that count as readings, and those left
// out, by the code of their status.
struct ReadingTally {
    qint64 counted = 0;
    QMap<int, qint64> leftOut;
    qint64 leftOutTotal() const {
        qint64 sum = 0;
        for (qint64 n : leftOut)
            sum += n;
        return sum;
    }
};

struct PortChoice {
    bool opened = false;   // the port is open
    bool answered = false; // it gave an identity
    QString identity;      // as received
    QString reason;        // why it did not open; empty for "НЕТ" or a success
    unsigned port = 0;     // the number it was opened as
};

class Session : public QObject {
    Q_OBJECT

public:
    // Fills the line settings; polling waits for a search, a range or a sweep to start it.
    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    QTimer tmr; // the measurement timer: 40 ms from the end of one tick to the next

    // ---- Messages: the one path. Polling pauses while a message is up and resumes as it was.
    void SetMessageSink(MessageSink *sink); // not owned; null: messages are dropped
    void Tell(const QString &text);
    bool Ask(const QString &question, const QString &yes, const QString &no);
    // Inside a tick, or while a message or a question is up: what another front end would run
    // from the event loop (a modal loop's among them) must wait for idle().
    bool Busy() const { return m_busy > 0; }

    // ---- Polling
    TickResult Tick();    // one tick; the timer's handler
    void StartPolling();  // sets CycleStarted and enables the timer
    void PausePolling();  // the timer stops until ResumePolling
    void ResumePolling(); // the timer runs again exactly when the cycle has been started
    bool Polling() const { return tmr.isActive(); }
    void Close(); // polling and the reopen attempts stop: nothing more goes out

    // ---- Finding the meter
    // The search of COM1..COM15. On success: the model's frequency window, the controls follow
    // the meter once, polling starts. A damaged identity reply is asked again (identityTries
    // exchanges at most); a silent port is asked once.
    SearchResult Search(int identityTries = IdentityTries);
    // A port chosen by hand: opened and asked, nothing else changes (no model row, no polling).
    PortChoice ChoosePort(unsigned n);
    // A device chosen by its path: the port whose number resolves to it, else COM16 standing
    // for it (Device::SetHandPath); then as ChoosePort.
    PortChoice ChoosePortPath(const QString &path);
    // After COM1..COM15, Search also tries the serial devices the system lists that none of
    // them reached (found there: COM16 stands for it). Off by default: tests and the demo touch
    // no device of the machine's own.
    void SetSearchSystemPorts(bool on) { m_searchSystemPorts = on; }
    // The lost port, tried again (about once a second from the reopen timer): polled only when a
    // known model answers its identity; otherwise closed again and tried later.
    void TryReopenPort();

    // ---- Start-up
    // What the window's program starts from once its first search is done, as unit Main's
    // process-start values have it: no bias, the series circuit, the pair R and Q, and the
    // frequency window 50000 … 100000 Hz in place of the model's that the search set. Nothing is
    // sent.
    void TakeStartingValues();

    // ---- Test conditions, each sent at once (the controls' handlers and the command line)
    void ApplyFrequency(); // CurrentFrequency kept within the window, then sent
    void
    SendSweepFrequency(); // CurrentFrequency sent, 1000 Hz in place of one outside the sweep bounds
    void SetFrequency(std::int32_t hz); // CurrentFrequency := hz, then ApplyFrequency
    // For a front end without the window's fields (a SCPI client): any frequency of the found
    // model, sent as it is; the window's frequency window does not bound it.
    void SetModelFrequency(std::int32_t hz);
    // BiasSetting := mv and sent; false (nothing sent) outside the bias source's range.
    bool SetBias(std::int32_t mv);
    void SelectBiasSource(bool external);
    void SetLevel(int index); // an index of LevelList; others send nothing
    void SelectSpeed(bool normal);
    void SelectRange(int index);          // a fixed range; auto-ranging off
    void SwitchAutoRange(int shownRange); // b_avpon: off at shownRange, or on
    void SetAutoRange(bool on);           // the program's flag only (what the meter reported)
    void SetCircuit(bool series);         // and the taken points derived again in it
    void SetAutoParams(bool on);
    // What the level, speed and bias source were last set to here (the meter's frame does not
    // report them): LevelList's index (-1 before any), the normal speed, the external source.
    int LevelIndex() const { return m_requested.levelIndex; }
    bool NormalSpeed() const { return m_requested.normalSpeed; }
    bool BiasExternal() const { return m_requested.biasExternal; }

    // ---- Where readings come from
    // Counts the openings of a port (a search, a hand choice, a reopen): every reading carries
    // the number of the one it came on.
    std::uint32_t Connection() const { return m_connection; }
    // The conditions last sent (or taken from the meter when the program follows it).
    const Device::RequestedConditions &Requested() const { return m_requested; }
    // The status of the last accepted frame: Normal when it is a reading at those conditions.
    Device::ReadingStatus LastStatus() const { return m_lastStatus; }
    const ReadingTally &Tally() const { return m_tally; }
    // Whether a frequency changed on the meter's own keys becomes the program's (the window's
    // way, the default). Off, what was asked stays asked: such frames are left out.
    void SetFollowMeter(bool on) { m_followMeter = on; }
    void ClearTally() { m_tally = {}; }
    // A front end other than the window changed the conditions: the window's controls follow
    // (session_controls.cpp).
    void AnnounceConditions();

    // ---- Sweep run
    // START's checks, one bound at a time as the fields are read: false, with the message
    // "Неверное значение", when the bound is outside the sweep's bounds. Each sets its bound.
    bool AcceptSweepLow(std::int32_t low);
    bool AcceptSweepHigh(std::int32_t high);
    // The run's settings as a front end chose them: the bounds (FrequencyLow, FrequencyHigh) and
    // N (SweepPoints, limited to 2..SweepCapacity). Each emits sweepSettingsChanged.
    void SetSweepBounds(std::int32_t low, std::int32_t high);
    void SetSweepPoints(int points);
    // START after the checks: F1, the point frequencies (plan's own, or the spacing's from the
    // planner), the first sent, polling on whether or not it had been started. False, with
    // nothing sent, when the planner refuses the run.
    bool StartSweep(int points, Sweep::Spacing spacing = Sweep::Spacing::Linear,
                    const QVector<std::int32_t> &frequencies = {});
    // All of START for a front end without fields.
    bool StartSweep(const SweepPlan &plan);
    // Whether each stored point sends the next point's frequency (the box ChBoF).
    void SetFrequencySweep(bool on) { m_frequencySweep = on; }
    bool FrequencySweep() const { return m_frequencySweep; }

    // ---- Fixture compensation (session_compensation.cpp)
    // The data the readings are corrected by while a kind is on; the fixture's name chooses the
    // file they are kept in, per model.
    const Comp::Compensation &Compensation() const { return m_compensation; }
    void SetCompensationEnabled(unsigned kinds);      // Comp::Kind flags; compensationChanged
    bool SetLoadStandard(const Comp::LoadStandard &); // false, nothing changed, for no standard
    void ClearCompensation(unsigned kinds);           // forgets the readings of those kinds
    void SetFixtureName(const QString &name);
    // The fixture's file for the found model: read (empty text) or refused (why, nothing
    // applied); saved atomically (empty text) or why not.
    QString LoadFixture();
    QString SaveFixture();
    // Measures one kind at the frequencies (rising; the present frequency for a spot), each the
    // mean of `averaging` readings at that frequency, then puts the frequency back and saves the
    // fixture. False (nothing sent) while a sweep or another such run goes, without a meter or
    // frequencies. compensationProgress after each frequency, compensationRunEnded at the end.
    bool StartCompensationRun(Comp::Kind kind, const std::vector<double> &frequencies,
                              int averaging = DefaultAveraging);
    void StopCompensationRun();
    bool CompensationRunning() const { return m_compRun.running; }
    // The correction the last accepted frame had (Comp::Kind flags, Main::CorrectionOutside).
    unsigned LastCorrection() const { return m_lastCorrection; }
    static constexpr int DefaultAveraging = 8;
    Q_SIGNAL void compensationChanged();
    Q_SIGNAL void compensationProgress(int done, int total);
    Q_SIGNAL void compensationRunEnded(bool complete);

    // ---- Sorting parts (session_sorting.cpp)
    // With the comparator on, every reading is shown to the part detector; a part that has
    // become stable gets the plan's verdict, is counted and logged, and partSorted follows, in
    // the tick. SortNow sorts the last reading on demand (no verdict without one at the
    // conditions asked for). Off (the default), nothing of this runs.
    void SetSortPlan(const Sort::Plan &plan, const Sort::DetectorSettings &detector);
    const Sort::Plan &SortPlan() const { return m_sort.plan; }
    const Sort::DetectorSettings &SortDetector() const { return m_sort.detector.settings(); }
    void SetSorting(bool on);
    bool Sorting() const { return m_sort.on; }
    Sort::Verdict SortNow();
    const Sort::Counts &SortCounts() const { return m_sort.counts; }
    const std::vector<Sort::LogEntry> &SortLog() const { return m_sort.log; }
    Sort::Verdict LastVerdict() const { return m_sort.last; } // of the last part sorted
    void ClearSortCounts(); // counts, log and the last verdict; the part detector starts afresh
    Q_SIGNAL void partSorted(const Sort::LogEntry &entry);
    Q_SIGNAL void sortPlanChanged();

    // ---- D calibration run
    bool StartCalibrationRun();
    // The table's file: a file that was not read is named; a save asks before it replaces a
    // file the table does not hold. False when nothing was saved.
    void LoadCalibrationTable();
    bool SaveCalibrationTable();

    // ---- The meter's own keys
    void PressKey(std::uint8_t code);
    void SelectCurrentMode();

    // ---- Recording
    // A message when it cannot start, or when the file began with other columns and the
    // recording goes to a file beside it.
    bool StartRecording(const QString &path, Export::CsvDialect dialect = Export::CommaDialect());
    void StopRecording();
    const Export::Recorder &Recorder() const { return *m_recorder; }
    QString RecordingPath() const { return m_recordPath; }

    // ---- Line watch
    Device::Silence Silence() const;

    // ---- Requests of the window's own controls (session_controls.cpp, session_graph.cpp)
    bool StepBias(bool up);         // the fine step; false, nothing sent, past either end
    bool SetBiasStep(int position); // the coarse step: BiasStep and its level of BiasList, sent
    void SetShownParameter(int slot, int index);     // Param1Index (slot 0) or Param2Index (slot 1)
    void SelectCalibrationCell(int column, int row); // the table's marker
    bool SetAveragingCount(const QString &text);     // false while it is no whole number
    void ClearSweep(); // no run; the points zero over the start-up frequencies of the bounds
    // The shown pair's statistics over the taken points; PlotValues1/2 in the units of the means.
    void SummariseSweep(Main::SweepSummary &summary);
    void StepFrequency(bool up); // the decade-wise step, wrapped within the window, then sent
    // A kept or read sweep shown as the finished run: the graph, statistics, export and fit then
    // work on it. False, nothing changed, while a run goes or for what the store cannot hold.
    bool ShowSweep(const Exchange::SweepData &data);
    Q_SIGNAL void sweepShown();

    // ---- A list run for a front end without fields (a SCPI client): the sweep run over the
    // given frequencies, refused with a reason instead of a message. The program's frequency
    // window and the box ChBoF are put back when the run ends, however it ends (its last point,
    // StopListRun, or another run started over it); listRunEnded() follows.
    enum class ListRefusal {
        None,
        RunGoing,      // a sweep run (anyone's) is going
        NoMeter,       // no known model on an open port
        NoPoints,      // an empty list
        TooManyPoints, // bound: the store's capacity
        BelowBounds,   // bound: the sweep's lowest frequency
        AboveBounds,   // bound: the sweep's highest frequency
        NotStarted,    // START's checks refused the plan
    };
    struct ListRunAnswer {
        ListRefusal refused = ListRefusal::None;
        std::int32_t bound = 0; // the bound the request broke, where there is one
        bool accepted() const { return refused == ListRefusal::None; }
    };
    ListRunAnswer StartListRun(const QVector<std::int32_t> &frequencies);
    bool ListRunGoing() const { return m_listRun; }
    // Stops the list run where it is (sweepStopped, then listRunEnded); nothing without one.
    void StopListRun();
    Q_SIGNAL void sweepStopped(); // a run was stopped before its last point
    // A run is over: its last point taken (complete), or stopped, lost with its meter or
    // started over (not complete). The store still holds its points.
    Q_SIGNAL void runEnded(bool complete);
    Q_SIGNAL void listRunEnded(); // the list run is over; the frequency window is back

    // ---- A run over the DC bias or the test level at the frequency set
    // (session_quantity_runs.cpp) The planner's points (bias rounded to the model's step), each
    // point taken from the first frame at its setting: for bias, one that reports the new bias; for
    // a level, one polled LevelSettleMs after the level was set (the frame does not report it).
    // When the run ends however it ends (its last point, StopRun, Close, another run, the session's
    // end), the bias and the level go back to what they were before it; biasNotRestored when the
    // bias could not.
    enum class RunRefusal {
        None,
        RunGoing,     // a run (anyone's) or a compensation run is going
        NoMeter,      // no known model on an open port
        ExternalBias, // a bias run while the external bias source is selected
        Planner,      // the planner refused the request: `verdict` says what
    };
    struct RunAnswer {
        RunRefusal refused = RunRefusal::None;
        Device::Verdict verdict;
        bool accepted() const { return refused == RunRefusal::None; }
    };
    RunAnswer StartQuantityRun(const Sweep::Request &request);
    bool QuantityRunGoing() const { return m_quantityRun.going; }
    // Any run stopped where it is (sweepStopped; a list run's listRunEnded; a bias or level run's
    // conditions put back). Nothing without a run.
    void StopRun();
    static constexpr int LevelSettleMs = 100;
    // Frames that may disagree with a setting before the program takes it that the meter keeps
    // its own (about a second and a half at the poll interval): a point of a run is given up.
    static constexpr int SettleFrameLimit = 25;
    // The bias could not be set back (the line is gone, or no answer): the last bias sent.
    Q_SIGNAL void biasNotRestored(std::int32_t leftMillivolts);

private:
    void SendRunSetting();
    bool RunPointReached(const TickResult &result) const;
    void EndQuantityRun();
    struct QuantityRun {
        bool going = false;
        Sweep::Quantity quantity = Sweep::Quantity::Frequency;
        bool savedBiasSent = false;
        std::int32_t savedBias = 0; // mV the meter had before the run
        int savedLevelIndex = -1;
        QElapsedTimer sinceSetting; // since the point's setting was sent
    } m_quantityRun;

    void SortFrame(const TickResult &result);
    Sort::Reading LastSortReading(bool measured) const;
    Sort::Verdict TakeVerdict(const Sort::Reading &reading, bool onDemand);
    struct Sorting {
        bool on = false;
        Sort::Plan plan;
        Sort::PartDetector detector;
        Sort::Counts counts;
        std::vector<Sort::LogEntry> log;
        Sort::Verdict last;
        bool haveReading = false; // the last accepted frame is a reading at the conditions
        Sort::Reading reading;    // that reading
    } m_sort;

    void FollowListRunStart();
    void FollowListRunAdvance();
    void EndListRun();
    bool m_listRun = false;      // the running sweep is a front end's list run
    bool m_listStarting = false; // inside StartListRun's own StartSweep
    std::int32_t m_listSavedLow = 0;
    std::int32_t m_listSavedHigh = 0;
    bool m_listSavedFrequencySweep = false;

signals:
    // Inside a tick, in this order, each only when it applies.
    void synchronised();     // the meter's settings were copied into the program's
    void frameAccepted();    // the readouts have a new frame (parameter pair chosen)
    void sweepPointStored(); // a point is in the store, SweepIndex still on it
    void sweepAdvanced();    // SweepIndex has moved on (or the run has ended)
    void ticked(const Core::TickResult &result); // at the end of every tick
    // Outside ticks.
    void autoRangeChanged(bool on);
    void sweepStarted(); // SweepPoints and SweepIndex of the new run are set
    void recordingChanged();
    void meterFound(const Core::SearchResult &result); // a search or a reopen identified a model
    void portRefused(unsigned port); // a lost port came back, but no known model answers there
    void reconnected(const Core::Reconnection &info); // after meterFound, for a reopen
    void conditionsChanged();                         // see AnnounceConditions
    void sweepSettingsChanged();                      // SetSweepBounds or SetSweepPoints
    void idle();                                      // Busy() has become false

private:
    void Synchronise();
    bool FollowInstrumentFrequency();
    TickResult StoreSweepPoint(TickResult result);
    TickResult JudgeSweepPoint(TickResult result);
    Device::ReadingStatus JudgeAccepted(bool *followed);
    void NoteSent(std::uint32_t acknowledged);
    void ResendConditions();
    void NewConnection();
    bool RecordFrame();
    void LinkFound();

    void Run(); // the timer on, no longer paused

    // Busy() for as long as it lives.
    class BusyScope {
    public:
        explicit BusyScope(Session &session) : m_session(session) { ++m_session.m_busy; }
        ~BusyScope() {
            if (--m_session.m_busy == 0) emit m_session.idle();
        }
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        Session &m_session;
    };

    MessageSink *m_sink = nullptr;
    int m_busy = 0;
    bool m_frequencySweep = false;
    bool m_paused = false; // a front end holds polling (typing a frequency): no reopen restarts it
    bool m_searchSystemPorts = false;
    QTimer m_reopen;
    Device::RequestedConditions m_requested;
    std::uint32_t m_connection = 0;
    Device::ReadingStatus m_lastStatus = Device::ReadingStatus::NoData;
    ReadingTally m_tally;
    bool m_followMeter = true;
    bool m_settling = false;       // conditions were sent and no frame has agreed with them yet
    int m_settleFrames = 0;        // frames that disagreed since
    int m_staleFrames = 0;         // frames still to be taken as asked before the last setting
    bool m_checkAutoRange = false; // after a reopen: auto-ranging wanted, the meter not yet seen
    int m_pointMisses = 0;         // frames of a run that could not be its current point
    void CorrectReading();
    void TakeCompensationReading(const TickResult &result);
    void SendCompensationFrequency();
    void EndCompensationRun(bool complete);
    Comp::Compensation m_compensation;
    unsigned m_lastCorrection = 0;
    struct CompensationRun {
        bool running = false;
        Comp::Kind kind = Comp::OpenCorrection;
        std::vector<double> frequencies;
        std::size_t index = 0;
        int averaging = DefaultAveraging;
        Comp::Complex sum;
        int taken = 0;
        int misses = 0;
        std::int32_t savedFrequency = 0;
    } m_compRun;
    QElapsedTimer m_sinceFrame; // since the last accepted frame, or since polling began
    std::unique_ptr<Export::Recorder> m_recorder;
    QString m_recordPath;
};

} // namespace Core
Q_DECLARE_METATYPE(Core::Reconnection)
Q_DECLARE_METATYPE(Sort::LogEntry)
