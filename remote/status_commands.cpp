// STATus:OPERation and STATus:QUEStionable as a client sees them. The events are the client's own
// (set as it observes the meter), so that one script's reading does not clear another's.
#include "remote/status_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include <cmath>

namespace Remote {

int StatusCommands::operationCondition() const {
    int condition = 0;
    if (instrument_.runGoing()) condition |= SweepCompleteBit;
    if (instrument_.lineState() == LineState::Ready) condition |= MeasurementCompleteBit;
    return condition;
}

int StatusCommands::questionableCondition() const {
    return instrument_.lineState() == LineState::Ready ? 0 : LineBit;
}

bool StatusCommands::mask(const Parameters &p, int &value) {
    double number = 0.0;
    if (!reply_.oneParameter(p) || !reply_.number(p[0], "", 0, 32767, number)) return false;
    if (!(number >= -0.5 && number < 32767.5)) {
        reply_.fail(DataOutOfRange);
        return false;
    }
    value = static_cast<int>(std::lround(number));
    return true;
}

void StatusCommands::operationEventQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    meter_.observe();
    reply_.answer(QByteArray::number(state_.status.operationEvent));
    state_.status.operationEvent = 0;
}

void StatusCommands::operationConditionQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QByteArray::number(operationCondition()));
}

void StatusCommands::operationEnableCommand(const Parameters &p) {
    mask(p, state_.status.operationEnable);
}

void StatusCommands::operationEnableQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QByteArray::number(state_.status.operationEnable));
}

void StatusCommands::questionableEventQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    meter_.observe();
    reply_.answer(QByteArray::number(state_.status.questionableEvent));
    state_.status.questionableEvent = 0;
}

void StatusCommands::questionableConditionQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QByteArray::number(questionableCondition()));
}

void StatusCommands::questionableEnableCommand(const Parameters &p) {
    mask(p, state_.status.questionableEnable);
}

void StatusCommands::questionableEnableQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(QByteArray::number(state_.status.questionableEnable));
}

// The enable registers as at power-on; the events stay for *CLS to clear.
void StatusCommands::presetCommand(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    state_.status.operationEnable = 0;
    state_.status.questionableEnable = 0;
}

const QVector<Entry> &StatusCommands::Table() {
    using G = StatusCommands;
    static const QVector<Entry> table{
        {"STATus:OPERation[:EVENt]", nullptr, &Call<&G::operationEventQuery>},
        {"STATus:OPERation:CONDition", nullptr, &Call<&G::operationConditionQuery>},
        {"STATus:OPERation:ENABle", &Call<&G::operationEnableCommand>,
         &Call<&G::operationEnableQuery>},
        {"STATus:QUEStionable[:EVENt]", nullptr, &Call<&G::questionableEventQuery>},
        {"STATus:QUEStionable:CONDition", nullptr, &Call<&G::questionableConditionQuery>},
        {"STATus:QUEStionable:ENABle", &Call<&G::questionableEnableCommand>,
         &Call<&G::questionableEnableQuery>},
        {"STATus:PRESet", &Call<&G::presetCommand>, nullptr},
    };
    return table;
}

} // namespace Remote
