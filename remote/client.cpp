// A client's command stream: its lines cut into units, each resolved by the path rule and run by
// its group, the answers of a line on one line, and the held-back answer tried again on each poll.
#include "remote/client.h"

namespace Remote {

Client::Client(Instrument &instrument)
    : instrument_(instrument), meter_(instrument, reply_, state_),
      commands_(CommandContext{instrument, reply_, state_, meter_}) {
    meter_.observe();
}

Client::~Client() {
    if (meter_.ownRunGoing()) instrument_.abortList();
    meter_.endHeldSetting();
    if (meter_.ownCorrectionRunGoing()) instrument_.stopCorrectionRun();
    if (meter_.ownBatchGoing()) instrument_.endSortingBatch();
}

bool Client::takeLine() {
    InputLines::Line line;
    if (!input_.take(line)) return false;
    if (line.overlong) {
        reply_.fail(CommandError);
        if (line.query) reply_.answer(QByteArray());
        reply_.endMessage();
        return true;
    }
    line_ = std::move(line.text);
    linePos_ = 0;
    inLine_ = true;
    path_.clear();
    return true;
}

bool Client::pump(int limit) {
    int ran = 0;
    while (ran < limit && !reply_.holding() && reply_.outputSize() < OutputChunk) {
        QByteArray unit;
        if (inLine_ && NextUnit(line_, linePos_, unit)) {
            runCommand(unit);
            ++ran;
            continue;
        }
        if (inLine_) reply_.endMessage();
        inLine_ = false;
        line_.clear();
        if (!takeLine()) return false;
    }
    return !reply_.holding() && (inLine_ || !input_.empty());
}

void Client::poll() {
    meter_.observe();
    meter_.collectFinishedRun();
    reply_.retryHeld();
    if (state_.status.opcArmed && !meter_.operationInProgress()) {
        state_.status.opcArmed = false;
        reply_.errors().eventStatus |= ErrorQueue::OperationComplete;
    }
}

const Entry *Client::resolve(const ParsedCommand &command, QVector<QByteArray> &header) const {
    const QVector<Entry> &table = CommandTable();
    const QVector<Pattern> &patterns = CommandPatterns();
    auto find = [&](const QVector<QByteArray> &nodes) -> const Entry * {
        for (int i = 0; i < table.size(); ++i)
            if (MatchPattern(patterns[i], nodes)) {
                header = nodes;
                return &table[i];
            }
        return nullptr;
    };
    if (!command.common && !command.absolute && !path_.isEmpty()) {
        if (const Entry *entry = find(path_ + command.nodes)) return entry;
    }
    return find(command.nodes);
}

void Client::runCommand(const QByteArray &unit) {
    const ParsedCommand command = ParseCommand(unit);
    meter_.observe();
    const long long answered = reply_.answerCount();
    QVector<QByteArray> header;
    const Entry *entry = command.error == 0 ? resolve(command, header) : nullptr;
    if (command.error != 0) {
        reply_.fail(command.error);
    } else if (entry == nullptr) {
        reply_.fail(UndefinedHeader);
    } else if (const Handler handler = command.query ? entry->query : entry->command) {
        handler(commands_, command.parameters);
    } else {
        reply_.fail(UndefinedHeader);
    }
    // A command header sets the path for the next relative one; common commands leave it.
    if (entry != nullptr && !command.common) {
        header.removeLast();
        path_ = header;
    }
    // Every query answers its field, an empty one when it failed or could not be parsed.
    if ((command.query || HoldsQuery(unit)) && !reply_.holding() &&
        reply_.answerCount() == answered)
        reply_.answer(QByteArray());
}

} // namespace Remote
