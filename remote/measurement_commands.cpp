// Triggering, FETCh? and the list measurement: answers held back until their readings are in.
#include "remote/measurement_commands.h"

#include "remote/command_set.h"
#include "remote/list_settings.h"
#include "remote/meter_values.h"
#include "remote/scpi_parser.h"

#include <algorithm>
#include <cmath>

namespace Remote {

namespace {

constexpr const char *TriggerForms[] = {"INTernal", "BUS", "HOLD", "EXTernal", nullptr};
constexpr const char *TriggerNames[] = {"INT", "BUS", "HOLD", "EXT"};
constexpr const char *ListModeForms[] = {"SEQuence", "STEP", nullptr};

} // namespace

void MeasurementCommands::triggerSourceCommand(const Parameters &p) {
    int source = 0;
    if (!reply_.oneParameter(p) || !reply_.mnemonic(p[0], TriggerForms, source)) return;
    state_.measure.triggerSource = static_cast<TriggerSource>(source);
}

void MeasurementCommands::triggerSourceQuery(const Parameters &p) {
    if (reply_.noParameter(p))
        reply_.answer(TriggerNames[static_cast<int>(state_.measure.triggerSource)]);
}

void MeasurementCommands::triggerCommand(const Parameters &p) {
    if (reply_.noParameter(p)) meter_.trigger();
}

void MeasurementCommands::initiateCommand(const Parameters &p) {
    if (reply_.noParameter(p) && state_.measure.triggerSource == TriggerSource::Internal)
        meter_.trigger();
}

void MeasurementCommands::continuousCommand(const Parameters &p) {
    bool on = false;
    if (reply_.oneParameter(p) && reply_.boolean(p[0], on)) state_.measure.continuous = on;
}

void MeasurementCommands::continuousQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(state_.measure.continuous ? "1" : "0");
}

void MeasurementCommands::fetchQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    const std::int64_t asked = instrument_.nowMs();
    reply_.hold([this, asked]() {
        if (!meter_.lineReady()) {
            reply_.fail(HardwareError);
            reply_.answer(state_.list.page
                              ? meter_.listAnswer()
                              : meter_.formatMeasurement({}, false) + meter_.comparatorBin({}));
            return true;
        }
        if (state_.list.page) {
            if (meter_.ownRunGoing() && !meter_.silentSince(std::max(asked, state_.list.since)))
                return false;
            meter_.collectFinishedRun();
            reply_.answer(meter_.listAnswer());
            return true;
        }
        Measurement m;
        if (state_.measure.triggerSource == TriggerSource::Internal) {
            if (!meter_.newestReadings(m) &&
                !meter_.silentSince(std::max(asked, state_.measure.changeTime)))
                return false;
        } else if (state_.measure.triggerActive) {
            if (!meter_.silentSince(std::max(asked, state_.measure.triggerTime))) return false;
            state_.measure.triggerActive = false; // the trigger's readings never came
            state_.measure.triggerResult = {};
            state_.measure.haveTriggerResult = true;
        } else if (state_.measure.haveTriggerResult) {
            m = state_.measure.triggerResult;
        }
        if (!m.valid) reply_.fail(DataStale);
        reply_.answer(meter_.formatMeasurement(m, false) + meter_.comparatorBin(m));
        return true;
    });
}

void MeasurementCommands::abortCommand(const Parameters &p) {
    if (reply_.noParameter(p)) meter_.abortAnyRun();
}

void MeasurementCommands::listFrequencyCommand(const Parameters &p) {
    if (p.isEmpty()) return reply_.fail(MissingParameter);
    if (p.size() > MaxListPoints) return reply_.fail(ParameterNotAllowed);
    const ModelInfo model = instrument_.model();
    QVector<std::int32_t> frequencies;
    for (const QByteArray &text : p) {
        double hz = 0.0;
        if (!reply_.number(text, "HZ", model.lowestFrequency, model.highestFrequency, hz)) return;
        const double rounded = std::round(hz);
        if (rounded < model.lowestFrequency || rounded > model.highestFrequency)
            return reply_.fail(DataOutOfRange);
        frequencies.append(static_cast<std::int32_t>(rounded));
    }
    setList(SweptQuantity::Frequency, frequencies);
}

void MeasurementCommands::listFrequencyQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    QByteArray text;
    for (std::int32_t hz : state_.list.frequencies) {
        if (!text.isEmpty()) text += ',';
        text += FormatNr3(hz);
    }
    reply_.answer(text);
}

