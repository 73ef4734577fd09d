// Replacing a file with new contents as one step: the old file stays as it was unless every
// byte of the new one reached the disk.
#pragma once

#include <QByteArray>
#include <QString>

namespace Export {

// Writes bytes to path through QSaveFile. False, with the reason in error, when the file could
// not be opened, took less than all of bytes (a full disk) or could not be put in place.
bool SaveWhole(const QString &path, const QByteArray &bytes, QString *error);

} // namespace Export
