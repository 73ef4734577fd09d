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

// What the last load found at the table's file. A save compares the file with it, so that a
// file the table never held, or one changed by someone else since, is not replaced unasked.
enum class TableFileFound {
    Nothing, // no file at the path (a new table)
    Read,    // its rows are in the table
    NotRead  // it exists but was not read: too large, not a regular file, unreadable
};

struct TableFileRecord {
    QString path;
    TableFileFound found = TableFileFound::Nothing;
    QString reason;    // why it was not read, for the user
    qint64 size = -1;  // what was read (or last saved)
    QByteArray digest; // of those bytes
    // The file holds text its rows would not write back: fields past the third, an incomplete
    // triple, tokens dropped before a TAB line.
    bool holdsMore = false;
};

struct TableFileVariables {
    TableFileRecord TableFileAtLoad;
};
extern TableFileVariables TableFileState;
inline TableFileRecord &TableFileAtLoad = TableFileState.TableFileAtLoad;

// Why saving to path would replace a file whose contents the table does not hold; None when the
// save may go ahead.
enum class SaveRisk {
    None,
    NotRead,       // the file there was never read into the table (TableFileAtLoad.reason says why)
    ChangedOnDisk, // it was read, or there was none, but the file there now is another
    HoldsMore      // it was read, but holds text the table would not write back
};
SaveRisk CalibrationSaveRisk(const QString &path);

// The rows of a file. A line holding TABs is one row split at its TABs (blanks around a field
// are dropped, a missing field is empty, fields past the third are ignored); text without TABs is
// taken as blank-separated tokens, three to a row, also across lines, an incomplete triple being
// dropped. Lines that hold nothing add no row.
QVector<CalibrationRow> ReadCalibrationRows(const QByteArray &bytes);
// The file's bytes for rows. A TAB or a line break inside a text is written as a blank.
QByteArray WriteCalibrationRows(const QVector<CalibrationRow> &rows);
// Whether writing back the rows read from bytes would keep every word of them: the same
// non-blank tokens in the same order (blanks, TABs and line ends may differ).
bool RowsKeepEveryWord(const QByteArray &bytes);

// Reads the file at CalibrationFilePath (or path) into ClbTable(). False, and the table keeps
// its rows, when the file cannot be read. Either way TableFileAtLoad records what was found.
bool LoadCalibrationTable();
bool LoadCalibrationTable(const QString &path);
// Writes every row of ClbTable() to CalibrationFilePath (or path). Returns why it failed, or an
// empty text; a failed save leaves the file that was there as it was, and so does a file that
// has no write permission bit at all, whoever runs the program (root included). A save that
// succeeded becomes what TableFileAtLoad holds for path.
QString SaveCalibrationTable();
QString SaveCalibrationTable(const QString &path);

} // namespace Device
