// Fixture compensation: the runs, which corrections are on, the standard, the corrected reading.
#include "remote/correction_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include <cmath>
#include <limits>

namespace Remote {

namespace {

// The standard's forms the core keeps: R + X, C + D and L + Q, both in series.
constexpr const char *LoadTypeForms[] = {"RX", "CSD", "LSQ", nullptr};
constexpr const char *LoadTypeNames[] = {"RX", "CSD", "LSQ"};
constexpr const char *MethodForms[] = {"SINGle", "MULTi", nullptr};
// The cable lengths a bench meter offers; only a fixture at the terminals (0 m) is ours.
constexpr double CableLengths[] = {1.0, 2.0, 4.0};
constexpr double NoValue = 9.9e37; // an overloaded or missing reading's values

} // namespace

void CorrectionCommands::startRun(CorrectionKind kind, double spotHz) {
    if (!meter_.lineReady()) return reply_.fail(HardwareError);
    meter_.collectCorrectionRun();
    std::uint64_t run = 0;
    if (const int code = instrument_.startCorrectionRun(kind, spotHz, run))
        return reply_.fail(code);
    state_.correction.run = run;
    state_.correction.runCollected = false;
    state_.correction.stopped = false;
}

void CorrectionCommands::openCommand(const Parameters &p) {
    if (reply_.noParameter(p)) startRun(OpenKind, 0.0);
}

void CorrectionCommands::shortCommand(const Parameters &p) {
    if (reply_.noParameter(p)) startRun(ShortKind, 0.0);
}

void CorrectionCommands::loadCommand(const Parameters &p) {
    if (reply_.noParameter(p)) startRun(LoadKind, 0.0);
}

void CorrectionCommands::spotOpenCommand(const Parameters &p) {
    if (reply_.noParameter(p)) startRun(OpenKind, state_.correction.spotHz);
}

void CorrectionCommands::spotShortCommand(const Parameters &p) {
    if (reply_.noParameter(p)) startRun(ShortKind, state_.correction.spotHz);
}

void CorrectionCommands::spotLoadCommand(const Parameters &p) {
    if (reply_.noParameter(p)) startRun(LoadKind, state_.correction.spotHz);
}

// A kind goes on only with its data (the load also with the open's, the short's and a standard);
// readings after it are the client's next ones.
void CorrectionCommands::switchKind(CorrectionKind kind, const Parameters &p) {
    bool on = false;
    if (!reply_.oneParameter(p) || !reply_.boolean(p[0], on)) return;
    const CorrectionState state = instrument_.correction();
    const unsigned needed = kind == LoadKind ? OpenKind | ShortKind | LoadKind : unsigned(kind);
    if (on && ((state.measured & needed) != needed || (kind == LoadKind && !state.haveStandard)))
        return reply_.fail(SettingsConflict);
    const unsigned kinds = on ? state.enabled | kind : state.enabled & ~unsigned(kind);
    if (kinds != state.enabled && meter_.conditionsHeld()) return;
    meter_.noteSetting(instrument_.setCorrectionEnabled(kinds));
}

void CorrectionCommands::kindState(CorrectionKind kind, const Parameters &p) {
    if (reply_.noParameter(p))
        reply_.answer((instrument_.correction().enabled & kind) != 0 ? "1" : "0");
}

void CorrectionCommands::openStateCommand(const Parameters &p) {
    switchKind(OpenKind, p);
}

void CorrectionCommands::openStateQuery(const Parameters &p) {
    kindState(OpenKind, p);
}

void CorrectionCommands::shortStateCommand(const Parameters &p) {
    switchKind(ShortKind, p);
}

void CorrectionCommands::shortStateQuery(const Parameters &p) {
    kindState(ShortKind, p);
}

void CorrectionCommands::loadStateCommand(const Parameters &p) {
    switchKind(LoadKind, p);
}

void CorrectionCommands::loadStateQuery(const Parameters &p) {
    kindState(LoadKind, p);
}

void CorrectionCommands::loadTypeCommand(const Parameters &p) {
    int type = 0;
    if (reply_.oneParameter(p) && reply_.mnemonic(p[0], LoadTypeForms, type))
        state_.correction.loadForm = static_cast<StandardValue::Form>(type);
}

void CorrectionCommands::loadTypeQuery(const Parameters &p) {
    if (reply_.noParameter(p))
        reply_.answer(LoadTypeNames[static_cast<int>(state_.correction.loadForm)]);
}

void CorrectionCommands::spotFrequencyCommand(const Parameters &p) {
    const ModelInfo model = instrument_.model();
    std::int32_t hz = 0;
    if (reply_.wholeHertz(p, model.lowestFrequency, model.highestFrequency, hz))
        state_.correction.spotHz = hz;
}

void CorrectionCommands::spotFrequencyQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(FormatNr3(state_.correction.spotHz));
}

