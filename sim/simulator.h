// A complete simulated meter built from Options: the instrument, the pseudo-terminal that serves
// it, the symbolic link that keeps its port at one path, and its plan to vanish and come back.
// What impedix-sim and the program's demo mode run.
#pragma once

#include "sim/control_file.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sim/schedule.h"
#include "sim/sim_options.h"
#include "sim/stable_link.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Sim {

class Simulator {
public:
    // Told of each vanish and return, on the thread that made it.
    using Announcer = std::function<void(const QString &line)>;

    explicit Simulator(const Options &options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Serves the meter, points the link at it (when there is one) and starts the vanish plan.
    // False with errorString() when the terminal or the link cannot be had.
    bool start();
    void stop();

    // The meter's terminal now; another one after each return.
    QString slavePath() const { return m_host.slavePath(); }
    // The symbolic link that follows the meter (--link, or one made for a vanish plan), or empty.
    QString linkPath() const;
    // What a program opens: the link when there is one, else the terminal.
    QString portPath() const;
    QString errorString() const;

    // The meter answering now: after a return as another meter, that one. The earlier ones live
    // as long as the simulator.
    Instrument &instrument() { return *m_current.load(); }
    // The line, the same across returns: faults, the frame override, the think time, the
    // delivery and the request log stay as they were.
    PtyHost &host() { return m_host; }
    bool isPresent() const { return m_host.isServing(); }

    // The meter vanishes now, as PtyHost::hangUp(): the terminal goes away and the link points
    // at nothing; a reply the program's side has not taken in yet goes with it. Nothing happens
    // when it is away already. (A planned vanish waits for the next request instead.)
    void vanish();
    // A meter comes back on a new terminal and the link is pointed at it. modelRow is the model
    // of OtherModel (-1: --return-model's, or the same model when none was given); dut, when
    // given, is the part now on the terminals (else the one measured before); the fixture, what
    // sits in it, the load standard and the bias settle time stay as they were (the bias itself
    // starts at 0 V). False, with errorString(), when the meter is present or no terminal can be
    // had.
    bool comeBack(Return how = Return::PowerCycled, int modelRow = -1,
                  const std::optional<Component> &dut = std::nullopt);

    // The varied element's value of each part of --batch, in order (empty without one): a
    // batch's parts are drawn once, and go on with a meter that comes back.
    QList<double> batchValues() const { return m_current.load()->batchValues(); }

    void setAnnouncer(Announcer announcer);

private:
    // Puts what the control file names into the fixture when its word changed; tells a word
    // that names nothing.
    void followControl();
    void announce(const QString &line);

    const Options m_options;
    std::vector<std::unique_ptr<Instrument>> m_instruments; // every meter so far, the current last
    std::atomic<Instrument *> m_current{nullptr};
    int m_modelRow;
    std::unique_ptr<ControlFile> m_control; // --control, or none
    PtyHost m_host; // declared after the instruments it serves, so it stops first
    std::unique_ptr<StableLink> m_link;
    Schedule m_schedule;
    mutable std::mutex m_mutex; // one vanish or return at a time; guards m_link and m_error
    QString m_error;
    std::mutex m_announcerMutex; // guards m_announcer alone
    Announcer m_announcer;
};

} // namespace Sim
