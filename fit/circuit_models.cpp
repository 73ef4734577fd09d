// Impedance of each equivalent circuit and its derivatives by the logarithms of its elements.
// Parallel circuits are worked through their admittance: Z = 1/Y, dZ = -Z^2 dY.
#include "fit/circuit_models.h"

#include <QStringList>

namespace Fit {

namespace {

constexpr ModelInfo Models[ModelCount] = {
    {Model::Resistor, "resistor", "R", 1, {{"R", "ohm", "resistance"}}},
    {Model::SeriesRc,
     "series-rc",
     "R-C in series",
     2,
     {{"R", "ohm", "series resistance"}, {"C", "F", "capacitance"}}},
    {Model::SeriesRl,
     "series-rl",
     "R-L in series",
     2,
     {{"R", "ohm", "series resistance"}, {"L", "H", "inductance"}}},
    {Model::ParallelRc,
     "parallel-rc",
     "R || C with a series R",
     3,
     {{"Rs", "ohm", "series resistance"},
      {"Rp", "ohm", "parallel resistance"},
      {"C", "F", "capacitance"}}},
    {Model::Capacitor,
     "capacitor",
     "R-L-C in series",
     3,
     {{"ESR", "ohm", "equivalent series resistance"},
      {"ESL", "H", "equivalent series inductance"},
      {"C", "F", "capacitance"}}},
    {Model::Inductor,
     "inductor",
     "(R-L) || C",
     3,
     {{"R", "ohm", "winding resistance"},
      {"L", "H", "inductance"},
      {"C", "F", "winding capacitance"}}},
    {Model::Resonator,
     "resonator",
     "(R-L-C) || C0",
     4,
     {{"R1", "ohm", "motional resistance"},
      {"L1", "H", "motional inductance"},
      {"C1", "F", "motional capacitance"},
      {"C0", "F", "shunt capacitance"}}},
};

constexpr Model Order[ModelCount] = {Model::Resistor,   Model::SeriesRc,  Model::SeriesRl,
                                     Model::ParallelRc, Model::Capacitor, Model::Inductor,
                                     Model::Resonator};

const Complex J(0.0, 1.0);

// R + jwL + 1/(jwC) with any of the three left out; gradient by ln R, ln L, ln C.
Complex SeriesArm(const double *r, const double *l, const double *c, double omega,
                  Complex *gradient) {
    Complex z;
    int g = 0;
    if (r) {
        z += *r;
        if (gradient) gradient[g++] = *r;
    }
    if (l) {
        const Complex x = J * omega * *l;
        z += x;
        if (gradient) gradient[g++] = x;
    }
    if (c) {
        const Complex x = 1.0 / (J * omega * *c);
        z += x;
        if (gradient) gradient[g++] = -x;
    }
    return z;
}

// Z of arm in parallel with a capacitor c; the arm's gradient (armCount entries) is turned into
// the whole circuit's, followed by the capacitor's.
Complex ParallelWithCapacitor(Complex arm, int armCount, double c, double omega,
                              Complex *gradient) {
    const Complex shunt = J * omega * c;
    const Complex z = 1.0 / (1.0 / arm + shunt);
    if (gradient) {
        const Complex z2 = z * z;
        for (int i = 0; i < armCount; ++i) // dY = -dArm / arm^2
            gradient[i] = z2 * gradient[i] / (arm * arm);
        gradient[armCount] = -z2 * shunt;
    }
    return z;
}

} // namespace

const ModelInfo &Info(Model model) {
    return Models[static_cast<int>(model)];
}

const Model (&AllModels())[ModelCount] {
    return Order;
}

std::optional<Model> ModelByName(const QString &name) {
    for (const ModelInfo &info : Models)
        if (name == QLatin1String(info.name)) return info.model;
    return std::nullopt;
}

QString ModelNameList() {
    QStringList names;
    for (const ModelInfo &info : Models)
        names << QString::fromLatin1(info.name);
    names << QStringLiteral("auto");
    return names.join(QStringLiteral(", "));
}

Complex ImpedanceAndGradient(Model model, const double *e, double omega, Complex *gradient) {
    switch (model) {
    case Model::Resistor:
        return SeriesArm(&e[0], nullptr, nullptr, omega, gradient);
    case Model::SeriesRc:
        return SeriesArm(&e[0], nullptr, &e[1], omega, gradient);
    case Model::SeriesRl:
        return SeriesArm(&e[0], &e[1], nullptr, omega, gradient);
    case Model::ParallelRc: {
        // Rs + (Rp || C): the parallel part is an arm of Rp alone beside C.
        Complex inner[2];
        const Complex arm = SeriesArm(&e[1], nullptr, nullptr, omega, gradient ? inner : nullptr);
        const Complex zp = ParallelWithCapacitor(arm, 1, e[2], omega, gradient ? inner : nullptr);
        if (gradient) {
            gradient[0] = e[0];
            gradient[1] = inner[0];
            gradient[2] = inner[1];
        }
        return e[0] + zp;
    }
    case Model::Capacitor:
        return SeriesArm(&e[0], &e[1], &e[2], omega, gradient);
    case Model::Inductor:
        return ParallelWithCapacitor(SeriesArm(&e[0], &e[1], nullptr, omega, gradient), 2, e[2],
                                     omega, gradient);
    case Model::Resonator:
        return ParallelWithCapacitor(SeriesArm(&e[0], &e[1], &e[2], omega, gradient), 3, e[3],
                                     omega, gradient);
    }
    return {};
}

Complex Impedance(Model model, const double *elements, double omega) {
    return ImpedanceAndGradient(model, elements, omega, nullptr);
}

} // namespace Fit
