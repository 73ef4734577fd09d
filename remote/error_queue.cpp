// SCPI error texts and the bounded error queue.
#include "remote/error_queue.h"

#include "remote/instrument.h"

namespace Remote {

const char *ErrorText(int code) {
    switch (code) {
    case NoError:
        return "No error";
    case CommandError:
        return "Command error";
    case SyntaxError:
        return "Syntax error";
    case DataTypeError:
        return "Data type error";
    case ParameterNotAllowed:
        return "Parameter not allowed";
    case MissingParameter:
        return "Missing parameter";
    case UndefinedHeader:
        return "Undefined header";
    case InvalidSuffix:
        return "Invalid suffix";
    case InitIgnored:
        return "Init ignored";
    case SettingsConflict:
        return "Settings conflict";
    case DataOutOfRange:
        return "Data out of range";
    case IllegalParameterValue:
        return "Illegal parameter value";
    case DataStale:
        return "Data stale";
    case HardwareError:
        return "Hardware error";
    case QueueOverflow:
        return "Queue overflow";
    case RunIncomplete:
        return "Sweep run stopped before its last point; its data are partial";
    case BiasNotRestored:
        return "Bias not set back; line lost";
    case MeterReconnected:
        return "Meter reconnected; readings of a new connection";
    case CorrectionIncomplete:
        return "Compensation run incomplete; its data are partial";
    default:
        return "";
    }
}

void ErrorQueue::push(int code) {
    if (code <= -100 && code > -200)
        eventStatus |= CommandErrorBit;
    else if (code <= -200 && code > -300)
        eventStatus |= ExecutionError;
    else if (code <= -300 && code > -400)
        eventStatus |= DeviceError;
    else if (code <= -400 && code > -500)
        eventStatus |= QueryError;
    if (static_cast<int>(errors_.size()) < Capacity) {
        errors_.push_back(code);
    } else {
        errors_.back() = QueueOverflow;
        eventStatus |= DeviceError;
    }
}

QByteArray ErrorQueue::pop() {
    const int code = errors_.empty() ? NoError : errors_.front();
    if (!errors_.empty()) errors_.pop_front();
    return QByteArray::number(code) + ",\"" + ErrorText(code) + '"';
}

} // namespace Remote
