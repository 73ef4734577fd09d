// One meter, one program: an advisory lock on the serial device itself, so that a second copy
// of the program is refused whoever runs it and whatever path (a symbolic link, the device's own
// name) it opens the device by. The serial port's own lock file is named after the path as
// written, and its exclusive mode does not hold for the superuser; this lock does.
#pragma once

#include <QObject>
#include <QString>

class QIODevice;

namespace Device {

class DeviceLock : public QObject {
    Q_OBJECT

public:
    enum class Result {
        Taken,         // this program holds the device now
        HeldElsewhere, // another program holds it
        NotTaken       // the device could not be opened to lock it (the port's own open says why)
    };

    // Lives as a child of the port it guards and lets go as soon as the port closes.
    explicit DeviceLock(QIODevice *port);
    ~DeviceLock() override;
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Opens path on a descriptor of its own (non-blocking, no controlling terminal) and takes
    // an exclusive flock on it without waiting. The lock belongs to the device node, not to the
    // name it was reached by.
    Result take(const QString &path);
    void release();
    bool held() const { return m_descriptor >= 0; }

private:
    int m_descriptor = -1;
};

} // namespace Device
