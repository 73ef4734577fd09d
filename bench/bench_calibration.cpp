// Figures for the D calibration: the lookup and the corrected line of D with a 1000-row table,
// and loading and saving a 10 000-row table file.
#include "link/device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QVector<Device::CalibrationRow> Table(int rows) {
    QVector<Device::CalibrationRow> table;
    for (int i = 0; i < rows; ++i)
        table.append({QString::number(i * 100) + QStringLiteral(",5"),
                      QString::number(i * 100 + 99) + QStringLiteral(".25"),
                      QStringLiteral("0,000%1").arg(i % 10)});
    return table;
}

// The D of one frame: its first line, the calibration step, the lookup and the corrected line.
void LookupAndCorrectedLine() {
    Device::ResetState();
    Device::ClbTable().Load(Table(1000));
    Device::ParameterValues[Device::ValResistance] = 3.0f;    // R, ohms
    Device::ParameterValues[Device::ValReactance] = -1591.5f; // X, ohms
    Device::LastCapacitance = 1.0e9f;                         // beyond every row: all 1000 are read
    Device::AngularFrequency = 6283.185f;
    constexpr int rounds = 200000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        Device::ComputeParameter(Device::ParD);
    const double perFrameUs = clock.nsecsElapsed() / 1000.0 / rounds;
    std::printf("D with lookup and corrected line, 1000 rows, no row matching: %.3f us per frame "
                "(goal under 50 us)\n",
                perFrameUs);
}

void LoadAndSave() {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::printf("table file: no temporary directory\n");
        return;
    }
    const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
    Device::ClbTable().Load(Table(10000));
    constexpr int rounds = 20;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        Device::SaveCalibrationTable(path);
    const double saveMs = clock.nsecsElapsed() / 1e6 / rounds;
    clock.restart();
    for (int i = 0; i < rounds; ++i)
        Device::LoadCalibrationTable(path);
    const double loadMs = clock.nsecsElapsed() / 1e6 / rounds;
    std::printf("10 000-row table file: load %.2f ms (goal under 100 ms), save %.2f ms; %d rows "
                "after loading\n",
                loadMs, saveMs, Device::ClbTable().rowCount());
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    LookupAndCorrectedLine();
    LoadAndSave();
    return 0;
}
