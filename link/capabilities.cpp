// Each model's description, built from its table row and the facts every model shares.
#include "link/capabilities.h"

#include <algorithm>

namespace Device {

Capabilities CapabilitiesOf(int index) {
    Capabilities model;
    model.lowestHz = ModelLowestFrequency(index);
    model.highestHz = ModelHighestFrequency(index);
    model.sweepLowestHz = std::max(SweepLowestHz, model.lowestHz);
    model.sweepHighestHz = std::min(SweepHighestHz, model.highestHz);
    model.biasStepMillivolts = BiasScale(index);
    return model;
}

Capabilities AnyModelCapabilities() {
    Capabilities any;
    any.lowestHz = LowestFrequencyOfAnyModel();
    any.highestHz = HighestFrequencyOfAnyModel();
    any.sweepLowestHz = std::max(SweepLowestHz, any.lowestHz);
    any.sweepHighestHz = std::min(SweepHighestHz, any.highestHz);
    any.biasStepMillivolts = BiasScale(0);
    for (int row = 0; row < ModelCount; ++row)
        any.biasStepMillivolts = std::min(any.biasStepMillivolts, BiasScale(row));
    return any;
}

} // namespace Device
