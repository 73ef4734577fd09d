// IEEE 488.2 common commands and the SYSTem subsystem.
#include "remote/common_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include <algorithm>
#include <cmath>

namespace Remote {

namespace {

// A field of the identity must not split it.
QByteArray IdentityField(const QString &text) {
    QByteArray field = text.toUtf8();
    for (char &c : field)
        if (c == ',' || c == '\n' || c == '\r' || c == ';') c = ' ';
    return field;
}

} // namespace

void CommonCommands::idnQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    const ModelInfo model = instrument_.model();
    const bool present = instrument_.lineState() != LineState::NoMeter && !model.name.isEmpty();
    reply_.answer("Impedix," + (present ? IdentityField(model.name) : QByteArray("no meter")) +
                  ',' + IdentityField(model.port) + ',' + IMPEDIX_VERSION);
}

void CommonCommands::rstCommand(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    // A client's run, whoever started it, ends as ABOR ends it; a run of the window or the
    // command line keeps the conditions, and the settings below are then -221.
    meter_.abortAnyRun();
    const ModelInfo model = instrument_.model();
    Settings defaults = instrument_.settings();
    defaults.frequency = std::max<std::int32_t>(1000, model.lowestFrequency);
    defaults.levelMillivolts = 1000;
    defaults.biasMillivolts = 0;
    defaults.biasOn = false;
    defaults.autoRange = true;
    defaults.normalSpeed = true;
    defaults.seriesCircuit = true;
    state_.measure.triggerSource = TriggerSource::Internal;
    state_.measure.function = 0;
    state_.measure.aperture = 1;
    state_.measure.averaging = 1;
    state_.list.page = false;
    state_.list.mode = ListMode::Sequence;
    state_.measure.triggerActive = false;
    state_.measure.haveTriggerResult = false;
    state_.list.stepIndex = 0;
    state_.list.stepPoints.clear();
    state_.fit = Fit::FitOptions();
    if (!meter_.conditionsHeld()) meter_.noteSetting(instrument_.applySettings(defaults));
}

void CommonCommands::clsCommand(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    reply_.errors().clear();
    reply_.errors().eventStatus = 0;
    state_.status.opcArmed = false;
    state_.status.operationEvent = 0;
    state_.status.questionableEvent = 0;
}

void CommonCommands::eseCommand(const Parameters &p) {
    double value = 0.0;
    if (!reply_.oneParameter(p) || !reply_.number(p[0], "", 0, 255, value)) return;
    if (value < -0.5 || value >= 255.5) return reply_.fail(DataOutOfRange);
    state_.status.eventEnable = static_cast<int>(std::lround(value));
}

void CommonCommands::eseQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QByteArray::number(state_.status.eventEnable));
}

void CommonCommands::esrQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    reply_.answer(QByteArray::number(reply_.errors().eventStatus));
    reply_.errors().eventStatus = 0;
}

// The status byte: error queue (2), questionable summary (3), event summary (5), operation
// summary (7), and the master summary (6) of those *SRE enables. Answers go out at once, so no
// message waits (4).
void CommonCommands::stbQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    meter_.observe();
    const StatusState &s = state_.status;
    int status = 0;
    if (!reply_.errors().empty()) status |= 0x04;
    if ((s.questionableEvent & s.questionableEnable) != 0) status |= 0x08;
    if ((reply_.errors().eventStatus & s.eventEnable) != 0) status |= 0x20;
    if ((s.operationEvent & s.operationEnable) != 0) status |= 0x80;
    if ((status & s.serviceEnable & ~0x40) != 0) status |= 0x40;
    reply_.answer(QByteArray::number(status));
}

void CommonCommands::sreCommand(const Parameters &p) {
    double value = 0.0;
    if (!reply_.oneParameter(p) || !reply_.number(p[0], "", 0, 255, value)) return;
    if (value < -0.5 || value >= 255.5) return reply_.fail(DataOutOfRange);
    state_.status.serviceEnable = static_cast<int>(std::lround(value)) & ~0x40;
}

void CommonCommands::sreQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QByteArray::number(state_.status.serviceEnable));
}

void CommonCommands::opcCommand(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    state_.status.opcSince = instrument_.nowMs();
    if (meter_.operationInProgress())
        state_.status.opcArmed = true;
    else
        reply_.errors().eventStatus |= ErrorQueue::OperationComplete;
}

void CommonCommands::opcQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    state_.status.opcSince = instrument_.nowMs();
    reply_.hold([this]() {
        if (meter_.operationInProgress()) return false;
        reply_.answer("1");
        return true;
    });
}

void CommonCommands::waiCommand(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    state_.status.opcSince = instrument_.nowMs();
    reply_.hold([this]() { return !meter_.operationInProgress(); });
}

void CommonCommands::trgCommand(const Parameters &p) {
    if (reply_.noParameter(p)) meter_.trigger();
}

void CommonCommands::tstQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("0");
}

// No hardware options: what the program offers is the same on every meter it drives.
void CommonCommands::optionsQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("0");
}

void CommonCommands::errorQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(reply_.errors().pop());
}

void CommonCommands::versionQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer("1999.0");
}

const QVector<Entry> &CommonCommands::Table() {
    using G = CommonCommands;
    static const QVector<Entry> table{
        {"*IDN", nullptr, &Call<&G::idnQuery>},
        {"*RST", &Call<&G::rstCommand>, nullptr},
        {"*CLS", &Call<&G::clsCommand>, nullptr},
        {"*ESE", &Call<&G::eseCommand>, &Call<&G::eseQuery>},
        {"*ESR", nullptr, &Call<&G::esrQuery>},
        {"*STB", nullptr, &Call<&G::stbQuery>},
        {"*SRE", &Call<&G::sreCommand>, &Call<&G::sreQuery>},
        {"*OPC", &Call<&G::opcCommand>, &Call<&G::opcQuery>},
        {"*WAI", &Call<&G::waiCommand>, nullptr},
        {"*TRG", &Call<&G::trgCommand>, nullptr},
        {"*TST", nullptr, &Call<&G::tstQuery>},
        {"*OPT", nullptr, &Call<&G::optionsQuery>},
        {"SYSTem:ERRor[:NEXT]", nullptr, &Call<&G::errorQuery>},
        {"SYSTem:VERSion", nullptr, &Call<&G::versionQuery>},
    };
    return table;
}

} // namespace Remote
