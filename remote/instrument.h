// What the SCPI command table needs of the meter: the found model, its settings and setters, the
// newest accepted reading and the list run. The measuring core implements it; tests use a fake.
#pragma once

#include "link/capabilities.h"
#include "remote/comparator.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <cstdint>

namespace Remote {

// Error codes that setters return; 0 is success. They go onto the client's error queue as they are.
enum ErrorCode : int {
    NoError = 0,
    CommandError = -100,
    SyntaxError = -102,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    InvalidSuffix = -131,
    InitIgnored = -213,
    SettingsConflict = -221,
    DataOutOfRange = -222,
    IllegalParameterValue = -224,
    DataStale = -230,
    HardwareError = -240,
    QueueOverflow = -350,
    // Device-specific: the line to the meter was lost and came back (or another model answered
    // there); readings after it are of a new connection.
    MeterReconnected = 301,
    // Device-specific: a compensation run a client started ended before every frequency was
    // measured; that kind's data are partial.
    CorrectionIncomplete = 302,
    // Device-specific: a bias or level list ended with the line gone, so the bias it changed could
    // not be set back to what it was before the list.
    BiasNotRestored = 303,
    // Device-specific: the last sweep run was stopped (ABOR, *RST, its client gone, another run)
    // before its last point: SWE:DATA? answers the points it took, FIT? fits none of them.
    RunIncomplete = 304,
};

// What a list steps, and what the program's last run stepped: the frequency, the DC bias or the
// test level (the two at the frequency set).
enum class SweptQuantity { Frequency, Bias, Level };

enum class LineState {
    Ready,    // a meter was found and its line works
    NoMeter,  // no search has found a meter
    LineLost, // the port went away; the core is trying it again
};

struct ModelInfo {
    QString name;                  // display name of the found model, empty when there is none
    QString port;                  // "COM3", empty when there is none
    std::int32_t lowestFrequency;  // Hz
    std::int32_t highestFrequency; // Hz
    int biasStepMillivolts;        // the meter's bias step (its wire scaling)
    // The bounds of a run on this model (its range within the bounds of any run), which do not
    // narrow with the program's frequency window: the window's START takes the same.
    std::int32_t runLowestFrequency = Device::SweepLowestHz;   // Hz
    std::int32_t runHighestFrequency = Device::SweepHighestHz; // Hz
};

struct Settings {
    std::int32_t frequency = 1000; // Hz
    int levelMillivolts = 1000;    // one of the meter's levels
    int biasMillivolts = 0;        // the level set, sent only while biasOn
    bool biasOn = false;
    bool biasExternal = false;
    bool autoRange = true;
    int rangeIndex = 0; // 0 "10 MOm" … 7 "1 Om"
    bool normalSpeed = true;
    bool seriesCircuit = true;
};

// One accepted frame, raw: |Z| in ohms, the angle of Z in radians (as the link corrected it for
// the model), the frequency the frame reported.
struct Reading {
    std::uint64_t sequence = 0; // counts accepted frames from 1; 0 means no reading yet
    std::int64_t timeMs = 0;    // the instrument's monotonic clock when the frame was accepted
    double magnitude = 0.0;
    double phase = 0.0;
    double frequency = 0.0;
    bool overload = false;        // no value to give: status says why
    int status = 0;               // Device::ReadingStatus's code; 0 for a reading, +1 overload
    std::uint32_t connection = 0; // the opening of the port it came on
    std::uint64_t conditions = 0; // the condition set it was taken under (conditionsNumber())
};

struct ListPoint {
    bool measured = false; // false for points an aborted or failed run did not reach
    Reading reading;
};

// One point of the last sweep run: the frequency it was planned at, what its frame reported, and
// the circuit the meter measured it in.
struct SweepPoint {
    double plannedFrequency = 0.0; // Hz; a bias or level run's one frequency
    double plannedSetting = 0.0;   // V: a bias or level run's point, 0 for a frequency run
    bool seriesCircuit = true;
    Reading reading;
};

// The last sweep run of the program, whoever started it (the window's START, the command line, a
// client's list), with the points taken so far.
// Every point is of that one run; the run took its points in order, so points holds the first
// points.size() of planned, and a run that ended with fewer was stopped (aborted, or ended under
// another run).
struct SweepTable {
    bool running = false;
    SweptQuantity quantity = SweptQuantity::Frequency;
    QVector<SweepPoint> points;
    int planned = 0; // the run's points; 0 when it is not known (no run yet)
    bool incomplete() const { return !running && points.size() < planned; }
};

// Fixture compensation as the core keeps it. Kinds are flags.
enum CorrectionKind : unsigned {
    OpenKind = 1,
    ShortKind = 2,
    LoadKind = 4,
};

// The load standard's true value: R + X, or C + D or L + Q in series.
struct StandardValue {
    enum class Form { ResistanceReactance, CapacitanceD, InductanceQ };
    Form form = Form::ResistanceReactance;
    double first = 0.0;  // R (ohm), C (F) or L (H)
    double second = 0.0; // X (ohm), D or Q
};

struct CorrectionState {
    unsigned measured = 0; // the kinds with readings of the found model
    unsigned enabled = 0;  // the kinds switched on
    bool haveStandard = false;
    StandardValue standard;
    std::uint64_t run = 0; // number of the latest run, 0 before the first
    bool running = false;
    bool complete = false; // the latest run measured every frequency
};

struct ListState {
    std::uint64_t run = 0; // number of the latest run, 0 before the first
    bool running = false;
    QVector<ListPoint> points; // one per planned frequency of that run
};

class Instrument : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Instrument() override = default;

    virtual LineState lineState() const = 0;
    virtual ModelInfo model() const = 0;
    virtual Settings settings() const = 0;

