// The D calibration seam inside the computation of D: the averaging step and the table
// correction. Both are neutral here: no averaging run and an empty table.
#pragma once

namespace Device {

// Runs once per valid frame with the uncorrected D.
void CalibrationStep(float d);
// The correction to add to D for the last measured capacitance.
float LookupDCorrection();

} // namespace Device
