// Finding the meter, a port chosen by hand, and a lost port asked who it is when it comes back.
#include "core/session.h"

#include "core/main_state.h"
#include "link/commands.h"
#include "link/models.h"
#include "link/serial_link.h"

namespace Core {

namespace {

// The frequency window of the frequency controls and of the cycle: the model's own.
void TakeModelWindow(int row) {
    Main::FrequencyLow = Device::ModelLowestFrequency(row);
    Main::FrequencyHigh = Device::ModelHighestFrequency(row);
}

} // namespace

SearchResult Session::Search(int identityTries) {
    const SearchResult result = SearchPorts(identityTries);
    if (!result.found) return result;
    TakeModelWindow(result.model);
    Main::SyncPending = true;
    Main::CycleStarted = true;
    LinkFound();
    emit meterFound(result);
    Run();
    return result;
}

PortChoice Session::ChoosePort(unsigned n) {
    PortChoice choice;
    Device::OpenPort(n);
    if (Device::PortNumber == 0) {
        // "НЕТ" closes the port on purpose; any other entry says why it did not open.
        if (n > 0) choice.reason = Device::LastOpenFailure.text;
        return choice;
    }
    choice.opened = true;
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
    if (row != Device::ModelIndex) {
        Device::ModelIndex = row;
        TakeModelWindow(row);
    }
    Main::SyncPending = true; // as after a search, the program follows the meter once
    emit meterFound(SearchResult{true, port, row, QString()});
    if (Main::CycleStarted && !m_paused && !tmr.isActive()) Run();
}

} // namespace Core
