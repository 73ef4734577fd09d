// A mapping twice over, or onto the demo meter's port, is named with both paths.
#include "launch/port_mappings.h"

#include "launch/demo.h"
#include "link/port_names.h"

#include <QMap>

namespace Launch {

QString CheckPortMappings(const QStringList &portMappings, bool demo) {
    QMap<unsigned, QString> seen;
    for (const QString &mapping : portMappings) {
        unsigned n = 0;
        QString path;
        const QString error = Device::ParsePortArgument(mapping, &n, &path);
        if (!error.isEmpty()) return error;
        if (seen.contains(n))
            return QStringLiteral("--port: COM%1 is mapped twice (%2 and %3)")
                .arg(n)
                .arg(seen.value(n), path);
        seen.insert(n, path);
    }
    if (demo && seen.contains(DemoPort))
        return QStringLiteral("--demo runs its meter as COM%1, which --port already maps to %2")
            .arg(DemoPort)
            .arg(seen.value(DemoPort));
    return QString();
}

} // namespace Launch
