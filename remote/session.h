// One SCPI client: its input lines, the command table run against the instrument, its error
// queue and status registers, and the answer it holds back while a reading or a list run is due.
// No socket: the server feeds bytes in and takes answers out.
#pragma once

#include "remote/error_queue.h"
#include "remote/instrument.h"
#include "remote/scpi_parser.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <deque>
#include <functional>

namespace Remote {

class Session {
public:
    static constexpr int MaxLine = 64 * 1024;     // a longer line is dropped with -100
    static constexpr int OutputChunk = 64 * 1024; // pump() pauses once this much is waiting
    static constexpr int SilenceMs = 2000;        // no frame for this long: no data, -230
    static constexpr int MaxAveraging = 256;
    static constexpr int MaxListPoints = 201;

    explicit Session(Instrument &instrument);
    ~Session(); // stops a list run this client started
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Bytes from the client. An incomplete line over MaxLine is dropped up to its end.
    void feed(const QByteArray &bytes);
    // Runs queued commands until one is held back, limit commands ran or OutputChunk bytes of
    // answers wait. Returns whether more could run once the answers are taken.
    bool pump(int limit = 256);
    // Looks at the instrument again (a reading, a list change, the clock): a held-back command
    // completes when it can. pump() afterwards runs what follows it.
    void poll();

    QByteArray takeOutput();
    bool holding() const { return static_cast<bool>(held_); }
    // Bytes of complete lines not yet run and of the incomplete line; the server reads more
    // only while this stays under MaxLine.
    int queuedInputBytes() const { return queuedBytes_ + static_cast<int>(partial_.size()); }

    // Handlers of the command table.
    using Parameters = QVector<QByteArray>;
    using Handler = void (Session::*)(const Parameters &);
    struct Entry {
        const char *pattern;
        Handler command; // null: no such command form
        Handler query;   // null: no such query form
    };

private:
    enum class TriggerSource { Internal, Bus, Hold, External };
    enum class ListMode { Sequence, Step };
    struct Measurement {
        bool valid = false;
        Reading reading;
    };
    struct Line {
        QByteArray text;
        bool overlong = false;
    };

    static const QVector<Entry> &Table();

    void runCommand(const ParsedCommand &command);
    const Entry *resolve(const ParsedCommand &command, QVector<QByteArray> &header) const;
    void answer(const QByteArray &text);
    void fail(int code) { errors_.push(code); }
    void hold(std::function<bool()> attempt);
    bool takeLine();
    bool noteSetting(int code); // queues an error or marks a setting change; true on success

    // Parameter helpers: each queues its error and returns false.
    bool oneParameter(const Parameters &p);
    bool noParameter(const Parameters &p);
    bool number(const QByteArray &text, const char *unit, double minimum, double maximum,
                double &value);
    bool boolean(const QByteArray &text, bool &value);
    bool mnemonic(const QByteArray &text, const char *const *forms, int &index);

    // Readings.
    void observe();
    bool lineReady();
    bool silentSince(std::int64_t since) const;
    QByteArray formatMeasurement(const Measurement &m, bool withBin) const;
    bool operationInProgress();
    bool newestReadings(Measurement &m) const;
    void trigger();
    int startListRun();
    void collectFinishedRun();
    bool ownRunGoing() const;
    QByteArray listAnswer();

