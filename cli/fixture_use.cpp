// The fixture's file and the corrections of a run on the session.
#include "cli/fixture_use.h"

#include "compensation/compensation_file.h"
#include "core/session.h"
#include "link/models.h"
#include "link/serial_link.h"

#include <QFileInfo>

namespace Cli {

namespace {

QString FoundModel() {
    return Device::ModelName(Device::ModelIndex);
}

QString FixtureName(const QString &fixture) {
    return fixture.isEmpty() ? QStringLiteral("default") : fixture;
}

} // namespace

QString ReadFixtureFile(Core::Session &session, const QString &fixture) {
    session.SetFixtureName(fixture);
    if (!QFileInfo::exists(Comp::CompensationPath(FoundModel(), fixture))) return QString();
    const QString refusal = session.LoadFixture();
    if (refusal.isEmpty()) return QString();
    return QStringLiteral("the fixture \"%1\" cannot be used: %2")
        .arg(FixtureName(fixture), refusal);
}

QString UseCorrection(Core::Session &session, const CorrectionChoice &choice) {
    if (choice.kinds == Comp::NoCorrection && !choice.fixtureGiven) return QString();
    if (const QString refusal = ReadFixtureFile(session, choice.fixture); !refusal.isEmpty())
        return refusal;
    const QString missing = MissingKinds(session.Compensation(), choice.kinds);
    if (!missing.isEmpty())
        return QStringLiteral("--correction %1: the fixture \"%2\" of the %4 lacks %3 (file %5); "
                              "'impedix-cli correct' measures it")
            .arg(Comp::CorrectionName(choice.kinds), FixtureName(choice.fixture), missing,
                 FoundModel(), Comp::CompensationPath(FoundModel(), choice.fixture));
    session.SetCompensationEnabled(choice.kinds);
    return QString();
}

} // namespace Cli
