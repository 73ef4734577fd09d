// The symbolic link that keeps the simulated meter's port at one path.
#include "sim/stable_link.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace Sim {

StableLink::StableLink(const QString &path) : m_requested(path), m_path(path) {}

StableLink::~StableLink() {
    remove();
}

bool StableLink::pointAt(const QString &target, QString *error) {
    if (m_path.isEmpty()) {
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                QStringLiteral("/impedix-sim-XXXXXX"));
        if (!m_dir->isValid()) {
            *error =
                QStringLiteral("no directory for the meter's link: %1").arg(m_dir->errorString());
            m_dir.reset();
            return false;
        }
        m_path = m_dir->filePath(QStringLiteral("meter"));
    }
    const QFileInfo present(m_path);
    if (present.exists() && !present.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_path);
        return false;
    }
    // Made beside the link, then renamed over it: rename replaces a link, never what it names.
    const QString fresh = QStringLiteral("%1.%2.new").arg(m_path).arg(::getpid());
    if (QFileInfo(fresh).isSymLink()) QFile::remove(fresh);
    QFile file(target);
    if (!file.link(fresh)) {
        *error = QStringLiteral("cannot make the link %1: %2").arg(fresh, file.errorString());
        return false;
    }
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(m_path).constData()) !=
        0) {
        *error = QStringLiteral("cannot put the link at %1: %2")
                     .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(fresh);
        return false;
    }
    m_made = true;
    return true;
}

void StableLink::remove() {
    if (m_made && QFileInfo(m_path).isSymLink()) QFile::remove(m_path);
    m_made = false;
    m_dir.reset();
    m_path = m_requested;
}

} // namespace Sim
