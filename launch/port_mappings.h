// The rules both programs hold their --port mappings to, before any port is opened.
#pragma once

#include <QString>
#include <QStringList>

namespace Launch {

// Each COM number may be mapped once, and the demo meter needs its own port: a message for the
// user when the mappings ("COMn=PATH", in the order given) break either rule, else an empty text.
QString CheckPortMappings(const QStringList &portMappings, bool demo);

} // namespace Launch
