// Requests of a front end that shows the conditions with its own controls (the window): the
// bias in fine and coarse steps, the frequency's decade-wise step, the shown parameters, the
// calibration grid's marker and its averaging count, and the conditions another front end changed.
#include "core/session.h"

#include "core/main_state.h"
#include "core/settings_logic.h"
#include "link/calibration.h"
#include "link/calibration_table.h"

namespace Core {

bool Session::StepBias(bool up) {
    // A step past either end would send the same value again: nothing goes out.
    const std::int32_t next = Main::FineBiasStep(Main::BiasSetting, up);
    if (next == Main::BiasSetting) return false;
    return SetBias(next);
}

bool Session::SetBiasStep(int position) {
    if (position < 0 || position >= static_cast<int>(Main::BiasList.size())) return false;
    Main::BiasStep = position;
    return SetBias(Main::BiasList[static_cast<std::size_t>(position)]);
}

void Session::StepFrequency(bool up) {
    SetFrequency(Main::IncrementFrequency(Main::CurrentFrequency, up, Main::FrequencyLow,
                                          Main::FrequencyHigh));
}

void Session::SetShownParameter(int slot, int index) {
    (slot == 0 ? Main::Param1Index : Main::Param2Index) = index;
}

void Session::SelectCalibrationCell(int column, int row) {
    Device::ClbTable().SelectCell(column, row);
}

bool Session::SetAveragingCount(const QString &text) {
    return Device::SetAveragingCount(text);
}

// The coarse step follows a bias set elsewhere, as after a synchronisation, so the window's
// coarse control stands where the level now is.
void Session::AnnounceConditions() {
    if (Main::BiasSetting > 0) Main::BiasStep = Main::CoarseBiasPosition(Main::BiasSetting);
    emit conditionsChanged();
}

} // namespace Core
