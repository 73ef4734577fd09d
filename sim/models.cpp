// Model table of the simulated meter.
#include "sim/models.h"

#include <QStringList>

#include <algorithm>

namespace Sim {

namespace {

constexpr ModelInfo Models[ModelCount] = {
    {"KT-41", "KT41", 25, 1000000, 100, true},  {"KT-43", "KT43", 25, 3000000, 10, false},
    {"KT-44", "KT44", 25, 10000000, 10, false}, {"KT-45", "KT45", 50000, 30000000, 10, false},
    {"KT-46", "KT46", 25, 3000000, 10, false},
};

} // namespace

const ModelInfo &model(int row) {
    return Models[std::clamp(row, 0, ModelCount - 1)];
}

int findModel(const QString &text) {
    for (int row = 0; row < ModelCount; ++row) {
        if (text == QLatin1String(Models[row].name) ||
            text == QLatin1String(Models[row].identifier))
            return row;
    }
    return -1;
}

QString modelNameList() {
    QStringList names;
    for (const ModelInfo &m : Models)
        names << QLatin1String(m.name);
    return names.join(QLatin1String(", "));
}

} // namespace Sim
