// The quantities of a measured impedance as textbooks define them, from the frame's own |Z|, angle
// and frequency, in SI units and double precision. This is what programs and spreadsheets read;
// the readouts keep the meter's display conventions (division guards, G and B of the circuit's
// elements). A quantity that is undefined for the impedance (a division by zero) is NaN.
#pragma once

namespace Device {

struct TextbookValues {
    double magnitude = 0.0;  // |Z|, ohms
    double phase = 0.0;      // angle of Z, radians
    double frequency = 0.0;  // Hz
    double rs = 0.0;         // series resistance Re Z, ohms
    double xs = 0.0;         // series reactance Im Z, ohms
    double admittance = 0.0; // |Y|, siemens
    double g = 0.0;          // conductance Re Y, siemens
    double b = 0.0;          // susceptance Im Y, siemens
    double cs = 0.0;         // series capacitance -1/(w Xs), farads
    double ls = 0.0;         // series inductance Xs/w, henries
    double rp = 0.0;         // parallel resistance 1/G, ohms
    double xp = 0.0;         // parallel reactance -1/B, ohms
    double cp = 0.0;         // parallel capacitance B/w, farads
    double lp = 0.0;         // parallel inductance -1/(w B), henries
    double d = 0.0;          // dissipation factor Rs/|Xs| (= G/|B|)
    double q = 0.0;          // quality factor |Xs|/Rs (= |B|/G)
};

// magnitude in ohms, phase in radians (as the link corrected it for the model), frequency in Hz.
// A magnitude of zero leaves |Y|, G, B, Rp, Xp, Cp and Lp undefined; a frequency of zero the
// capacitances and inductances.
TextbookValues Textbook(double magnitude, double phase, double frequency);

// The parameter of the fourteen (by its index) in SI units as the textbook has it for the
// chosen circuit: C, L, R, X of that circuit, G = Re Y and B = Im Y in either, |Z|, |Y|, D, Q,
// the two angles in degrees, the frequency, and bias (which the impedance does not carry) NaN.
double TextbookParameter(const TextbookValues &values, int index, bool seriesCircuit);

} // namespace Device
