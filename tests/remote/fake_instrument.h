// A meter for the SCPI tests: settings kept as the core would keep them, a synthetic part (a
// resistor in series with a capacitor) read at the set frequency, a clock the test moves or the
// real one, and a list run that takes one reading per point.
#pragma once

#include "remote/instrument.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cmath>

namespace Fake {

struct Part {
    double resistance = 50.0;    // ohms
    double capacitance = 100e-9; // farads
    // Z at f: R - j / (2 pi f C)
    double magnitude(double f) const { return std::hypot(resistance, reactance(f)); }
    double phase(double f) const { return std::atan2(reactance(f), resistance); }
    double reactance(double f) const { return -1.0 / (2.0 * M_PI * f * capacitance); }
};

class Instrument : public Remote::Instrument {
public:
    Remote::LineState line = Remote::LineState::Ready;
    Remote::ModelInfo info{"KT-43", "COM3", 25, 3000000, 10, 25, 3000000};
    Remote::Settings state;
    Part part;
    bool overload = false;
    bool realClock = false;
    std::int64_t clock = 100000; // ms, moved by the test unless realClock
    QStringList calls;           // what the setters were asked, in order
    bool busyNow = false;        // see becomeReady()

    Instrument() { elapsed_.start(); }

    Remote::LineState lineState() const override { return line; }
    Remote::ModelInfo model() const override { return info; }
    Remote::Settings settings() const override { return state; }

    int setFrequency(std::int32_t hz) override { return set("FREQ", hz, state.frequency, hz); }
    int setLevel(int mv) override { return set("LEVEL", mv, state.levelMillivolts, mv); }
    int setBiasLevel(int mv) override { return set("BIAS", mv, state.biasMillivolts, mv); }
    int setBiasState(bool on) override { return set("BIASON", on, state.biasOn, on); }
    int setBiasSource(bool ext) override { return set("BIASEXT", ext, state.biasExternal, ext); }
    int setAutoRange(bool on) override { return set("AUTO", on, state.autoRange, on); }
    int setRange(int index) override {
        if (line != Remote::LineState::Ready) return Remote::HardwareError;
        state.autoRange = false;
        return set("RANGE", index, state.rangeIndex, index);
    }
    int setSpeed(bool normal) override { return set("NORMAL", normal, state.normalSpeed, normal); }
    int setSeriesCircuit(bool s) override { return set("SERIES", s, state.seriesCircuit, s); }
    int applySettings(const Remote::Settings &s) override {
        if (line != Remote::LineState::Ready) return Remote::HardwareError;
        state = s;
        calls << QStringLiteral("APPLY");
        return 0;
    }

    Remote::Reading latestReading() const override { return latest_; }
    std::int64_t nowMs() const override { return realClock ? elapsed_.elapsed() : clock; }

    int startList(const QVector<std::int32_t> &frequencies, std::uint64_t &run) override {
        if (list_.running) return Remote::InitIgnored;
        if (line != Remote::LineState::Ready) return Remote::HardwareError;
        listFrequencies_ = frequencies;
        listQuantity = Remote::SweptQuantity::Frequency;
        list_.run += 1;
        list_.running = true;
        list_.points = QVector<Remote::ListPoint>(frequencies.size());
        run = list_.run;
        listNext_ = 0;
        return 0;
    }
    Remote::ListState listState() const override { return list_; }
    void abortList() override {
        list_.running = false;
        emit listChanged();
    }

    // Bias and level lists: a whole list runs as a frequency list at the set frequency would; a
    // step is a list of one whose setting stays until the pass ends. What was asked is kept.
    Remote::SweptQuantity listQuantity = Remote::SweptQuantity::Frequency;
    QVector<std::int32_t> listSettings; // mV of the last setting list or step
    QStringList steps;                  // "BIAS 1000", "VOLT 500 LAST" per step asked
    QList<std::uint64_t> passEnds;      // endSettingSteps' argument per call
    std::uint64_t biasLosses = 0;
    int startSettingList(Remote::SweptQuantity quantity, const QVector<std::int32_t> &millivolts,
                         std::uint64_t &run) override {
        if (quantity == Remote::SweptQuantity::Bias && state.biasExternal)
            return Remote::SettingsConflict;
        const int code = startList(QVector<std::int32_t>(millivolts.size(), state.frequency), run);
        if (code == 0) {
            listQuantity = quantity;
            listSettings = millivolts;
        }
        return code;
    }
    int startSettingStep(Remote::SweptQuantity quantity, std::int32_t millivolts, bool last,
                         std::uint64_t &run) override {
        if (quantity == Remote::SweptQuantity::Bias && state.biasExternal)
            return Remote::SettingsConflict;
        const int code = startList({state.frequency}, run);
        if (code != 0) return code;
        listQuantity = quantity;
        listSettings = {millivolts};
        steps << QStringLiteral("%1 %2%3")
                     .arg(quantity == Remote::SweptQuantity::Bias ? "BIAS" : "VOLT")
                     .arg(millivolts)
                     .arg(last ? " LAST" : "");
        return 0;
    }
    void endSettingSteps(std::uint64_t run) override { passEnds << run; }
    std::uint64_t biasNotRestoredCount() const override { return biasLosses; }

