// One SCPI client: its input lines, the command table run against the instrument, its error
// queue and status registers, and the answer it holds back while a reading or a list run is due.
// No socket: the server feeds bytes in and takes answers out.
#pragma once

#include "remote/client_meter.h"
#include "remote/client_state.h"
#include "remote/command_set.h"
#include "remote/input_lines.h"
#include "remote/instrument.h"
#include "remote/reply.h"
#include "remote/scpi_parser.h"

#include <QByteArray>
#include <QVector>

namespace Remote {

class Client {
public:
    static constexpr int MaxLine = InputLines::MaxLine; // a longer line is dropped with -100
    static constexpr int OutputChunk = 64 * 1024;       // pump() pauses once this much is waiting
    static constexpr int SilenceMs = Remote::SilenceMs; // no frame for this long: no data, -230
    static constexpr int MaxAveraging = Remote::MaxAveraging;
    static constexpr int MaxListPoints = Remote::MaxListPoints;

    explicit Client(Instrument &instrument);
    ~Client(); // stops the list run or sorting batch this client started, puts back what its
               // steps set
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // Bytes from the client. An incomplete line over MaxLine is dropped up to its end.
    void feed(const QByteArray &bytes) { input_.feed(bytes); }
    // Runs queued commands until one is held back, limit commands ran or OutputChunk bytes of
    // answers wait. Returns whether more could run once the answers are taken.
    bool pump(int limit = 256);
    // Looks at the instrument again (a reading, a list change, the clock): a held-back command
    // completes when it can. pump() afterwards runs what follows it.
    void poll();

    QByteArray takeOutput() { return reply_.takeOutput(); }
    bool holding() const { return reply_.holding(); }
    // Bytes of complete lines not yet run and of the incomplete line.
    int queuedInputBytes() const { return input_.queuedBytes(); }
    // The server reads more of the client's input only while this is true: the lines waiting
    // stay under MaxLine bytes and InputLines::MaxLines lines.
    bool wantsInput() const { return !input_.full(); }

private:
    bool takeLine();
    void runCommand(const QByteArray &unit);
    const Entry *resolve(const ParsedCommand &command, QVector<QByteArray> &header) const;

    Instrument &instrument_;
    InputLines input_;
    QByteArray line_; // the line whose units run now
    int linePos_ = 0;
    bool inLine_ = false;
    QVector<QByteArray> path_; // the header path the next relative header starts from
    Reply reply_;
    ClientState state_;
    ClientMeter meter_;
    CommandSet commands_;
};

} // namespace Remote
