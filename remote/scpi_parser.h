// The SCPI syntax without a socket: a line split into program message units, their headers and
// parameters, numbers with SI suffixes, booleans, mnemonics, and NR1/NR3 answers.
#pragma once

#include <QByteArray>
#include <QVector>

namespace Remote {

struct ParsedCommand {
    int error = 0;         // a syntax error code; the rest is then meaningless
    bool common = false;   // an IEEE 488.2 common command (*IDN?)
    bool absolute = false; // the header began with ':' (back to the root)
    bool query = false;
    QVector<QByteArray> nodes;      // header mnemonics in upper case ("*IDN" for a common one)
    QVector<QByteArray> parameters; // trimmed, as sent (strings keep their quotes)
};

// The next unit of line from position pos (a ';' outside quotes ends it); pos moves past it.
// Returns false when the line is exhausted. Blank units are skipped.
bool NextUnit(const QByteArray &line, int &pos, QByteArray &unit);

// Whether a unit asks for an answer: a `?` outside quoted strings, wherever it stands. A unit
// that cannot be parsed (`::FREQ?`, `FREQ ?`) is still owed its answer field by this rule.
bool HoldsQuery(const QByteArray &unit);

// One program message unit.
ParsedCommand ParseCommand(const QByteArray &unit);

// All units of a line (for tests and the fuzzer; the session parses unit by unit).
QVector<ParsedCommand> ParseLine(const QByteArray &line);

struct Number {
    enum Kind { Value, Minimum, Maximum };
    int error = 0; // DataTypeError, InvalidSuffix, DataOutOfRange (not finite)
    Kind kind = Value;
    double value = 0.0;
};

// A decimal number with an optional suffix of the given unit ("HZ", "V", "A", "OHM" or ""), or
// MIN / MAX. A suffix multiplies as SCPI has it: M is milli, MA mega (but with the unit A it reads
// as milli plus the unit), and MHZ and MOHM are mega.
Number ParseNumber(const QByteArray &text, const char *unit);

// ON / OFF, or a number (non-zero after rounding is ON). error is IllegalParameterValue or
// DataTypeError.
struct Boolean {
    int error = 0;
    bool value = false;
};
Boolean ParseBoolean(const QByteArray &text);

// Whether a mnemonic given in long form with its short form in upper case ("MEDium") matches
// text in either form, in any case.
bool MatchesMnemonic(const char *form, const QByteArray &text);

// The index in forms (a null-terminated list) that text matches, else -1.
int ChooseMnemonic(const char *const *forms, const QByteArray &text);

// +1.00000E-07 (six significant digits, or `digits`); anything not finite is SCPI's "not a
// number" 9.91E37.
QByteArray FormatNr3(double value, int digits = 6);
// +0, -1
QByteArray FormatNr1(long long value);

} // namespace Remote
