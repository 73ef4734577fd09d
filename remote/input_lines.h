// A client's input cut into lines: a `\r` before the `\n` dropped, an incomplete line over
// MaxLine dropped up to its end and remembered as an overlong one (-100 when its turn comes).
#pragma once

#include <QByteArray>

#include <deque>

namespace Remote {

class InputLines {
public:
    static constexpr int MaxLine = 64 * 1024;

    struct Line {
        QByteArray text;
        bool overlong = false;
    };

    void feed(const QByteArray &bytes);
    // The oldest complete line; false when there is none.
    bool take(Line &line);
    bool empty() const { return lines_.empty(); }
    // Bytes of complete lines not yet taken and of the incomplete line.
    int queuedBytes() const { return queuedBytes_ + static_cast<int>(partial_.size()); }

private:
    std::deque<Line> lines_;
    int queuedBytes_ = 0;
    QByteArray partial_;
    bool skipping_ = false;
};

} // namespace Remote