// Setting a list makes it the list, whatever quantity the one before stepped.
void MeasurementCommands::setList(SweptQuantity quantity, const QVector<std::int32_t> &values) {
    state_.list.quantity = quantity;
    state_.list.frequencies =
        quantity == SweptQuantity::Frequency ? values : QVector<std::int32_t>();
    state_.list.millivolts =
        quantity == SweptQuantity::Frequency ? QVector<std::int32_t>() : values;
    state_.sweep.planned = false;
    meter_.restartList();
}

// Volts as the planner takes them (mV, the bias rounded to the model's step), checked by it:
// what it refuses is -222 and leaves the list as it was.
void MeasurementCommands::listSettingCommand(const Parameters &p, SweptQuantity quantity) {
    if (p.isEmpty()) return reply_.fail(MissingParameter);
    if (p.size() > MaxListPoints) return reply_.fail(ParameterNotAllowed);
    const bool bias = quantity == SweptQuantity::Bias;
    const double lowest = bias ? 0.0 : Levels.back() / 1000.0;
    const double highest = bias ? HighestBias : Levels.front() / 1000.0;
    std::vector<std::int32_t> millivolts;
    for (const QByteArray &text : p) {
        double volts = 0.0;
        if (!reply_.number(text, "V", lowest, highest, volts)) return;
        // Far beyond the source (or no number at all): no millivolts to round.
        if (!(std::fabs(volts) <= 2 * HighestBias)) return reply_.fail(DataOutOfRange);
        millivolts.push_back(static_cast<std::int32_t>(std::lround(volts * 1000.0)));
    }
    const std::optional<std::vector<std::int32_t>> planned =
        PlanSettingList(quantity, millivolts, instrument_.model().biasStepMillivolts);
    if (!planned) return reply_.fail(DataOutOfRange);
    setList(quantity, QVector<std::int32_t>(planned->begin(), planned->end()));
}

void MeasurementCommands::listSettingQuery(const Parameters &p, SweptQuantity quantity) {
    if (!reply_.noParameter(p)) return;
    QByteArray text;
    if (state_.list.quantity == quantity) {
        for (std::int32_t mv : state_.list.millivolts) {
            if (!text.isEmpty()) text += ',';
            text += FormatNr3(mv / 1000.0);
        }
    }
    reply_.answer(text);
}

void MeasurementCommands::listBiasCommand(const Parameters &p) {
    listSettingCommand(p, SweptQuantity::Bias);
}

void MeasurementCommands::listBiasQuery(const Parameters &p) {
    listSettingQuery(p, SweptQuantity::Bias);
}

void MeasurementCommands::listLevelCommand(const Parameters &p) {
    listSettingCommand(p, SweptQuantity::Level);
}

void MeasurementCommands::listLevelQuery(const Parameters &p) {
    listSettingQuery(p, SweptQuantity::Level);
}

void MeasurementCommands::listModeCommand(const Parameters &p) {
    int mode = 0;
    if (!reply_.oneParameter(p) || !reply_.mnemonic(p[0], ListModeForms, mode)) return;
    state_.list.mode = static_cast<ListMode>(mode);
    meter_.restartList();
}

void MeasurementCommands::listModeQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(state_.list.mode == ListMode::Step ? "STEP" : "SEQ");
}

const QVector<Entry> &MeasurementCommands::Table() {
    using G = MeasurementCommands;
    static const QVector<Entry> table{
        {"TRIGger:SOURce", &Call<&G::triggerSourceCommand>, &Call<&G::triggerSourceQuery>},
        {"TRIGger[:IMMediate]", &Call<&G::triggerCommand>, nullptr},
        {"INITiate[:IMMediate]", &Call<&G::initiateCommand>, nullptr},
        {"INITiate:CONTinuous", &Call<&G::continuousCommand>, &Call<&G::continuousQuery>},
        {"FETCh[:IMPedance][:FORMatted]", nullptr, &Call<&G::fetchQuery>},
        {"ABORt", &Call<&G::abortCommand>, nullptr},
        {"LIST:FREQuency", &Call<&G::listFrequencyCommand>, &Call<&G::listFrequencyQuery>},
        {"LIST:MODE", &Call<&G::listModeCommand>, &Call<&G::listModeQuery>},
        {"LIST:BIAS:VOLTage", &Call<&G::listBiasCommand>, &Call<&G::listBiasQuery>},
        {"LIST:VOLTage", &Call<&G::listLevelCommand>, &Call<&G::listLevelQuery>},
    };
    return table;
}

} // namespace Remote
