// Demo instrument: a 100 nF capacitor with 3 ohms of loss and 20 nH of lead inductance (self-
// resonant near 3.6 MHz, so a full-band sweep shows it), with a little measurement noise. Its
// capacitance follows the DC bias and the AC level as a class-II ceramic's does: 12 V halves it,
// 40 V leaves some 8 %, and it grows by 3 % per volt of level; at 0 V and 1 V it reads as ever.
#include "launch/demo.h"

#include "sim/simulator.h"

#include <QProcess>

#include <optional>

namespace Launch {

namespace {

std::optional<Sim::Options> Parse(const QStringList &arguments, const char *option,
                                  QString *error) {
    QString reason;
    std::optional<Sim::Options> options = Sim::parseOptions(arguments, &reason);
    if (options && options->help) {
        options.reset();
        reason = QStringLiteral("impedix-sim's --help lists the options it takes");
    }
    if (!options) *error = QStringLiteral("%1: %2").arg(QLatin1String(option), reason);
    return options;
}

// The demo's part and noise, the model, then the extra options, so that these win.
std::optional<Sim::Options> DemoOptions(const QString &model, const QStringList &simArguments,
                                        QString *error) {
    QStringList arguments{QStringLiteral("--dut"), QStringLiteral("C=100n,R=3,L=20n,V0=12,KL=0.03"),
                          QStringLiteral("--noise"), QStringLiteral("0.0002")};
    if (!model.isEmpty()) arguments << QStringLiteral("--model") << model;
    std::optional<Sim::Options> options = Parse(arguments, "--demo", error);
    if (options && !simArguments.isEmpty())
        options = Parse(arguments + simArguments, "--demo-sim", error);
    return options;
}

} // namespace

QStringList SplitDemoSimArguments(const QString &text) {
    return QProcess::splitCommand(text);
}

QString CheckDemo(const QString &model, const QStringList &simArguments) {
    QString error;
    DemoOptions(model, simArguments, &error);
    return error;
}

std::unique_ptr<Sim::Simulator> StartDemo(const QString &model, const QStringList &simArguments,
                                          QString *error) {
    const std::optional<Sim::Options> options = DemoOptions(model, simArguments, error);
    if (!options) return nullptr;
    auto simulator = std::make_unique<Sim::Simulator>(*options);
    if (!simulator->start()) {
        if (simArguments.isEmpty())
            *error =
                QStringLiteral("--demo needs pseudo-terminals, and none can be opened here (%1)")
                    .arg(simulator->errorString());
        else
            *error = QStringLiteral("--demo-sim: the simulated meter cannot start: %1")
                         .arg(simulator->errorString());
        return nullptr;
    }
    return simulator;
}

} // namespace Launch
