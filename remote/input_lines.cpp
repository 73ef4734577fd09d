// The lines of a client's input, bounded.
#include "remote/input_lines.h"

namespace Remote {

void InputLines::feed(const QByteArray &bytes) {
    int start = 0;
    while (start < bytes.size()) {
        const int end = bytes.indexOf('\n', start);
        if (skipping_) {
            const int stop = end < 0 ? static_cast<int>(bytes.size()) : end;
            const int mark = skippedQuery_ ? -1 : static_cast<int>(bytes.indexOf('?', start));
            if (mark >= 0 && mark < stop) skippedQuery_ = true;
            if (end < 0) return;
            endOverlong();
            start = end + 1;
            continue;
        }
        if (end < 0) {
            partial_.append(bytes.mid(start));
            if (partial_.size() > MaxLine) {
                skippedQuery_ = partial_.contains('?');
                partial_.clear();
                skipping_ = true;
            }
            return;
        }
        partial_.append(bytes.mid(start, end - start));
        if (partial_.endsWith('\r')) partial_.chop(1);
        if (partial_.size() > MaxLine) {
            skippedQuery_ = partial_.contains('?');
            partial_.clear();
            endOverlong();
        } else {
            queuedBytes_ += static_cast<int>(partial_.size());
            lines_.push_back({partial_, false, false});
            partial_.clear();
        }
        start = end + 1;
    }
}

// The overlong line takes its place in the order once its end has come.
void InputLines::endOverlong() {
    lines_.push_back({QByteArray(), true, skippedQuery_});
    skipping_ = false;
    skippedQuery_ = false;
}

bool InputLines::take(Line &line) {
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    queuedBytes_ -= static_cast<int>(line.text.size());
    return true;
}

} // namespace Remote
