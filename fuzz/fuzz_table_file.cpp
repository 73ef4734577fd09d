// libFuzzer target: any bytes as the calibration table's file must read without a crash, and
// the rows read must come back unchanged when written and read again; the table built from them
// must answer the lookup.
#include "link/calibration_file.h"
#include "link/calibration_table.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QVector<Device::CalibrationRow> rows = Device::ReadCalibrationRows(bytes);
    for (const Device::CalibrationRow &row : rows)
        if ((row[0] + row[1] + row[2]).isEmpty()) std::abort(); // a line of nothing made a row
    if (Device::ReadCalibrationRows(Device::WriteCalibrationRows(rows)) != rows) std::abort();

    Device::CalibrationTableModel table;
    table.Load(rows);
    float c = 0.0f;
    if (size >= sizeof c) std::memcpy(&c, data, sizeof c);
    table.CorrectionFor(c);
    table.CorrectionFor(1000.0f);
    return 0;
}
