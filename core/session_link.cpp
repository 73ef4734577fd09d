// Finding the meter, a port chosen by hand, and a lost port asked who it is when it comes back.
#include "core/session.h"

#include "core/main_state.h"
#include "link/commands.h"
#include "link/models.h"
#include "link/serial_link.h"
#include "sweep/sweep_store.h"

namespace Core {

namespace {

// The frequency window of the frequency controls and of the cycle: the model's own.
void TakeModelWindow(int row) {
    Main::FrequencyLow = Device::ModelLowestFrequency(row);
    Main::FrequencyHigh = Device::ModelHighestFrequency(row);
}

} // namespace

SearchResult Session::Search(int identityTries) {
    SearchResult result = SearchPorts(identityTries);
    if (!result.found && m_searchSystemPorts) {
        const SearchResult more = SearchSystemPorts(identityTries);
        if (more.found) result = more;
    }
    if (!result.found) return result;
    NewConnection();
    // The program follows the meter once, as far as nothing is sent before its first frame.
    m_requested.frequencyHz = 0;
    m_requested.biasSent = false;
    TakeModelWindow(result.model);
    Main::SyncPending = true;
    Main::CycleStarted = true;
    LinkFound();
    emit meterFound(result);
    Run();
    return result;
}

PortChoice Session::ChoosePortPath(const QString &path) {
    for (unsigned n = 1; n < Device::HighestPort; ++n)
        if (Device::ResolvePortName(n) == path) return ChoosePort(n);
    Device::SetHandPath(path);
    return ChoosePort(Device::HighestPort);
}

PortChoice Session::ChoosePort(unsigned n) {
    PortChoice choice;
    choice.port = n;
    Device::OpenPort(n);
    if (Device::PortNumber == 0) {
        // "НЕТ" closes the port on purpose; any other entry says why it did not open.
        if (n > 0) choice.reason = Device::LastOpenFailure.text;
        return choice;
    }
    choice.opened = true;
    NewConnection();
    char text[IdentityTextSize] = {};
    choice.answered = Device::QueryIdentity(text);
    choice.identity = QString::fromLatin1(text);
    return choice;
}

// Back at the same place is not yet the same meter: a meter of another model, or another
// program's terminal that took the freed device, may stand there now. Only a known model is
// polled; the same model goes on as before, another one is taken as a search takes it.
void Session::TryReopenPort() {
    if (Device::LostPortNumber == 0 || !Device::ReopenLostPort()) return;
    const unsigned port = static_cast<unsigned>(Device::PortNumber);
    const QString path = Device::PortPath;
    const int row = IdentifyOpenPort(IdentityTries);
    if (row >= Device::ModelCount) {
        Device::ClosePort();
        Device::LostPortNumber = port; // tried again, as long as it stays at that path
        Device::LostPortPath = path;
        emit portRefused(port);
        return;
    }
    Reconnection info;
    info.model = row;
    info.sameModel = row == Device::ModelIndex;
    info.sweepPoint = Main::SweepRunning ? Main::SweepIndex : -1;
    NewConnection();
    info.connection = m_connection;
    if (info.sameModel) {
        // The same model, power-cycled or not: it gets the user's conditions again, and a run
        // measures its interrupted point again.
        ResendConditions();
    } else {
        // Another meter is taken as a search takes it; a run on the lost one is over.
        Device::ModelIndex = row;
        TakeModelWindow(row);
        m_requested.frequencyHz = 0;
        m_requested.biasSent = false;
        Main::SyncPending = true;
        if (Main::SweepRunning) {
            info.runEnded = true;
            m_quantityRun.going = false; // this meter never had the run's bias
            Main::StopSweepEarly();
            emit sweepStopped();
            emit runEnded(false);
            EndListRun();
        }
    }
    emit meterFound(SearchResult{true, port, row, QString()});
    emit reconnected(info);
    if (Main::CycleStarted && !m_paused && !tmr.isActive()) Run();
}

} // namespace Core
