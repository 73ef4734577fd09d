// sweep's run kept in the library of sweeps as it ends (unless --no-keep; a demo meter's run only
// in a library named with --library, as the window keeps its demo runs apart). A library that
// cannot be used, or a run it did not take, is said on standard error; the run and its exit
// status are the same either way.
#pragma once

#include "cli/library_options.h"
#include "core/sweep_keeper.h"
#include "library/sweep_library.h"

#include <memory>

namespace Cli {

class RunKeeping {
public:
    RunKeeping(Core::Session &session, const KeepChoice &choice, bool demo);

private:
    Library::SweepLibrary m_library;
    std::unique_ptr<Core::SweepKeeper> m_keeper;
};

} // namespace Cli
