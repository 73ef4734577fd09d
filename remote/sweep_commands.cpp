// The sweep's plan (SWE:SPAC, STAR, STOP, POIN), the table of the last run (SWE:DATA?) and the
// equivalent-circuit fit of that run (FIT?).
#include "remote/sweep_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include "export/parameter_columns.h"
#include "fit/circuit_fit.h"
#include "fit/circuit_models.h"
#include "fit/fit_report.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_store.h"

#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Remote {

namespace {

constexpr const char *SpacingForms[] = {"LINear", "LOGarithmic", nullptr};
constexpr double NoValue = 9.9e37; // an overloaded point's values
// Enough for a frame's single-precision values and any frequency to be read back exactly.
constexpr int TableDigits = 9;

// Planned frequency, the eleven textbook quantities in the order of the CSV export, then the raw
// |Z| (ohm), theta (rad) and reported frequency (Hz); a bias or level run's point adds its
// planned bias or level (V).
void AppendPoint(QByteArray &text, const SweepPoint &point, SweptQuantity quantity) {
    auto add = [&text](double value) {
        if (!text.isEmpty()) text += ',';
        text += FormatNr3(value, TableDigits);
    };
    add(point.plannedFrequency);
    const Reading &r = point.reading;
    const Export::RawMeasurement raw{static_cast<float>(r.magnitude), static_cast<float>(r.phase),
                                     static_cast<std::int32_t>(r.frequency), point.seriesCircuit};
    for (int c = 0; c < Export::TextbookColumnCount; ++c)
        add(r.overload ? NoValue : Export::TextbookColumnValue(raw, c));
    add(r.overload ? NoValue : r.magnitude);
    add(r.overload ? NoValue : r.phase);
    add(r.frequency);
    if (quantity != SweptQuantity::Frequency) add(point.plannedSetting);
}

const char *QuantityName(SweptQuantity quantity) {
    switch (quantity) {
    case SweptQuantity::Frequency:
        break;
    case SweptQuantity::Bias:
        return "BIAS";
    case SweptQuantity::Level:
        return "VOLT";
    }
    return "FREQ";
}

// The run's points as a fit's input: the planned frequencies, as the window fits them, and no
// impedance for an overloaded point, so that the fit leaves it out.
Fit::Sweep FitInput(const SweepTable &table) {
    Fit::Sweep sweep;
    for (const SweepPoint &point : table.points) {
        sweep.frequency.push_back(point.plannedFrequency);
        sweep.impedance.push_back(point.reading.overload
                                      ? Fit::Complex(std::numeric_limits<double>::quiet_NaN(), 0.0)
                                      : std::polar(point.reading.magnitude, point.reading.phase));
    }
    return sweep;
}

// A model name as given: quoted or not, in any case.
QString ModelName(QByteArray text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return QString::fromLatin1(text).toLower();
}

} // namespace

bool SweepCommands::sweepBound(const Parameters &p, std::int32_t &hz) {
    const ModelInfo model = instrument_.model();
    return reply_.wholeHertz(p, model.runLowestFrequency, model.runHighestFrequency, hz);
}

// Each setting of the plan makes the list the plan's frequencies, once the bounds are in order.
void SweepCommands::planSweep() {
    state_.sweep.planned = true;
    if (state_.sweep.start >= state_.sweep.stop)
        return; // the next bound will put it right; a trigger says -221
    // The one planner, with START's capabilities: a client's plan and the window's START give
    // the same points.
    Sweep::Request request;
    request.spacing = state_.sweep.log ? Sweep::Spacing::Log : Sweep::Spacing::Linear;
    request.start = state_.sweep.start;
    request.stop = state_.sweep.stop;
    request.points = state_.sweep.points;
    const Sweep::Plan plan = Sweep::PlanRun(request, Device::AnyModelCapabilities());
    if (!plan.ok()) return; // the bounds were checked as they came; a trigger says -221
    state_.list.quantity = SweptQuantity::Frequency;
    state_.list.frequencies = QVector<std::int32_t>(plan.points.begin(), plan.points.end());
    state_.list.millivolts.clear();
    meter_.restartList();
}

void SweepCommands::sweepSpacingCommand(const Parameters &p) {
    int spacing = 0;
    if (!reply_.oneParameter(p) || !reply_.mnemonic(p[0], SpacingForms, spacing)) return;
    state_.sweep.log = spacing == 1;
    planSweep();
}

void SweepCommands::sweepSpacingQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(state_.sweep.log ? "LOG" : "LIN");
}

void SweepCommands::sweepStartCommand(const Parameters &p) {
    if (!sweepBound(p, state_.sweep.start)) return;
    planSweep();
}

void SweepCommands::sweepStartQuery(const Parameters &p) {
    boundQuery(p, state_.sweep.start);
}

// SWE:STAR? and SWE:STOP?, with MIN and MAX the bounds of a run on the model.
void SweepCommands::boundQuery(const Parameters &p, std::int32_t hz) {
    int limit = 0;
    if (!reply_.limitQuery(p, limit)) return;
    const ModelInfo model = instrument_.model();
    reply_.answer(FormatNr3(limit < 0   ? model.runLowestFrequency
                            : limit > 0 ? model.runHighestFrequency
                                        : hz));
}

