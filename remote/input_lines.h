// A client's input cut into lines: a `\r` before the `\n` dropped, an incomplete line over
// MaxLine dropped up to its end and remembered as an overlong one (-100 when its turn comes).
// The owner reads more only while full() is false, so what waits here stays bounded in bytes
// and in lines whatever the client sends.
#pragma once

#include <QByteArray>

#include <deque>

namespace Remote {

class InputLines {
public:
    static constexpr int MaxLine = 64 * 1024;
    static constexpr int MaxLines = 1024; // complete lines waiting to run

    struct Line {
        QByteArray text;
        bool overlong = false;
        bool query = false; // an overlong line held a `?`: it is owed an answer line
    };

    void feed(const QByteArray &bytes);
    // The oldest complete line; false when there is none.
    bool take(Line &line);
    bool empty() const { return lines_.empty(); }
    // Bytes of complete lines not yet taken and of the incomplete line.
    int queuedBytes() const { return queuedBytes_ + static_cast<int>(partial_.size()); }
    int queuedLines() const { return static_cast<int>(lines_.size()); }
    // No more input should be read until lines are taken.
    bool full() const { return queuedBytes() > MaxLine || queuedLines() >= MaxLines; }

private:
    void endOverlong();

    std::deque<Line> lines_;
    int queuedBytes_ = 0;
    QByteArray partial_;
    bool skipping_ = false;
    bool skippedQuery_ = false;
};

} // namespace Remote
