// A fixture's data put into the session before a run: the file of the found model read (a
// missing one is no data, a damaged or another model's one is refused and nothing of it used),
// and the corrections asked for switched on once their data are there.
#pragma once

#include "cli/fixture_options.h"

#include <QString>

namespace Core {
class Session;
}

namespace Cli {

// The fixture's file for the model the session found, read into it; a missing file leaves the
// session's data as they were. The refusal's message, or empty.
QString ReadFixtureFile(Core::Session &session, const QString &fixture);

// --correction and --fixture of measure, sweep and serve: nothing is read or changed while no
// correction is asked for and no fixture named. The refusal's message (a file that cannot be
// used, a kind asked for without data), or empty with the kinds switched on.
QString UseCorrection(Core::Session &session, const CorrectionChoice &choice);

} // namespace Cli
