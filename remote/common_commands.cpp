// IEEE 488.2 common commands and the SYSTem subsystem.
#include "remote/session.h"

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

void Session::idnQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    const ModelInfo model = instrument_.model();
    const bool present = instrument_.lineState() != LineState::NoMeter && !model.name.isEmpty();
    answer("Impedix," + (present ? IdentityField(model.name) : QByteArray("no meter")) + ',' +
           IdentityField(model.port) + ',' + IMPEDIX_VERSION);
}

void Session::rstCommand(const Parameters &p) {
    if (!noParameter(p)) return;
    if (ownRunGoing()) instrument_.abortList();
    const ModelInfo model = instrument_.model();
    Settings defaults = instrument_.settings();
    defaults.frequency = std::max<std::int32_t>(1000, model.lowestFrequency);
    defaults.levelMillivolts = 1000;
    defaults.biasMillivolts = 0;
    defaults.biasOn = false;
    defaults.autoRange = true;
    defaults.normalSpeed = true;
    defaults.seriesCircuit = true;
    triggerSource_ = TriggerSource::Internal;
    function_ = 0;
    aperture_ = 1;
    averaging_ = 1;
    listPage_ = false;
    listMode_ = ListMode::Sequence;
    triggerActive_ = false;
    haveTriggerResult_ = false;
    stepIndex_ = 0;
    stepPoints_.clear();
    noteSetting(instrument_.applySettings(defaults));
}

void Session::clsCommand(const Parameters &p) {
    if (!noParameter(p)) return;
    errors_.clear();
    errors_.eventStatus = 0;
    opcArmed_ = false;
}

void Session::eseCommand(const Parameters &p) {
    double value = 0.0;
    if (!oneParameter(p) || !number(p[0], "", 0, 255, value)) return;
    if (value < -0.5 || value >= 255.5) return fail(DataOutOfRange);
    eventEnable_ = static_cast<int>(std::lround(value));
}

void Session::eseQuery(const Parameters &p) {
    if (noParameter(p)) answer(QByteArray::number(eventEnable_));
}

void Session::esrQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    answer(QByteArray::number(errors_.eventStatus));
    errors_.eventStatus = 0;
}

void Session::stbQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    int status = 0;
    if (!errors_.empty()) status |= 0x04;                          // error queue not empty
    if ((errors_.eventStatus & eventEnable_) != 0) status |= 0x20; // event summary
    if ((status & 0x24) != 0) status |= 0x40;                      // master summary
    answer(QByteArray::number(status));
}

void Session::opcCommand(const Parameters &p) {
    if (!noParameter(p)) return;
    opcSince_ = instrument_.nowMs();
    if (operationInProgress())
        opcArmed_ = true;
    else
        errors_.eventStatus |= ErrorQueue::OperationComplete;
}

void Session::opcQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    opcSince_ = instrument_.nowMs();
    hold([this]() {
        if (operationInProgress()) return false;
        answer("1");
        return true;
    });
}

void Session::waiCommand(const Parameters &p) {
    if (!noParameter(p)) return;
    opcSince_ = instrument_.nowMs();
    hold([this]() { return !operationInProgress(); });
}

void Session::trgCommand(const Parameters &p) {
    if (noParameter(p)) trigger();
}

void Session::tstQuery(const Parameters &p) {
    if (noParameter(p)) answer("0");
}

void Session::errorQuery(const Parameters &p) {
    if (noParameter(p)) answer(errors_.pop());
}

void Session::versionQuery(const Parameters &p) {
    if (noParameter(p)) answer("1999.0");
}

} // namespace Remote
