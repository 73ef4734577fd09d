// A fixture's compensation as a text file a person can read: a header of "key value" lines
// (model, fixture, saved, standard, which kinds are on), then one line per reading:
// "open|short|load FREQUENCY_HZ RE_Z_OHM IM_Z_OHM". Numbers in the C locale at full precision.
#pragma once

#include "compensation/compensation_data.h"

#include <QByteArray>
#include <QString>

namespace Comp {

QByteArray FormatCompensation(const Compensation &compensation);

struct ParsedCompensation {
    bool ok = false;
    Compensation compensation;
    int line = 0;  // the line of the first problem, from 1
    QString error; // what is wrong there, in English
};

// The data of text; refused (ok false, nothing of it kept) when a line cannot be read, a
// frequency or value is not a finite number, the standard is given but invalid, or the model is
// not expectedModel (when that is not empty).
ParsedCompensation ParseCompensation(const QByteArray &text, const QString &expectedModel = {});

// Where a fixture's data for a model are kept: <app data>/compensation/<model>-<fixture>.txt,
// the fixture's name with anything but letters, digits, '-' and '_' replaced by '_'.
QString CompensationPath(const QString &model, const QString &fixture);

// Saves atomically (the old file stays whole when writing fails); false with error.
bool SaveCompensation(const QString &path, const Compensation &compensation, QString *error);
// Reads path for expectedModel; a missing file, another model's or a damaged one is refused with
// a message naming the file and, for a damaged one, the line.
ParsedCompensation LoadCompensation(const QString &path, const QString &expectedModel);

} // namespace Comp