    // Common commands.
    void idnQuery(const Parameters &);
    void rstCommand(const Parameters &);
    void clsCommand(const Parameters &);
    void eseCommand(const Parameters &);
    void eseQuery(const Parameters &);
    void esrQuery(const Parameters &);
    void stbQuery(const Parameters &);
    void opcCommand(const Parameters &);
    void opcQuery(const Parameters &);
    void waiCommand(const Parameters &);
    void trgCommand(const Parameters &);
    void tstQuery(const Parameters &);
    void errorQuery(const Parameters &);
    void versionQuery(const Parameters &);
    // Settings.
    void frequencyCommand(const Parameters &);
    void frequencyQuery(const Parameters &);
    void levelCommand(const Parameters &);
    void levelQuery(const Parameters &);
    void biasLevelCommand(const Parameters &);
    void biasLevelQuery(const Parameters &);
    void biasStateCommand(const Parameters &);
    void biasStateQuery(const Parameters &);
    void biasSourceCommand(const Parameters &);
    void biasSourceQuery(const Parameters &);
    void functionCommand(const Parameters &);
    void functionQuery(const Parameters &);
    void rangeCommand(const Parameters &);
    void rangeQuery(const Parameters &);
    void autoRangeCommand(const Parameters &);
    void autoRangeQuery(const Parameters &);
    void apertureCommand(const Parameters &);
    void apertureQuery(const Parameters &);
    void formatCommand(const Parameters &);
    void formatQuery(const Parameters &);
    void pageCommand(const Parameters &);
    void pageQuery(const Parameters &);
    void displayEnableCommand(const Parameters &);
    void displayEnableQuery(const Parameters &);
    // Triggering and reading.
    void triggerSourceCommand(const Parameters &);
    void triggerSourceQuery(const Parameters &);
    void triggerCommand(const Parameters &);
    void initiateCommand(const Parameters &);
    void continuousCommand(const Parameters &);
    void continuousQuery(const Parameters &);
    void fetchQuery(const Parameters &);
    void abortCommand(const Parameters &);
    void listFrequencyCommand(const Parameters &);
    void listFrequencyQuery(const Parameters &);
    void listModeCommand(const Parameters &);
    void listModeQuery(const Parameters &);
    // The sweep's plan and its last run.
    void sweepSpacingCommand(const Parameters &);
    void sweepSpacingQuery(const Parameters &);
    void sweepStartCommand(const Parameters &);
    void sweepStartQuery(const Parameters &);
    void sweepStopCommand(const Parameters &);
    void sweepStopQuery(const Parameters &);
    void sweepPointsCommand(const Parameters &);
    void sweepPointsQuery(const Parameters &);
    void sweepDataQuery(const Parameters &);
    void fitQuery(const Parameters &);
    bool sweepBound(const Parameters &p, std::int32_t &hz);
    void planSweep();
    // Holds a query about the last sweep run until that run has ended, then answers it.
    void holdForSweep(std::function<QByteArray(const SweepTable &)> answerOf);

    Instrument &instrument_;

    // Input.
    std::deque<Line> lines_;
    int queuedBytes_ = 0;
    QByteArray partial_;
    bool skipping_ = false;
    QByteArray line_;
    int linePos_ = 0;
    bool inLine_ = false;
    QVector<QByteArray> path_; // the header path the next relative header starts from
    std::function<bool()> held_;
    QByteArray output_;

    // Status.
    ErrorQueue errors_;
    int eventEnable_ = 0;
    bool opcArmed_ = false;
    std::int64_t opcSince_ = 0;

    // Measurement state.
    TriggerSource triggerSource_ = TriggerSource::Internal;
    bool continuous_ = true;
    int function_ = 0;
    int aperture_ = 1; // 0 SHORt, 1 MEDium, 2 LONG
    int averaging_ = 1;
    std::uint64_t changeSequence_ = 0; // readings up to this one came before the last change
    std::int64_t changeTime_ = 0;
    std::deque<Reading> recent_; // the newest readings seen, at most MaxAveraging
    std::int64_t lastReadingTime_ = 0;
    bool triggerActive_ = false;
    std::uint64_t triggerSequence_ = 0;
    std::int64_t triggerTime_ = 0;
    QVector<Reading> triggered_;
    Measurement triggerResult_;
    bool haveTriggerResult_ = false;

    // List measurement.
    bool listPage_ = false;
    ListMode listMode_ = ListMode::Sequence;
    QVector<std::int32_t> listFrequencies_;
    std::uint64_t listRun_ = 0;
    int listRunStep_ = -1; // the point a STEP run measures, -1 for a whole run
    bool listRunCollected_ = true;
    int stepIndex_ = 0;
    QVector<ListPoint> stepPoints_;
    std::int64_t listSince_ = 0;

    // The sweep's plan: SWE:STAR, STOP, POIN and SPAC make the list its planned frequencies.
    bool sweepLog_ = false;
    std::int32_t sweepStart_ = 100;   // Hz
    std::int32_t sweepStop_ = 100000; // Hz
    int sweepPoints_ = 10;
    bool sweepPlanned_ = false; // the list is the plan's (LIST:FREQ gives it its own)
};

} // namespace Remote