// The standard's value in the form LOAD:TYPE named; the core refuses one that is no standard.
void CorrectionCommands::spotStandardCommand(const Parameters &p) {
    if (p.size() < 2) return reply_.fail(MissingParameter);
    if (p.size() > 2) return reply_.fail(ParameterNotAllowed);
    constexpr double Huge = std::numeric_limits<double>::max();
    StandardValue standard;
    standard.form = state_.correction.loadForm;
    if (!reply_.number(p[0], "", -Huge, Huge, standard.first) ||
        !reply_.number(p[1], "", -Huge, Huge, standard.second))
        return;
    if (const int code = instrument_.setLoadStandard(standard)) reply_.fail(code);
}

void CorrectionCommands::spotStandardQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    const CorrectionState state = instrument_.correction();
    const StandardValue standard = state.haveStandard ? state.standard : StandardValue{};
    reply_.answer(FormatNr3(standard.first) + ',' + FormatNr3(standard.second));
}

void CorrectionCommands::methodCommand(const Parameters &p) {
    int method = 0;
    if (!reply_.oneParameter(p) || !reply_.mnemonic(p[0], MethodForms, method)) return;
    if (method != 0) reply_.fail(IllegalParameterValue); // one set of data, not one per channel
}

void CorrectionCommands::methodQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("SING");
}

void CorrectionCommands::lengthCommand(const Parameters &p) {
    double metres = 0.0;
    if (!reply_.oneParameter(p) || !reply_.number(p[0], "", 0.0, 0.0, metres)) return;
    if (metres == 0.0) return;
    for (double length : CableLengths)
        if (metres == length) return reply_.fail(IllegalParameterValue);
    reply_.fail(DataOutOfRange);
}

void CorrectionCommands::lengthQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("0");
}

// R and X of the newest readings after the client's last change, as the core corrected them
// (as measured where no correction is on or its data do not reach).
void CorrectionCommands::correctedQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    const std::int64_t asked = instrument_.nowMs();
    reply_.hold([this, asked]() {
        Measurement m;
        if (meter_.lineReady() && !meter_.newestReadings(m) &&
            !meter_.silentSince(std::max(asked, state_.measure.changeTime)))
            return false;
        if (!meter_.lineReady())
            reply_.fail(HardwareError);
        else if (!m.valid)
            reply_.fail(DataStale);
        const bool value = m.valid && !m.reading.overload;
        const double r = value ? m.reading.magnitude * std::cos(m.reading.phase) : NoValue;
        const double x = value ? m.reading.magnitude * std::sin(m.reading.phase) : NoValue;
        reply_.answer(FormatNr3(r) + ',' + FormatNr3(x));
        return true;
    });
}

const QVector<Entry> &CorrectionCommands::Table() {
    using G = CorrectionCommands;
    static const QVector<Entry> table{
        {"[:SENSe]:CORRection:OPEN[:EXECute]", &Call<&G::openCommand>, nullptr},
        {"[:SENSe]:CORRection:OPEN:STATe", &Call<&G::openStateCommand>, &Call<&G::openStateQuery>},
        {"[:SENSe]:CORRection:SHORt[:EXECute]", &Call<&G::shortCommand>, nullptr},
        {"[:SENSe]:CORRection:SHORt:STATe", &Call<&G::shortStateCommand>,
         &Call<&G::shortStateQuery>},
        {"[:SENSe]:CORRection:LOAD[:EXECute]", &Call<&G::loadCommand>, nullptr},
        {"[:SENSe]:CORRection:LOAD:STATe", &Call<&G::loadStateCommand>, &Call<&G::loadStateQuery>},
        {"[:SENSe]:CORRection:LOAD:TYPE", &Call<&G::loadTypeCommand>, &Call<&G::loadTypeQuery>},
        {"[:SENSe]:CORRection:SPOT1:FREQuency", &Call<&G::spotFrequencyCommand>,
         &Call<&G::spotFrequencyQuery>},
        {"[:SENSe]:CORRection:SPOT1:OPEN[:EXECute]", &Call<&G::spotOpenCommand>, nullptr},
        {"[:SENSe]:CORRection:SPOT1:SHORt[:EXECute]", &Call<&G::spotShortCommand>, nullptr},
        {"[:SENSe]:CORRection:SPOT1:LOAD[:EXECute]", &Call<&G::spotLoadCommand>, nullptr},
        {"[:SENSe]:CORRection:SPOT1:LOAD:STANdard", &Call<&G::spotStandardCommand>,
         &Call<&G::spotStandardQuery>},
        {"[:SENSe]:CORRection:METHod", &Call<&G::methodCommand>, &Call<&G::methodQuery>},
        {"[:SENSe]:CORRection:LENGth", &Call<&G::lengthCommand>, &Call<&G::lengthQuery>},
        {"FETCh:IMPedance:CORRected", nullptr, &Call<&G::correctedQuery>},
    };
    return table;
}

} // namespace Remote
