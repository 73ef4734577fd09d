// Commands that set the meter's test conditions and the client's choice of values.
#include "remote/setting_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include "remote/function_types.h"
#include "remote/meter_values.h"

#include <array>
#include <cmath>

namespace Remote {

namespace {

constexpr const char *SourceForms[] = {"INTernal", "EXTernal", nullptr};
constexpr const char *ApertureForms[] = {"SHORt", "MEDium", "LONG", nullptr};
constexpr const char *ApertureNames[] = {"SHOR", "MED", "LONG"};
constexpr const char *FormatForms[] = {"ASCii", nullptr};
constexpr const char *ListForms[] = {"LIST", nullptr};

} // namespace

void SettingCommands::frequencyCommand(const Parameters &p) {
    const ModelInfo model = instrument_.model();
    std::int32_t hz = 0;
    if (reply_.wholeHertz(p, model.lowestFrequency, model.highestFrequency, hz) &&
        !meter_.conditionsHeld())
        meter_.noteSetting(instrument_.setFrequency(hz));
}

void SettingCommands::frequencyQuery(const Parameters &p) {
    int limit = 0;
    if (!reply_.limitQuery(p, limit)) return;
    const ModelInfo model = instrument_.model();
    reply_.answer(FormatNr3(limit < 0   ? model.lowestFrequency
                            : limit > 0 ? model.highestFrequency
                                        : instrument_.settings().frequency));
}

void SettingCommands::levelCommand(const Parameters &p) {
    double volts = 0.0;
    if (!reply_.oneParameter(p) ||
        !reply_.number(p[0], "V", Levels.back() / 1000.0, Levels.front() / 1000.0, volts))
        return;
    const int level = MatchLevel(volts);
    if (level < 0) return reply_.fail(DataOutOfRange);
    if (!meter_.conditionsHeld()) meter_.noteSetting(instrument_.setLevel(level));
}

void SettingCommands::levelQuery(const Parameters &p) {
    int limit = 0;
    if (!reply_.limitQuery(p, limit)) return;
    const int millivolts = limit < 0   ? Levels.back()
                           : limit > 0 ? Levels.front()
                                       : instrument_.settings().levelMillivolts;
    reply_.answer(FormatNr3(millivolts / 1000.0));
}

void SettingCommands::biasLevelCommand(const Parameters &p) {
    double volts = 0.0;
    if (!reply_.oneParameter(p) || !reply_.number(p[0], "V", 0.0, HighestBias, volts)) return;
    if (volts < 0.0 || volts > HighestBias * (1 + 1e-9)) return reply_.fail(DataOutOfRange);
    const int step = std::max(1, instrument_.model().biasStepMillivolts);
    const long steps = std::lround(volts * 1000.0 / step);
    if (meter_.conditionsHeld()) return;
    meter_.noteSetting(instrument_.setBiasLevel(static_cast<int>(steps * step)));
}

void SettingCommands::biasLevelQuery(const Parameters &p) {
    int limit = 0;
    if (!reply_.limitQuery(p, limit)) return;
    reply_.answer(FormatNr3(limit < 0   ? 0.0
                            : limit > 0 ? HighestBias
                                        : instrument_.settings().biasMillivolts / 1000.0));
}

void SettingCommands::biasStateCommand(const Parameters &p) {
    bool on = false;
    if (!reply_.oneParameter(p) || !reply_.boolean(p[0], on)) return;
    // The meter's bias is on when its level is above 0 V: on at 0 V would read back off.
    const Settings now = instrument_.settings();
    if (on && !now.biasExternal && now.biasMillivolts == 0) return reply_.fail(SettingsConflict);
    if (!meter_.conditionsHeld()) meter_.noteSetting(instrument_.setBiasState(on));
}

void SettingCommands::biasStateQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.settings().biasOn ? "1" : "0");
}

void SettingCommands::biasSourceCommand(const Parameters &p) {
    int source = 0;
    if (reply_.oneParameter(p) && reply_.mnemonic(p[0], SourceForms, source) &&
        !meter_.conditionsHeld())
        meter_.noteSetting(instrument_.setBiasSource(source == 1));
}

void SettingCommands::biasSourceQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.settings().biasExternal ? "EXT" : "INT");
}

void SettingCommands::functionCommand(const Parameters &p) {
    if (!reply_.oneParameter(p)) return;
    const int type = FindFunctionType(p[0]);
    if (type < 0) return reply_.fail(IllegalParameterValue);
    state_.measure.function = type;
    // The comparator on judges the quantities of the function set last.
    ComparatorSettings comparator = instrument_.comparator();
    if (comparator.on && comparator.function != type) {
        comparator.function = type;
        // Limits that overflow once converted to this function's unit keep the plan as it was.
        if (const int code = ComparatorRefusal(comparator)) return reply_.fail(code);
        if (const int code = instrument_.setComparator(comparator)) reply_.fail(code);
    }
}

void SettingCommands::functionQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(FunctionTypeName(state_.measure.function));
}

void SettingCommands::rangeCommand(const Parameters &p) {
    double ohms = 0.0;
    if (!reply_.oneParameter(p) ||
        !reply_.number(p[0], "OHM", RangeOhms.back(), RangeOhms.front(), ohms))
        return;
    const int index = RangeFor(ohms);
    if (index < 0) return reply_.fail(DataOutOfRange);
    if (!meter_.conditionsHeld()) meter_.noteSetting(instrument_.setRange(index));
}

