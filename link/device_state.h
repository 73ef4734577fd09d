// The module-wide state of unit Device in one place, and the one way back to its start values.
#pragma once

namespace Device {

// Closes the port, forgets the port mappings and puts every variable of the unit back to its
// value at process start.
void ResetState();

} // namespace Device
