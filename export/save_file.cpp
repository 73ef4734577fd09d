// Whole-file saving through QSaveFile.
#include "export/save_file.h"

#include <QSaveFile>

namespace Export {

// Unbuffered, and every write checked: QSaveFile only notices a write that fails outright, not
// a short one, nor one that fails while its buffer is flushed on commit. A short write is
// followed by another, which then fails with the system's reason (disk full, file too large).
bool SaveWhole(const QString &path, const QByteArray &bytes, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            *error = file.errorString();
            file.cancelWriting();
            return false;
        }
        written += n;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Export
