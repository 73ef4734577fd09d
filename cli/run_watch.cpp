// The command line's word on reconnections and on frames that were not readings.
#include "cli/run_watch.h"

#include "cli/commands.h"
#include "cli/invocation.h"
#include "core/main_state.h"
#include "link/models.h"
#include "sweep/sweep_store.h"

#include <QStringList>

namespace Cli {

RunWatch::RunWatch(Core::Session &session, std::function<void(int)> end) : m_session(session) {
    QObject::connect(
        &session, &Core::Session::reconnected, this,
        [this, end = std::move(end)](const Core::Reconnection &info) {
            m_lost = false;
            ++m_reconnections;
            if (!info.sameModel) {
                Complain(QStringLiteral("the line came back with another model (%1) at the port; "
                                        "the run ends")
                             .arg(Device::ModelName(info.model)));
                end(ExitInterrupted);
                return;
            }
            QString where;
            if (info.sweepPoint >= 0)
                where = QStringLiteral(" point %1 of %2 is measured again;")
                            .arg(info.sweepPoint + 1)
                            .arg(Main::SweepPoints);
            Complain(QStringLiteral("the line came back (connection %1): the conditions were sent "
                                    "again;%2 readings before and after it are of different "
                                    "connections")
                         .arg(info.connection)
                         .arg(where));
        });
}

void RunWatch::Observe(const Core::TickResult &result) {
    if (result.portOpen || m_lost) return;
    m_lost = true;
    Complain(QStringLiteral("the line to the meter is lost (connection %1); waiting for it to "
                            "come back")
                 .arg(m_session.Connection()));
}

int RunWatch::Conclude(int code, bool acceptReconnections, bool nothingRecorded) {
    const Core::ReadingTally &tally = m_session.Tally();
    if (tally.leftOutTotal() > 0) {
        QStringList kinds;
        for (auto it = tally.leftOut.cbegin(); it != tally.leftOut.cend(); ++it)
            kinds << QStringLiteral("%1 %2 (status %3)")
                         .arg(it.value())
                         .arg(Device::StatusWords(static_cast<Device::ReadingStatus>(it.key())))
                         .arg(it.key());
        Complain(QStringLiteral("%1 frames were not readings at the conditions set and were left "
                                "out: %2")
                     .arg(tally.leftOutTotal())
                     .arg(kinds.join(QStringLiteral(", "))));
    }
    if (code != ExitDone) return code;
    if (nothingRecorded) {
        Complain(QStringLiteral("no reading came from the meter at the conditions set"));
        return ExitNoMeter;
    }
    if (m_reconnections > 0 && !acceptReconnections) return ExitInterrupted;
    return code;
}

} // namespace Cli
