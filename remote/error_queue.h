// A client's error queue (at most 16 entries, the last replaced by -350 on overflow) and its
// standard event status register.
#pragma once

#include <QByteArray>

#include <deque>

namespace Remote {

// The standard text of a code, empty for an unknown one.
const char *ErrorText(int code);

class ErrorQueue {
public:
    static constexpr int Capacity = 16;

    // Queues code and sets the event status bit of its class.
    void push(int code);
    // The oldest entry as SYST:ERR? answers it, 0,"No error" when empty.
    QByteArray pop();
    bool empty() const { return errors_.empty(); }
    int size() const { return static_cast<int>(errors_.size()); }
    void clear() { errors_.clear(); }

    // Standard event status register bits (IEEE 488.2).
    enum EventBit : int {
        OperationComplete = 0x01,
        QueryError = 0x04,
        DeviceError = 0x08,
        ExecutionError = 0x10,
        CommandErrorBit = 0x20,
    };
    int eventStatus = 0;

private:
    std::deque<int> errors_;
};

} // namespace Remote
