// Function types as pairs of textbook quantities in a circuit.
#include "remote/function_types.h"

#include "link/decoding.h"
#include "link/textbook_values.h"

#include <cmath>

namespace Remote {

namespace {

// Angles in radians have no parameter index of their own.
constexpr int PhaseRadians = 100;
constexpr int AdmittancePhaseRadians = 101;
constexpr double DegreesPerRadian = 57.29577951308232; // as the textbook values take it

struct FunctionType {
    const char *name;
    int a;
    int b;
    bool series;
};

using namespace Device;

constexpr FunctionType Types[FunctionTypeCount] = {
    {"CPD", ParC, ParD, false},        {"CPQ", ParC, ParQ, false},
    {"CPG", ParC, ParG, false},        {"CPRP", ParC, ParR, false},
    {"CSD", ParC, ParD, true},         {"CSQ", ParC, ParQ, true},
    {"CSRS", ParC, ParR, true},        {"LPD", ParL, ParD, false},
    {"LPQ", ParL, ParQ, false},        {"LPG", ParL, ParG, false},
    {"LPRP", ParL, ParR, false},       {"LSD", ParL, ParD, true},
    {"LSQ", ParL, ParQ, true},         {"LSRS", ParL, ParR, true},
    {"RX", ParR, ParX, true},          {"ZTD", ParZ, ParFiz, true},
    {"ZTR", ParZ, PhaseRadians, true}, {"GB", ParG, ParB, false},
    {"YTD", ParY, ParFiy, false},      {"YTR", ParY, AdmittancePhaseRadians, false},
};

double Quantity(const TextbookValues &values, int index, bool series) {
    if (index == PhaseRadians) return values.phase;
    if (index == AdmittancePhaseRadians) return -values.phase;
    return TextbookParameter(values, index, series);
}

} // namespace

int FindFunctionType(const QByteArray &text) {
    const QByteArray upper = text.trimmed().toUpper();
    for (int i = 0; i < FunctionTypeCount; ++i)
        if (upper == Types[i].name) return i;
    return -1;
}

const char *FunctionTypeName(int type) {
    return type >= 0 && type < FunctionTypeCount ? Types[type].name : "";
}

ValuePair FunctionValues(int type, double magnitude, double phase, double frequency) {
    const FunctionType &t = Types[type >= 0 && type < FunctionTypeCount ? type : 0];
    const TextbookValues values = Textbook(magnitude, phase, frequency);
    return {Quantity(values, t.a, t.series), Quantity(values, t.b, t.series)};
}

FunctionQuantities QuantitiesOf(int type) {
    const FunctionType &t = Types[type >= 0 && type < FunctionTypeCount ? type : 0];
    FunctionQuantities q{t.a, t.b, t.series, 1.0, 1.0};
    const auto degrees = [](int &index, double &scale) {
        if (index != PhaseRadians && index != AdmittancePhaseRadians) return;
        index = index == PhaseRadians ? ParFiz : ParFiy;
        scale = DegreesPerRadian;
    };
    degrees(q.a, q.aScale);
    degrees(q.b, q.bScale);
    return q;
}

Reading AverageReadings(const Reading *readings, int count) {
    if (count == 1) return readings[0];
    double re = 0.0;
    double im = 0.0;
    bool overload = false;
    int status = 0;
    for (int i = 0; i < count; ++i) {
        re += readings[i].magnitude * std::cos(readings[i].phase);
        im += readings[i].magnitude * std::sin(readings[i].phase);
        overload = overload || readings[i].overload;
        if (status == 0) status = readings[i].status;
    }
    Reading mean = readings[count - 1];
    mean.magnitude = std::hypot(re / count, im / count);
    mean.phase = std::atan2(im, re);
    mean.overload = overload;
    mean.status = status;
    return mean;
}

} // namespace Remote
