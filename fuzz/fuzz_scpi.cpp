// libFuzzer target: any bytes from a client, fed in pieces to a session over a fake meter that
// reads between the pieces, must leave every query answered by exactly one line, the error
// queue within its bound and the input within its bound.
#include "tests/remote/fake_instrument.h"

#include "remote/client.h"
#include "remote/scpi_parser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1) return 0;
    Fake::Instrument meter;
    meter.line = static_cast<Remote::LineState>(data[0] % 3);
    meter.overload = (data[0] & 0x10) != 0;
    Remote::Client session(meter);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1));
    // The parser alone first.
    for (const Remote::ParsedCommand &c : Remote::ParseLine(bytes))
        if (c.error == 0 && c.nodes.isEmpty()) std::abort();
    int piece = 1 + data[0] % 7;
    for (int pos = 0; pos < bytes.size(); pos += piece) {
        session.feed(bytes.mid(pos, piece));
        while (session.pump()) {
        }
        meter.deliver(data[0] & 0x20 ? 3000 : 40);
        session.poll();
        if (session.queuedInputBytes() > Remote::Client::MaxLine + piece) std::abort();
    }
    while (session.pump()) {
    }
    session.takeOutput();
    // Whatever came before, a query on a fresh line gets its one line.
    meter.clock += 10 * Remote::Client::SilenceMs;
    session.poll();
    while (session.pump()) {
    }
    session.takeOutput();
    session.feed("\n*TST?\n");
    while (session.pump()) {
    }
    QByteArray out = session.takeOutput();
    for (int i = 0; i < 300 && session.holding(); ++i) {
        meter.deliver(Remote::Client::SilenceMs);
        session.poll();
        while (session.pump()) {
        }
        out += session.takeOutput();
    }
    if (session.holding() || !out.endsWith("0\n")) std::abort();
    return 0;
}