void SettingCommands::rangeQuery(const Parameters &p) {
    int limit = 0;
    if (!reply_.limitQuery(p, limit)) return;
    if (limit != 0)
        return reply_.answer(FormatNr3(limit < 0 ? RangeOhms.back() : RangeOhms.front()));
    const int index = instrument_.settings().rangeIndex;
    reply_.answer(FormatNr3(index >= 0 && index < static_cast<int>(RangeOhms.size())
                                ? RangeOhms[static_cast<std::size_t>(index)]
                                : std::nan("")));
}

void SettingCommands::autoRangeCommand(const Parameters &p) {
    bool on = false;
    if (reply_.oneParameter(p) && reply_.boolean(p[0], on) && !meter_.conditionsHeld())
        meter_.noteSetting(instrument_.setAutoRange(on));
}

void SettingCommands::autoRangeQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.settings().autoRange ? "1" : "0");
}

void SettingCommands::apertureCommand(const Parameters &p) {
    if (p.isEmpty()) return reply_.fail(MissingParameter);
    if (p.size() > 2) return reply_.fail(ParameterNotAllowed);
    int word = 0;
    if (!reply_.mnemonic(p[0], ApertureForms, word)) return;
    int count = state_.measure.averaging;
    if (p.size() == 2) {
        double n = 0.0;
        if (!reply_.number(p[1], "", 1, MaxAveraging, n)) return;
        if (std::round(n) < 1 || std::round(n) > MaxAveraging) return reply_.fail(DataOutOfRange);
        count = static_cast<int>(std::round(n));
    }
    if (meter_.conditionsHeld() || !meter_.noteSetting(instrument_.setSpeed(word != 0))) return;
    state_.measure.aperture = word;
    state_.measure.averaging = count;
}

void SettingCommands::apertureQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    // The window may have changed the speed since.
    const bool normal = instrument_.settings().normalSpeed;
    const int word = normal ? (state_.measure.aperture == 0 ? 1 : state_.measure.aperture) : 0;
    reply_.answer(QByteArray(ApertureNames[word]) + ',' +
                  QByteArray::number(state_.measure.averaging));
}

void SettingCommands::formatCommand(const Parameters &p) {
    int format = 0;
    if (reply_.oneParameter(p)) reply_.mnemonic(p[0], FormatForms, format);
}

void SettingCommands::formatQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("ASC");
}

void SettingCommands::pageCommand(const Parameters &p) {
    if (!reply_.oneParameter(p)) return;
    if (ParseNumber(p[0], "").error == 0) return reply_.fail(DataTypeError);
    state_.list.page = ChooseMnemonic(ListForms, p[0]) == 0;
}

void SettingCommands::pageQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(state_.list.page ? "LIST" : "MEAS");
}

// The program always shows what it measures: the display cannot be switched off.
void SettingCommands::displayEnableCommand(const Parameters &p) {
    bool on = false;
    if (reply_.oneParameter(p) && reply_.boolean(p[0], on) && !on) reply_.fail(SettingsConflict);
}

void SettingCommands::displayEnableQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("1");
}

const QVector<Entry> &SettingCommands::Table() {
    using G = SettingCommands;
    static const QVector<Entry> table{
        {"[:SENSe]:FREQuency[:CW]", &Call<&G::frequencyCommand>, &Call<&G::frequencyQuery>},
        {"[:SOURce]:VOLTage[:LEVel]", &Call<&G::levelCommand>, &Call<&G::levelQuery>},
        {"[:SOURce]:CURRent[:LEVel]", nullptr, nullptr}, // the meter has no current mode
        {"[:SOURce]:BIAS:VOLTage[:LEVel]", &Call<&G::biasLevelCommand>, &Call<&G::biasLevelQuery>},
        {"[:SOURce]:BIAS:STATe", &Call<&G::biasStateCommand>, &Call<&G::biasStateQuery>},
        {"[:SOURce]:BIAS:SOURce", &Call<&G::biasSourceCommand>, &Call<&G::biasSourceQuery>},
        {"[:SENSe]:FUNCtion:IMPedance[:TYPE]", &Call<&G::functionCommand>,
         &Call<&G::functionQuery>},
        {"[:SENSe]:FUNCtion:IMPedance:RANGe[:VALue]", &Call<&G::rangeCommand>,
         &Call<&G::rangeQuery>},
        {"[:SENSe]:FUNCtion:IMPedance:RANGe:AUTO", &Call<&G::autoRangeCommand>,
         &Call<&G::autoRangeQuery>},
        {"[:SENSe]:APERture", &Call<&G::apertureCommand>, &Call<&G::apertureQuery>},
        {"FORMat[:DATA]", &Call<&G::formatCommand>, &Call<&G::formatQuery>},
        {"DISPlay:PAGE", &Call<&G::pageCommand>, &Call<&G::pageQuery>},
        {"DISPlay:ENABle", &Call<&G::displayEnableCommand>, &Call<&G::displayEnableQuery>},
    };
    return table;
}

} // namespace Remote
