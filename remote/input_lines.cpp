// The lines of a client's input, bounded.
#include "remote/input_lines.h"

namespace Remote {

void InputLines::feed(const QByteArray &bytes) {
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

bool InputLines::take(Line &line) {
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    queuedBytes_ -= static_cast<int>(line.text.size());
    return true;
}

} // namespace Remote
