// The twenty impedance function types of FUNC:IMP and the pair of textbook values each returns,
// and the complex mean of several readings.
#pragma once

#include "remote/instrument.h"

#include <QByteArray>

namespace Remote {

constexpr int FunctionTypeCount = 20;
constexpr int DefaultFunctionType = 0; // CPD

// The type whose name (CPD … YTR, any case) text is, else -1.
int FindFunctionType(const QByteArray &text);
const char *FunctionTypeName(int type);

struct ValuePair {
    double a = 0.0;
    double b = 0.0;
};

// A and B of the type for an impedance of magnitude ohms at phase radians and frequency hertz,
// in SI units, angles in the type's own unit; undefined quotients are NaN.
ValuePair FunctionValues(int type, double magnitude, double phase, double frequency);

// The type's A and B as the sorter's quantities (Device::ParameterIndex) and the circuit they are
// taken in; an angle the type gives in radians is the quantity in degrees, scale converting a
// value in the type's unit into the quantity's.
struct FunctionQuantities {
    int a = 0;
    int b = 0;
    bool series = true;
    double aScale = 1.0;
    double bScale = 1.0;
};
FunctionQuantities QuantitiesOf(int type);

// The mean of the readings as complex impedances; the frequency and sequence of the last, overload
// when any of them was. count must be at least 1.
Reading AverageReadings(const Reading *readings, int count);

} // namespace Remote
