// What a sweep's data file does not say: the meter, when, what was swept and the conditions it
// was measured at, and the fit when one was made. Kept beside the file in a side file of its own
// (the data file's name with ".impedix.json" added), so the table's bytes stay what readers of
// the table expect.
#pragma once

#include "fit/circuit_fit.h"
#include "library/kept_sweep.h"

#include <QJsonObject>
#include <QString>

namespace Core {

class Session;

struct SweepContext {
    QDateTime taken; // UTC
    QString model;
    Sweep::Quantity quantity = Sweep::Quantity::Frequency;
    int points = 0;
    bool interrupted = false;
    QString source; // "run" for a run measured here, else the file it was read from
    Library::Conditions conditions;
};

// The store's run as the session made it, at the session's conditions, taken now.
SweepContext RunContext(const Session &session, bool complete);
// A kept sweep as the library holds it.
SweepContext KeptContext(const Library::Entry &entry);

// dataPath with ".impedix.json" added.
QString SideFilePath(const QString &dataPath);
// The side file's object: "format", "version", the data file's name, the context and, given a
// fit, "fit" as Fit::FitToJson makes it.
QJsonObject SideFileJson(const SweepContext &context, const QString &dataName,
                         const Fit::FitResult *fit);
// Written whole or not at all (QSaveFile). A file at that path that is not such a side file is
// never replaced: false, and error says why.
bool WriteSideFile(const QString &dataPath, const SweepContext &context, const Fit::FitResult *fit,
                   QString *error);

} // namespace Core
