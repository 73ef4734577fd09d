// What a client is answered: its answer lines, its error queue and event status, the answer it
// holds back, and the checks of parameters that queue their error when they fail.
#pragma once

#include "remote/error_queue.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <functional>

namespace Remote {

using Parameters = QVector<QByteArray>;

// The answers to the queries of one line (one program message) go out as one line, separated by
// `;`: answer() adds a field, endMessage() ends the line when it had any.
class Reply {
public:
    void answer(const QByteArray &text);
    void endMessage();
    // Counts every answer given; a query that leaves it as it was owes its empty field.
    long long answerCount() const { return answers_; }
    void fail(int code) { errors_.push(code); }
    // Tries attempt at once; while it returns false the client's command stream stops behind it.
    void hold(std::function<bool()> attempt);
    bool holding() const { return static_cast<bool>(held_); }
    void retryHeld(); // the held answer, tried again
    QByteArray takeOutput();
    int outputSize() const { return static_cast<int>(output_.size()); }
    ErrorQueue &errors() { return errors_; }
    const ErrorQueue &errors() const { return errors_; }

    // Parameter checks: each queues its error and returns false.
    bool oneParameter(const Parameters &p);
    bool noParameter(const Parameters &p);
    // A numeric setting's query: nothing (the value), MIN or MAX (its bound). limit is 0, -1
    // for MIN or +1 for MAX.
    bool limitQuery(const Parameters &p, int &limit);
    bool number(const QByteArray &text, const char *unit, double minimum, double maximum,
                double &value);
    // One parameter, a frequency in hertz within minimum…maximum, rounded to a whole hertz.
    bool wholeHertz(const Parameters &p, double minimum, double maximum, std::int32_t &hz);
    bool boolean(const QByteArray &text, bool &value);
    bool mnemonic(const QByteArray &text, const char *const *forms, int &index);

private:
    QByteArray output_;
    int fields_ = 0; // answers of the message under way
    long long answers_ = 0;
    ErrorQueue errors_;
    std::function<bool()> held_;
};

} // namespace Remote
