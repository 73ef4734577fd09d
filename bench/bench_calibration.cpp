// Figures for the D calibration: the lookup and the corrected line of D with a 1000-row table,
// and loading, checking and saving table files of 10 000 and 100 000 rows.
#include "link/device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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

// Loading, the check a save makes before it replaces the file, and saving, for a table of rows.
void LoadAndSave(int rows, int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::printf("table file: no temporary directory\n");
        return;
    }
    const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
    Device::ClbTable().Load(Table(rows));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        Device::SaveCalibrationTable(path);
    const double saveMs = clock.nsecsElapsed() / 1e6 / rounds;
    clock.restart();
    for (int i = 0; i < rounds; ++i)
        Device::LoadCalibrationTable(path);
    const double loadMs = clock.nsecsElapsed() / 1e6 / rounds;
    clock.restart();
    for (int i = 0; i < rounds; ++i)
        Device::CalibrationSaveRisk(path);
    const double checkMs = clock.nsecsElapsed() / 1e6 / rounds;
    std::printf("%d-row table file (%.2f MiB): load %.2f ms (goal under 100 ms), check before "
                "saving %.2f ms, save %.2f ms; %d rows after loading\n",
                rows, QFileInfo(path).size() / 1048576.0, loadMs, checkMs, saveMs,
                Device::ClbTable().rowCount());
}

// The worst a file within the size bound can do: the shortest rows there are, up to the bound.
void DensestFileWithinTheBound() {
    QTemporaryDir dir;
    if (!dir.isValid()) return;
    const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
    const QByteArray row("1\t2\t3\r\r\n");
    QByteArray bytes;
    bytes.reserve(static_cast<int>(Device::MaxCalibrationFileSize));
    while (bytes.size() + row.size() <= Device::MaxCalibrationFileSize)
        bytes += row;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return;
    file.close();
    QElapsedTimer clock;
    clock.start();
    Device::LoadCalibrationTable(path);
    const double loadMs = clock.nsecsElapsed() / 1e6;
    Device::ParameterValues[Device::ValResistance] = 3.0f;
    Device::ParameterValues[Device::ValReactance] = -1591.5f;
    Device::LastCapacitance = 1.0e9f; // beyond every row: all are read
    Device::AngularFrequency = 6283.185f;
    constexpr int rounds = 20;
    clock.restart();
    for (int i = 0; i < rounds; ++i)
        Device::ComputeParameter(Device::ParD);
    const double perFrameUs = clock.nsecsElapsed() / 1000.0 / rounds;
    std::printf("densest file within the bound (%d rows, %.2f MiB): load %.0f ms, D with lookup "
                "%.0f us per frame\n",
                Device::ClbTable().rowCount(), bytes.size() / 1048576.0, loadMs, perFrameUs);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    LookupAndCorrectedLine();
    LoadAndSave(10000, 20);
    LoadAndSave(100000, 5);
    DensestFileWithinTheBound();
    return 0;
}
