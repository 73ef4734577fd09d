// Request lengths by command byte.
#include "sim/protocol.h"

namespace Sim {

int requestLength(quint8 command) {
    switch (command) {
    case Command::SetFrequency:
        return 6;
    case Command::SetBiasVoltage:
    case Command::SetLevel:
        return 4;
    case Command::SetRange:
        return 3;
    default:
        return 2;
    }
}

} // namespace Sim
