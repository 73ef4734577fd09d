// Definitions of unit Device's module-wide variables, grouped per file of the unit; the
// documented names are references into these (see the headers).
#include "link/device_state.h"

#include "link/calibration.h"
#include "link/calibration_file.h"
#include "link/calibration_table.h"
#include "link/commands.h"
#include "link/display_lines.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/port_names.h"
#include "link/serial_link.h"

namespace Device {

LinkVariables LinkState;
FrameVariables FrameState;
MeasurementVariables MeasurementState;
LineVariables LineState;
ModelVariables ModelState;
PortNameVariables PortNameState;
CalibrationVariables CalibrationState;
TableFileVariables TableFileState;

// A Qt object, so created on first use rather than during static initialisation.
CalibrationTableModel &ClbTable() {
    static CalibrationTableModel table;
    return table;
}

void ResetState() {
    ClosePort();
    LinkState = {};
    FrameState = {};
    MeasurementState = {};
    LineState = {};
    ModelState = {};
    PortNameState = {};
    CalibrationState = {};
    TableFileState = {};
    ClbTable().Clear();
}

} // namespace Device
