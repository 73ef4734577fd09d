// Demo instrument: a 100 nF capacitor with 3 ohms of loss and 20 nH of lead inductance (self-
// resonant near 3.6 MHz, so a full-band sweep shows it), with a little measurement noise.
#include "launch/demo.h"

#include "sim/simulator.h"

namespace Launch {

std::unique_ptr<Sim::Simulator> StartDemo(const QString &model, QString *error) {
    QStringList arguments{QStringLiteral("--dut"), QStringLiteral("C=100n,R=3,L=20n"),
                          QStringLiteral("--noise"), QStringLiteral("0.0002")};
    if (!model.isEmpty()) arguments << QStringLiteral("--model") << model;
    QString reason;
    const std::optional<Sim::Options> options = Sim::parseOptions(arguments, &reason);
    if (!options) {
        *error = QStringLiteral("--demo: %1").arg(reason);
        return nullptr;
    }
    auto simulator = std::make_unique<Sim::Simulator>(*options);
    if (!simulator->start()) {
        *error = QStringLiteral("--demo needs pseudo-terminals, and none can be opened here (%1)")
                     .arg(simulator->errorString());
        return nullptr;
    }
    return simulator;
}

} // namespace Launch
