// The calibration table's file: one line per row, the three texts joined by TAB, each line
// ended by CR CR LF, in the single-byte code page Windows-1251.
#pragma once

#include "link/calibration_table.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace Device {

// Files larger than this are not read: the table keeps its rows.
constexpr qint64 MaxCalibrationFileSize = 4 * 1024 * 1024;

// The rows of a file. A line holding TABs is one row split at its TABs (blanks around a field
// are dropped, a missing field is empty, fields past the third are ignored); text without TABs is
// taken as blank-separated tokens, three to a row, also across lines, an incomplete triple being
// dropped. Lines that hold nothing add no row.
QVector<CalibrationRow> ReadCalibrationRows(const QByteArray &bytes);
// The file's bytes for rows. A TAB or a line break inside a text is written as a blank.
QByteArray WriteCalibrationRows(const QVector<CalibrationRow> &rows);

// Reads the file at CalibrationFilePath (or path) into ClbTable(). False, and the table keeps
// its rows, when the file cannot be read.
bool LoadCalibrationTable();
bool LoadCalibrationTable(const QString &path);
// Writes every row of ClbTable() to CalibrationFilePath (or path). Returns why it failed, or an
// empty text; a failed save leaves the file that was there as it was.
QString SaveCalibrationTable();
QString SaveCalibrationTable(const QString &path);

} // namespace Device
