// A client's input, the dispatch of its commands and the answers it holds back.
#include "remote/session.h"

#include "remote/command_table.h"

#include <cmath>

namespace Remote {

Session::Session(Instrument &instrument) : instrument_(instrument) {
    observe();
}

Session::~Session() {
    if (ownRunGoing()) instrument_.abortList();
}

void Session::feed(const QByteArray &bytes) {
    int start = 0;
    while (start < bytes.size()) {
        const int end = bytes.indexOf('\n', start);
        if (skipping_) {
            if (end < 0) return;
            skipping_ = false;
            start = end + 1;
            continue;
        }
        if (end < 0) {
            partial_.append(bytes.mid(start));
            if (partial_.size() > MaxLine) {
                partial_.clear();
                skipping_ = true;
                lines_.push_back({QByteArray(), true});
            }
            return;
        }
        partial_.append(bytes.mid(start, end - start));
        if (partial_.endsWith('\r')) partial_.chop(1);
        const bool overlong = partial_.size() > MaxLine;
        if (overlong) partial_.clear();
        queuedBytes_ += static_cast<int>(partial_.size());
        lines_.push_back({partial_, overlong});
        partial_.clear();
        start = end + 1;
    }
}

bool Session::takeLine() {
    if (lines_.empty()) return false;
    Line line = std::move(lines_.front());
    lines_.pop_front();
    queuedBytes_ -= static_cast<int>(line.text.size());
    if (line.overlong) {
        fail(CommandError);
        return true;
    }
    line_ = std::move(line.text);
    linePos_ = 0;
    inLine_ = true;
    path_.clear();
    return true;
}

bool Session::pump(int limit) {
    int ran = 0;
    while (ran < limit && !held_ && output_.size() < OutputChunk) {
        QByteArray unit;
        if (inLine_ && NextUnit(line_, linePos_, unit)) {
            runCommand(ParseCommand(unit));
            ++ran;
            continue;
        }
        inLine_ = false;
        line_.clear();
        if (!takeLine()) return false;
    }
    return !held_ && (inLine_ || !lines_.empty());
}

void Session::poll() {
    observe();
    collectFinishedRun();
    if (held_ && held_()) held_ = nullptr;
    if (opcArmed_ && !operationInProgress()) {
        opcArmed_ = false;
        errors_.eventStatus |= ErrorQueue::OperationComplete;
    }
}

QByteArray Session::takeOutput() {
    QByteArray out;
    out.swap(output_);
    return out;
}

void Session::answer(const QByteArray &text) {
    output_.append(text);
    output_.append('\n');
}

void Session::hold(std::function<bool()> attempt) {
    if (!attempt()) held_ = std::move(attempt);
}

namespace {

// The table's patterns, parsed once.
const QVector<Pattern> &TablePatterns(const QVector<Session::Entry> &table) {
    static const QVector<Pattern> patterns = [&table]() {
        QVector<Pattern> parsed;
        for (const Session::Entry &entry : table)
            parsed.append(ParsePattern(entry.pattern));
        return parsed;
    }();
    return patterns;
}

} // namespace

const Session::Entry *Session::resolve(const ParsedCommand &command,
                                       QVector<QByteArray> &header) const {
    const QVector<Entry> &table = Table();
    const QVector<Pattern> &patterns = TablePatterns(table);
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

void Session::runCommand(const ParsedCommand &command) {
    observe();
    const int answered = static_cast<int>(output_.size());
    QVector<QByteArray> header;
    const Entry *entry = command.error == 0 ? resolve(command, header) : nullptr;
    if (command.error != 0) {
        fail(command.error);
    } else if (entry == nullptr) {
        fail(UndefinedHeader);
    } else if (const Handler handler = command.query ? entry->query : entry->command) {
        (this->*handler)(command.parameters);
    } else {
        fail(UndefinedHeader);
    }
    // A command header sets the path for the next relative one; common commands leave it.
    if (entry != nullptr && !command.common) {
        header.removeLast();
        path_ = header;
    }
    // Every query answers exactly one line, an empty one when it failed.
    if (command.query && !held_ && output_.size() == answered) answer(QByteArray());
}

bool Session::oneParameter(const Parameters &p) {
    if (p.isEmpty()) {
        fail(MissingParameter);
        return false;
    }
    if (p.size() > 1) {
        fail(ParameterNotAllowed);
        return false;
    }
    return true;
}

bool Session::noParameter(const Parameters &p) {
    if (p.isEmpty()) return true;
    fail(ParameterNotAllowed);
    return false;
}

bool Session::number(const QByteArray &text, const char *unit, double minimum, double maximum,
                     double &value) {
    const Number n = ParseNumber(text, unit);
    if (n.error != 0) {
        fail(n.error);
        return false;
    }
    value = n.kind == Number::Minimum ? minimum : n.kind == Number::Maximum ? maximum : n.value;
    return true;
}

bool Session::boolean(const QByteArray &text, bool &value) {
    const Boolean b = ParseBoolean(text);
    if (b.error != 0) {
        fail(b.error);
        return false;
    }
    value = b.value;
    return true;
}

bool Session::mnemonic(const QByteArray &text, const char *const *forms, int &index) {
    index = ChooseMnemonic(forms, text);
    if (index >= 0) return true;
    fail(IllegalParameterValue);
    return false;
}

bool Session::noteSetting(int code) {
    if (code != 0) {
        fail(code);
        return false;
    }
    changeSequence_ = instrument_.latestReading().sequence;
    changeTime_ = instrument_.nowMs();
    return true;
}

} // namespace Remote
