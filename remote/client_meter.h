// The meter as one client sees it: the readings it has seen since its last setting change, the
// readings of its trigger, and the list run it started. The command groups ask it; it asks the
// instrument and keeps what it learns in the client's state.
#pragma once

#include "remote/client_state.h"
#include "remote/instrument.h"
#include "remote/reply.h"

#include <QByteArray>

#include <cstdint>

namespace Remote {

class ClientMeter {
public:
    ClientMeter(Instrument &instrument, Reply &reply, ClientState &state);

    // Takes the instrument's newest reading into the client's.
    void observe();
    bool lineReady();
    bool silentSince(std::int64_t since) const;
    QByteArray formatMeasurement(const Measurement &m, bool withBin) const;
    // With the comparator on, the bin of the measurement as a field of FETC?'s answer (",+3");
    // off, nothing.
    QByteArray comparatorBin(const Measurement &m) const;
    // The mean of the newest readings after the last change, when enough of them are fresh.
    bool newestReadings(Measurement &m) const;
    bool operationInProgress();
    // Queues an error, or marks a setting change; true on success.
    bool noteSetting(int code);
    // A run this client did not start holds the meter's conditions: -221 is queued and the
    // setting must not go out.
    bool conditionsHeld();
    // Ends whatever run goes, the client's or another's (ABOR, *RST).
    void abortAnyRun();

    void trigger();
    int startListRun();
    void collectFinishedRun();
    // The list begins again at its first point; a setting its steps left is put back.
    void restartList();
    // The bias or level this client's pass of steps left on the meter, put back.
    void endHeldSetting();
    bool ownRunGoing() const;
    bool ownBatchGoing() const;
    // The compensation run the client started, and its end: an incomplete one queues an error.
    bool ownCorrectionRunGoing() const;
    void collectCorrectionRun();
    QByteArray listAnswer();

private:
    int startRun(bool step, std::uint64_t &run);
    void observeStatus();

    Instrument &instrument_;
    Reply &reply_;
    ClientState &state_;
};

} // namespace Remote