    // Compensation: a run takes its data with the next frame, or ends incomplete when
    // failCorrection is set.
    Remote::CorrectionState compensation;
    bool failCorrection = false;
    QVector<double> correctionSpots; // the spot frequency of each run started, 0 for the grid
    Remote::CorrectionState correction() const override { return compensation; }
    int startCorrectionRun(Remote::CorrectionKind kind, double spotHz,
                           std::uint64_t &run) override {
        if (line != Remote::LineState::Ready) return Remote::HardwareError;
        if (compensation.running || list_.running) return Remote::InitIgnored;
        compensation.run += 1;
        compensation.running = true;
        compensation.complete = false;
        correctionKind_ = kind;
        correctionSpots << spotHz;
        run = compensation.run;
        return 0;
    }
    void stopCorrectionRun() override { endCorrection(false); }
    int setCorrectionEnabled(unsigned kinds) override {
        if ((kinds & ~compensation.measured) != 0) return Remote::SettingsConflict;
        compensation.enabled = kinds;
        return 0;
    }
    int setLoadStandard(const Remote::StandardValue &standard) override {
        if (standard.first == 0.0 && standard.second == 0.0) return Remote::DataOutOfRange;
        compensation.standard = standard;
        compensation.haveStandard = true;
        return 0;
    }

    bool busy() const override { return busyNow; }

    // The comparator as it was set; triggeredSorts counts the parts a trigger had sorted.
    Remote::ComparatorSettings comparatorSettings;
    Remote::BinCounters counters{};
    int triggeredSorts = 0;
    Remote::ComparatorSettings comparator() const override { return comparatorSettings; }
    int setComparator(const Remote::ComparatorSettings &s) override {
        if (!comparatorSettings.on && s.on) batch = ++batches;
        if (!s.on) batch = 0;
        comparatorSettings = s;
        return 0;
    }
    // A batch is numbered when a client switches the comparator on.
    std::uint64_t batches = 0;
    std::uint64_t batch = 0;
    std::uint64_t sortingBatch() const override { return comparatorSettings.on ? batch : 0; }
    void endSortingBatch() override {
        comparatorSettings.on = false;
        batch = 0;
    }
    Remote::BinCounters binCounters() const override { return counters; }
    void clearBinCounters() override { counters = {}; }
    void sortTriggeredPart() override { ++triggeredSorts; }
    void becomeReady() {
        busyNow = false;
        emit ready();
    }

    // The list run stands for the program's last sweep run.
    Remote::SweepTable lastSweep() const override {
        Remote::SweepTable table;
        table.running = list_.running;
        table.quantity = listQuantity;
        table.planned = list_.points.size();
        for (int i = 0; i < list_.points.size() && list_.points[i].measured; ++i) {
            const double setting =
                listQuantity == Remote::SweptQuantity::Frequency ? 0.0 : listSettings[i] / 1000.0;
            table.points.append({static_cast<double>(listFrequencies_[i]), setting,
                                 state.seriesCircuit, list_.points[i].reading});
        }
        return table;
    }

    // One accepted frame at the set frequency (or the list run's), time moved by ms first.
    void deliver(std::int64_t ms = 40) {
        clock += ms;
        double f = state.frequency;
        const bool listPoint = list_.running && listNext_ < listFrequencies_.size();
        if (listPoint) f = listFrequencies_[listNext_];
        latest_.sequence += 1;
        latest_.timeMs = nowMs();
        latest_.magnitude = part.magnitude(f);
        latest_.phase = part.phase(f);
        latest_.frequency = f;
        latest_.overload = overload;
        if (listPoint) {
            list_.points[listNext_] = {true, latest_};
            if (++listNext_ == listFrequencies_.size()) list_.running = false;
        }
        emit readingAccepted();
        if (listPoint) emit listChanged();
        if (compensation.running) endCorrection(!failCorrection);
    }

private:
    void endCorrection(bool complete) {
        if (!compensation.running) return;
        compensation.running = false;
        compensation.complete = complete;
        if (complete) compensation.measured |= correctionKind_;
        emit listChanged();
    }

    template <typename T, typename V> int set(const char *name, V shown, T &field, V value) {
        if (line != Remote::LineState::Ready) return Remote::HardwareError;
        field = static_cast<T>(value);
        calls
            << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(static_cast<long long>(shown));
        return 0;
    }

    Remote::Reading latest_;
    Remote::ListState list_;
    QVector<std::int32_t> listFrequencies_;
    int listNext_ = 0;
    Remote::CorrectionKind correctionKind_ = Remote::OpenKind;
    QElapsedTimer elapsed_;
};

} // namespace Fake
