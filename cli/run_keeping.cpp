#include "cli/run_keeping.h"

#include "cli/commands.h"

namespace Cli {

RunKeeping::RunKeeping(Core::Session &session, const KeepChoice &choice, bool demo) {
    if (!choice.keep || (demo && choice.libraryPath.isEmpty())) return;
    const QString path = choice.path();
    const Library::Outcome opened = m_library.open(path);
    if (!opened.ok()) {
        Complain(Library::Describe(opened, path) + QStringLiteral("; the run is not kept"));
        return;
    }
    m_keeper = std::make_unique<Core::SweepKeeper>(session, m_library);
    QObject::connect(m_keeper.get(), &Core::SweepKeeper::notKept, m_keeper.get(),
                     [path](const Library::Outcome &outcome) {
                         Complain(Library::Describe(outcome, path) +
                                  QStringLiteral("; the run is not kept"));
                     });
}

} // namespace Cli
