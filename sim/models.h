// The five meter models the simulator can play: names, identifiers, frequency windows and the
// two wire differences of the first row (bias scale, phase sign).
#pragma once

#include <QString>

namespace Sim {

struct ModelInfo {
    const char *name;       // display name, e.g. "KT-44"
    const char *identifier; // four characters of the identity reply, e.g. "KT44"
    qint32 lowestHz;
    qint32 highestHz;
    int biasStepMillivolts; // one unit of the 16-bit bias fields
    bool negatedPhase;      // the phase angle goes out with the opposite sign
};

constexpr int ModelCount = 5;
constexpr int DefaultModelRow = 2; // KT-44

const ModelInfo &model(int row);

// Row whose display name or identifier equals text (case-sensitive), or -1.
int findModel(const QString &text);

// "KT-41, KT-43, ..." for messages.
QString modelNameList();

} // namespace Sim
