// What every group of commands works with: the instrument, the client's reply, its state and its
// view of the meter. A command table entry names a header and a group's command and query.
#pragma once

#include "remote/client_meter.h"
#include "remote/client_state.h"
#include "remote/instrument.h"
#include "remote/reply.h"

namespace Remote {

class CommandSet;

struct CommandContext {
    Instrument &instrument;
    Reply &reply;
    ClientState &state;
    ClientMeter &meter;
};

using Handler = void (*)(CommandSet &, const Parameters &);

struct Entry {
    const char *pattern;
    Handler command; // null: no such command form
    Handler query;   // null: no such query form
};

class CommandGroup {
protected:
    explicit CommandGroup(const CommandContext &c)
        : instrument_(c.instrument), reply_(c.reply), state_(c.state), meter_(c.meter) {}

    Instrument &instrument_;
    Reply &reply_;
    ClientState &state_;
    ClientMeter &meter_;
};

} // namespace Remote