    // Each setter goes through the same code as the window's control; the window follows.
    // They return 0 or an ErrorCode (HardwareError without a meter). Bounds are the caller's.
    virtual int setFrequency(std::int32_t hz) = 0;
    virtual int setLevel(int millivolts) = 0;
    virtual int setBiasLevel(int millivolts) = 0; // sent at once only while the bias is on
    virtual int setBiasState(bool on) = 0;        // off sends 0, on the level set
    virtual int setBiasSource(bool external) = 0;
    virtual int setAutoRange(bool on) = 0;
    virtual int setRange(int index) = 0; // a fixed range: auto-ranging goes off
    virtual int setSpeed(bool normal) = 0;
    virtual int setSeriesCircuit(bool series) = 0;
    // All of the settings at once, as the controls would send them (the reset).
    virtual int applySettings(const Settings &settings) = 0;

    virtual Reading latestReading() const = 0;
    virtual std::int64_t nowMs() const = 0; // the clock of Reading::timeMs

    // A list run over the frequencies through the measuring core's run. It returns InitIgnored
    // while a run (of anyone) is going, and sets run to the number the run will carry.
    virtual int startList(const QVector<std::int32_t> &frequencies, std::uint64_t &run) = 0;
    virtual ListState listState() const = 0;
    virtual void abortList() = 0;

    // A list over the DC bias or the test level (mV, as the planner takes them) at the frequency
    // set: through the core's run, which puts the setting back at its end. Two points or more;
    // refused as startList is, SettingsConflict for a bias list while the bias is external,
    // DataOutOfRange for a value the planner refuses. listState() and abortList() follow it.
    virtual int startSettingList(SweptQuantity quantity, const QVector<std::int32_t> &millivolts,
                                 std::uint64_t &run) {
        Q_UNUSED(quantity);
        Q_UNUSED(millivolts);
        Q_UNUSED(run);
        return HardwareError;
    }
    // One point of such a list taken on its own (a step): the setting goes to millivolts and
    // stays there after the point; the first step of a pass remembers what it was, and the step
    // with `last` (or endSettingSteps) puts that back once its point is taken.
    virtual int startSettingStep(SweptQuantity quantity, std::int32_t millivolts, bool last,
                                 std::uint64_t &run) {
        Q_UNUSED(quantity);
        Q_UNUSED(millivolts);
        Q_UNUSED(last);
        Q_UNUSED(run);
        return HardwareError;
    }
    // Puts back the setting a pass of steps left: the pass whose latest step is run, or any
    // pass for run 0. Nothing without one.
    virtual void endSettingSteps(std::uint64_t run) { Q_UNUSED(run); }
    // Counts the times a bias could not be set back after a list (the line was gone).
    virtual std::uint64_t biasNotRestoredCount() const { return 0; }

    virtual SweepTable lastSweep() const = 0;

    // Fixture compensation through the core. A run measures one kind over the compensation grid
    // of the frequencies the program accepts now, or at spotHz alone (when it is above 0); it
    // returns InitIgnored while a run or a sweep goes, HardwareError without a meter, and sets
    // run to the number it will carry. Switching on a kind without its data (the load also
    // without the open's, the short's and a standard) is SettingsConflict, nothing switched.
    virtual CorrectionState correction() const { return {}; }
    virtual int startCorrectionRun(CorrectionKind, double spotHz, std::uint64_t &run) {
        Q_UNUSED(spotHz);
        Q_UNUSED(run);
        return HardwareError;
    }
    virtual void stopCorrectionRun() {}
    virtual int setCorrectionEnabled(unsigned kinds) { return kinds == 0 ? 0 : SettingsConflict; }
    virtual int setLoadStandard(const StandardValue &) { return HardwareError; }

    // The comparator: the meter's one, whichever client (or the window) set it. on is whether
    // the core sorts now. setComparator makes the settings the core's plan in their function's
    // quantities and switches the sorting to on; the caller has checked them
    // (ComparatorRefusal). The counters count each sorted part's bin while counting is on.
    virtual ComparatorSettings comparator() const { return {}; }
    virtual int setComparator(const ComparatorSettings &) { return HardwareError; }
    virtual BinCounters binCounters() const { return {}; }
    virtual void clearBinCounters() {}
    // A trigger's reading, complete and a measurement: the part in the contacts is sorted on it
    // and counted, unless it was sorted already (one part, one count).
    virtual void sortTriggeredPart() {}
    // A sorting batch: the comparator a client switched on sorts for that client, a run of its
    // own like a sweep. The number of the batch going (0 when the comparator is off, or the
    // window switched it on); endSortingBatch switches a client's batch off.
    virtual std::uint64_t sortingBatch() const { return 0; }
    virtual void endSortingBatch() {}

    // Whether a run of anyone's holds the meter's conditions now: a sweep or list run (the
    // window's START included), a step of a bias or level list, a compensation run.
    virtual bool runGoing() const {
        return lastSweep().running || listState().running || correction().running;
    }

    // The number of the condition set that holds the newest setting asked for: a reading whose
    // `conditions` is below it was taken before that setting reached the meter.
    virtual std::uint64_t conditionsNumber() const { return 0; }

    // Counts the openings of the meter's port (a reopen after a lost line included).
    virtual std::uint32_t connection() const { return 0; }

    // True while the program may take no command: a tick, or a message the program put up
    // (whose modal loop would otherwise run commands inside it), is under way. ready() follows.
    virtual bool busy() const { return false; }

signals:
    void readingAccepted(); // a new latestReading()
    void listChanged();     // a list run made progress or ended
    void lineChanged();     // lineState() or model() changed
    void ready();           // busy() has become false
};

} // namespace Remote