void SweepCommands::sweepStopCommand(const Parameters &p) {
    if (!sweepBound(p, state_.sweep.stop)) return;
    planSweep();
}

void SweepCommands::sweepStopQuery(const Parameters &p) {
    boundQuery(p, state_.sweep.stop);
}

void SweepCommands::sweepPointsCommand(const Parameters &p) {
    double points = 0.0;
    if (!reply_.oneParameter(p) ||
        !reply_.number(p[0], "", Main::SweepPointsLeast, Main::SweepCapacity, points))
        return;
    if (!(points >= Main::SweepPointsLeast && points <= Main::SweepCapacity) ||
        points != std::floor(points))
        return reply_.fail(DataOutOfRange);
    state_.sweep.points = static_cast<int>(points);
    planSweep();
}

void SweepCommands::sweepPointsQuery(const Parameters &p) {
    int limit = 0;
    if (!reply_.limitQuery(p, limit)) return;
    reply_.answer(FormatNr1(limit < 0   ? Main::SweepPointsLeast
                            : limit > 0 ? Main::SweepCapacity
                                        : state_.sweep.points));
}

void SweepCommands::holdForSweep(std::function<QByteArray(const SweepTable &)> answerOf) {
    const std::int64_t asked = instrument_.nowMs();
    reply_.hold([this, asked, answerOf = std::move(answerOf)]() {
        const SweepTable table = instrument_.lastSweep();
        if (table.running && meter_.lineReady() && !meter_.silentSince(asked)) return false;
        if (!meter_.lineReady() && table.running)
            reply_.fail(HardwareError);
        else if (table.running)
            reply_.fail(DataStale); // the run stopped getting frames
        reply_.answer(answerOf(table));
        return true;
    });
}

void SweepCommands::sweepDataQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    holdForSweep([this](const SweepTable &table) {
        if (table.points.isEmpty()) reply_.fail(DataStale);
        if (table.incomplete()) reply_.fail(RunIncomplete);
        QByteArray text;
        for (const SweepPoint &point : table.points)
            AppendPoint(text, point, table.quantity);
        return text;
    });
}

// Per taken point its status (0 a measurement at the planned conditions, else the code of
// FETCh?'s status field) and the connection it came on, which changes where the line was lost.
void SweepCommands::sweepStatusQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    holdForSweep([this](const SweepTable &table) {
        if (table.points.isEmpty()) reply_.fail(DataStale);
        if (table.incomplete()) reply_.fail(RunIncomplete);
        QByteArray text;
        for (const SweepPoint &point : table.points) {
            if (!text.isEmpty()) text += ',';
            text += QByteArray::number(point.reading.status) + ',' +
                    QByteArray::number(point.reading.connection);
        }
        return text;
    });
}

// What the last run stepped; known from its start.
void SweepCommands::sweepQuantityQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QuantityName(instrument_.lastSweep().quantity));
}

void SweepCommands::fitQuery(const Parameters &p) {
    if (!reply_.oneParameter(p)) return;
    const QString name = ModelName(p[0]);
    if (!Fit::FitNameError(name).isEmpty()) return reply_.fail(IllegalParameterValue);
    holdForSweep([this, name](const SweepTable &table) {
        // A circuit is fitted over frequencies: a bias or level run has one.
        if (table.quantity != SweptQuantity::Frequency) {
            reply_.fail(SettingsConflict);
            return QByteArray();
        }
        if (table.points.isEmpty()) reply_.fail(DataStale);
        // A run stopped early is no circuit's whole response.
        if (table.incomplete()) {
            reply_.fail(RunIncomplete);
            return QByteArray();
        }
        const Fit::FitResult fit = Fit::FitByName(name, FitInput(table));
        return QJsonDocument(Fit::FitToJson(fit)).toJson(QJsonDocument::Compact);
    });
}

const QVector<Entry> &SweepCommands::Table() {
    using G = SweepCommands;
    static const QVector<Entry> table{
        {"SWEep:SPACing", &Call<&G::sweepSpacingCommand>, &Call<&G::sweepSpacingQuery>},
        {"SWEep:STARt", &Call<&G::sweepStartCommand>, &Call<&G::sweepStartQuery>},
        {"SWEep:STOP", &Call<&G::sweepStopCommand>, &Call<&G::sweepStopQuery>},
        {"SWEep:POINts", &Call<&G::sweepPointsCommand>, &Call<&G::sweepPointsQuery>},
        {"SWEep:DATA", nullptr, &Call<&G::sweepDataQuery>},
        {"SWEep:STATus", nullptr, &Call<&G::sweepStatusQuery>},
        {"SWEep:QUANtity", nullptr, &Call<&G::sweepQuantityQuery>},
        {"FIT", nullptr, &Call<&G::fitQuery>},
    };
    return table;
}

} // namespace Remote
