// The sweep's plan (SWE:SPAC, STAR, STOP, POIN), the table of the last run (SWE:DATA?), the
// equivalent-circuit fit of that run (FIT?) as the client steers it, and its Kramers-Kronig check.
#include "remote/sweep_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include "export/parameter_columns.h"
#include "fit/circuit_fit.h"
#include "fit/circuit_models.h"
#include "fit/fit_report.h"
#include "fit/kramers_kronig.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_store.h"

#include <QJsonDocument>

#include <algorithm>
#include <cctype>
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

constexpr const char *WeightingForms[] = {"MODulus", "PROPortional", "UNIT", nullptr};

QByteArray Unquoted(QByteArray text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text;
}

// A model name as given: quoted or not, in any case.
QString ModelName(const QByteArray &text) {
    return QString::fromLatin1(Unquoted(text)).toLower();
}

// An element key: a letter, then letters, digits or '_' ("R1", "ESR", "Q1_alpha").
bool ElementKey(const QByteArray &text) {
    if (text.isEmpty() || text.size() > 16 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

template <typename List> void Forget(List &list, const QString &key) {
    list.erase(std::remove_if(
                   list.begin(), list.end(),
                   [&key](const auto &e) { return e.key.compare(key, Qt::CaseInsensitive) == 0; }),
               list.end());
}

QByteArray Quoted(const QString &key) {
    return '"' + key.toLatin1() + '"';
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

bool SweepCommands::fittable(const SweepTable &table) {
    // A circuit is fitted over frequencies: a bias or level run has one.
    if (table.quantity != SweptQuantity::Frequency) {
        reply_.fail(SettingsConflict);
        return false;
    }
    if (table.points.isEmpty()) reply_.fail(DataStale);
    // A run stopped early is no circuit's whole response.
    if (table.incomplete()) {
        reply_.fail(RunIncomplete);
        return false;
    }
    return true;
}

void SweepCommands::fitQuery(const Parameters &p) {
    if (!reply_.oneParameter(p)) return;
    const QString name = ModelName(p[0]);
    if (!Fit::FitNameError(name).isEmpty()) return reply_.fail(IllegalParameterValue);
    holdForSweep([this, name](const SweepTable &table) {
        if (!fittable(table)) return QByteArray();
        const Fit::FitResult fit = Fit::FitByName(name, FitInput(table), state_.fit);
        return QJsonDocument(Fit::FitToJson(fit)).toJson(QJsonDocument::Compact);
    });
}

// consistent (1 or 0), M, mu, the RMS and the largest residual as shares of |Z|.
void SweepCommands::fitKramersKronigQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    holdForSweep([this](const SweepTable &table) {
        if (!fittable(table)) return QByteArray();
        const Fit::KramersKronigCheck check = Fit::CheckKramersKronig(FitInput(table));
        if (!check.checked) {
            if (!table.points.isEmpty()) reply_.fail(DataStale);
            return QByteArray();
        }
        return FormatNr1(check.consistent ? 1 : 0) + ',' + FormatNr1(check.elements) + ',' +
               FormatNr3(check.mu) + ',' + FormatNr3(check.rmsResidual) + ',' +
               FormatNr3(check.maxResidual);
    });
}

void SweepCommands::fitWeightCommand(const Parameters &p) {
    int form = 0;
    if (!reply_.oneParameter(p) || !reply_.mnemonic(p[0], WeightingForms, form)) return;
    state_.fit.weighting = static_cast<Fit::Weighting>(form);
}

void SweepCommands::fitWeightQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    switch (state_.fit.weighting) {
    case Fit::Weighting::Modulus:
        return reply_.answer("MOD");
    case Fit::Weighting::Proportional:
        return reply_.answer("PROP");
    case Fit::Weighting::Unit:
        return reply_.answer("UNIT");
    }
}

bool SweepCommands::steeringKey(const QByteArray &text, QString &key) {
    const QByteArray bare = Unquoted(text);
    if (!ElementKey(bare)) {
        reply_.fail(IllegalParameterValue);
        return false;
    }
    key = QString::fromLatin1(bare);
    Forget(state_.fit.fixed, key);
    Forget(state_.fit.bounds, key);
    if (static_cast<int>(state_.fit.fixed.size() + state_.fit.bounds.size()) >= MaxFitSteering) {
        reply_.fail(DataOutOfRange);
        return false;
    }
    return true;
}

// "KEY",VALUE: the element held at VALUE (SI, positive) in the client's fits; a key fixed or
// bounded before is replaced.
void SweepCommands::fitFixCommand(const Parameters &p) {
    if (p.size() < 2) return reply_.fail(MissingParameter);
    if (p.size() > 2) return reply_.fail(ParameterNotAllowed);
    const double largest = std::numeric_limits<double>::max();
    double value = 0.0;
    if (!reply_.number(p[1], "", std::numeric_limits<double>::min(), largest, value)) return;
    if (!(value > 0.0) || !std::isfinite(value)) return reply_.fail(DataOutOfRange);
    QString key;
    if (!steeringKey(p[0], key)) return;
    state_.fit.fixed.push_back({key, value});
}

void SweepCommands::fitFixQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    QByteArray text;
    for (const Fit::FixedElement &f : state_.fit.fixed)
        text += (text.isEmpty() ? "" : ",") + Quoted(f.key) + ',' + FormatNr3(f.value);
    reply_.answer(text.isEmpty() ? QByteArray("\"\"") : text);
}

