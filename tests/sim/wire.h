// Shared by the simulator's tests: the program's side of a pseudo-terminal in plain POSIX calls,
// a meter served on one, request frames and the fields of a measurement frame as the wire has them.
#pragma once

#include "sim/protocol.h"
#include "sim/pty_host.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace TestWire {

// The program's side of the line, kept to plain POSIX calls.
class Port {
public:
    explicit Port(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)),
          m_openError(m_fd < 0 ? errno : 0) {}
    ~Port() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    void write(const QByteArray &bytes) const {
        const ssize_t written = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
        QVERIFY2(written == ssize_t(bytes.size()), std::strerror(m_fd < 0 ? m_openError : errno));
    }

    // Up to count bytes; stops early at end of file or when nothing comes for a generous
    // while (only a guard against hanging, never a measured time).
    QByteArray read(int count) const {
        QByteArray got;
        while (got.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            char buffer[64];
            const ssize_t n = ::read(m_fd, buffer, size_t(std::min<int>(count - got.size(), 64)));
            if (n <= 0) break;
            got.append(buffer, int(n));
        }
        return got;
    }

    QByteArray exchange(const QByteArray &request, int replyLength) const {
        write(request);
        return read(replyLength);
    }

private:
    int m_fd;
    int m_openError;
};

// A meter served on a pseudo-terminal, with the program's side of the line open on it.
struct Served {
    Sim::PtyHost host;
    Port port;
    template <class Peer>
    explicit Served(Peer &&peer, const Sim::HostOptions &options = {})
        : host(std::forward<Peer>(peer), options),
          port(host.start() ? host.slavePath() : QString()) {}
};

inline QByteArray frequencyRequest(qint32 hz) {
    QByteArray request = QByteArray::fromHex("aa43 00000000");
    qToBigEndian(hz, request.data() + 2);
    return request;
}

inline const QByteArray Identity = QByteArray::fromHex("aa40");
inline const QByteArray Measure = QByteArray::fromHex("aa48");

struct Frame {
    quint8 mark, status, mode, range;
    quint16 bias;
    qint32 frequency;
    float magnitude, theta;
};

inline float floatAt(const QByteArray &frame, int at) {
    const quint32 bits = qFromBigEndian<quint32>(frame.constData() + at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline Frame decode(const QByteArray &frame) {
    if (frame.size() != Sim::MeasurementReplyLength)
        return {}; // every field then reads 0 and the caller's checks fail
    return {quint8(frame[0]),
            quint8(frame[2]),
            quint8(frame[3]),
            quint8(frame[5]),
            qFromBigEndian<quint16>(frame.constData() + 6),
            qFromBigEndian<qint32>(frame.constData() + 8),
            floatAt(frame, 12),
            floatAt(frame, 16)};
}

} // namespace TestWire
