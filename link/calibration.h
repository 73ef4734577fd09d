// The D calibration seam inside the computation of D: the averaging step and the table
// correction. The table and the averaging run arrive with the calibration panel; until then
// both are neutral.
#pragma once

namespace Device {

// Runs once per valid frame with the uncorrected D.
void CalibrationStep(float d);
// The correction to add to D for the last measured capacitance.
float LookupDCorrection();

} // namespace Device