void SweepCommands::fitFixClearCommand(const Parameters &p) {
    if (reply_.noParameter(p)) state_.fit.fixed.clear();
}

// "KEY",LOW,HIGH: the element fitted within LOW to HIGH (SI); MIN for LOW or MAX for HIGH leaves
// that side to the fit.
void SweepCommands::fitBoundCommand(const Parameters &p) {
    if (p.size() < 3) return reply_.fail(MissingParameter);
    if (p.size() > 3) return reply_.fail(ParameterNotAllowed);
    const double infinity = std::numeric_limits<double>::infinity();
    Fit::ElementBound b;
    if (!reply_.number(p[1], "", 0.0, infinity, b.low) ||
        !reply_.number(p[2], "", 0.0, infinity, b.high))
        return;
    if (!(b.low >= 0.0) || !(b.high > b.low) || std::isinf(b.low))
        return reply_.fail(DataOutOfRange);
    if (!steeringKey(p[0], b.key)) return;
    state_.fit.bounds.push_back(b);
}

// "KEY",LOW,HIGH for each; a side left to the fit is 0 or 9.9E37.
void SweepCommands::fitBoundQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    QByteArray text;
    for (const Fit::ElementBound &b : state_.fit.bounds)
        text += (text.isEmpty() ? "" : ",") + Quoted(b.key) + ',' + FormatNr3(b.low) + ',' +
                FormatNr3(std::isinf(b.high) ? NoValue : b.high);
    reply_.answer(text.isEmpty() ? QByteArray("\"\"") : text);
}

void SweepCommands::fitBoundClearCommand(const Parameters &p) {
    if (reply_.noParameter(p)) state_.fit.bounds.clear();
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
        {"FIT:KK", nullptr, &Call<&G::fitKramersKronigQuery>},
        {"FIT:WEIGht", &Call<&G::fitWeightCommand>, &Call<&G::fitWeightQuery>},
        {"FIT:FIX", &Call<&G::fitFixCommand>, &Call<&G::fitFixQuery>},
        {"FIT:FIX:CLEar", &Call<&G::fitFixClearCommand>, nullptr},
        {"FIT:BOUNd", &Call<&G::fitBoundCommand>, &Call<&G::fitBoundQuery>},
        {"FIT:BOUNd:CLEar", &Call<&G::fitBoundClearCommand>, nullptr},
    };
    return table;
}

} // namespace Remote
