// The ticks of a logarithmic frequency axis: 1, 2 and 5 of every decade, labelled with
// engineering prefixes (100 Hz, 1 kHz, 10 kHz …).
#pragma once

#include <QString>

#include <vector>

namespace Sweep {

struct FrequencyTick {
    double hz = 0.0;
    QString label;
};

// Every 1-2-5 value within low..high (Hz, both ends included). Where a span holds fewer than
// three of them, the ticks of every whole step of the decade (1…9) are given instead; where more
// than `most`, only the decades.
std::vector<FrequencyTick> LogFrequencyTicks(double low, double high, int most = 1000);

// hz with a prefix and up to `digits` significant digits: "2 kHz", "3.6 MHz", "25 Hz".
QString FrequencyText(double hz, int digits = 4);

} // namespace Sweep
