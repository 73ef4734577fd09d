// SCPI syntax: units, headers, parameters and the number forms of IEEE 488.2.
#include "remote/scpi_parser.h"

#include "remote/instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Remote {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsMnemonicChar(char c) {
    return IsAlpha(c) || IsDigit(c) || c == '_';
}

QByteArray Trimmed(const QByteArray &text) {
    int begin = 0;
    int end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Splits the parameter text at commas outside quotes. Returns an error code.
int SplitParameters(const QByteArray &text, QVector<QByteArray> &parameters) {
    int start = 0;
    char quote = 0;
    for (int i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (quote != 0) {
            if (i == text.size()) return SyntaxError;
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ',') {
            const QByteArray parameter = Trimmed(text.mid(start, i - start));
            if (parameter.isEmpty()) return SyntaxError;
            parameters.append(parameter);
            start = i + 1;
        }
    }
    return NoError;
}

struct Multiplier {
    const char *name;
    double factor;
};

constexpr Multiplier Multipliers[] = {
    {"EX", 1e18}, {"PE", 1e15}, {"T", 1e12}, {"G", 1e9},   {"MA", 1e6},  {"K", 1e3},
    {"M", 1e-3},  {"U", 1e-6},  {"N", 1e-9}, {"P", 1e-12}, {"F", 1e-15}, {"A", 1e-18},
};

// The factor of a suffix for the unit, or 0 when the suffix is not one.
double SuffixFactor(const QByteArray &suffix, const QByteArray &unit) {
    if (suffix.isEmpty() || suffix == unit) return 1.0;
    if ((unit == "HZ" && suffix == "MHZ") || (unit == "OHM" && suffix == "MOHM")) return 1e6;
    QByteArray prefix = suffix;
    if (!unit.isEmpty() && suffix.endsWith(unit)) prefix.chop(unit.size());
    for (const Multiplier &m : Multipliers)
        if (prefix == m.name) return m.factor;
    return 0.0;
}

// Length of the decimal mantissa and exponent at the start of text, 0 when there is none.
int NumberLength(const QByteArray &text) {
    int i = 0;
    const int n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    int digits = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return 0;
    int j = i;
    while (j < n && IsBlank(text[j]))
        ++j;
    if (j < n && (text[j] == 'E' || text[j] == 'e')) {
        int k = j + 1;
        while (k < n && IsBlank(text[k]))
            ++k;
        if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < n && IsDigit(text[k])) {
            while (k < n && IsDigit(text[k]))
                ++k;
            return k;
        }
    }
    return i;
}

} // namespace

bool NextUnit(const QByteArray &line, int &pos, QByteArray &unit) {
    while (pos < line.size()) {
        char quote = 0;
        int end = pos;
        for (; end < line.size(); ++end) {
            const char c = line[end];
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == ';') {
                break;
            }
        }
        unit = Trimmed(line.mid(pos, end - pos));
        pos = end + 1;
        if (!unit.isEmpty()) return true;
    }
    return false;
}

bool HoldsQuery(const QByteArray &unit) {
    char quote = 0;
    for (const char c : unit) {
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '?') {
            return true;
        }
    }
    return false;
}

ParsedCommand ParseCommand(const QByteArray &unit) {
    ParsedCommand command;
    int i = 0;
    const int n = unit.size();
    if (i < n && unit[i] == '*') {
        command.common = true;
        ++i;
        const int start = i;
        while (i < n && IsAlpha(unit[i]))
            ++i;
        if (i == start) {
            command.error = SyntaxError;
            return command;
        }
        command.nodes.append('*' + unit.mid(start, i - start).toUpper());
    } else {
        if (i < n && unit[i] == ':') {
            command.absolute = true;
            ++i;
        }
        while (true) {
            const int start = i;
            if (i < n && IsAlpha(unit[i]))
                while (i < n && IsMnemonicChar(unit[i]))
                    ++i;
            if (i == start) {
                command.error = SyntaxError;
                return command;
            }
            command.nodes.append(unit.mid(start, i - start).toUpper());
            if (i < n && unit[i] == ':') {
                ++i;
                continue;
            }
            break;
        }
    }
    if (i < n && unit[i] == '?') {
        command.query = true;
        ++i;
    }
    if (i < n && !IsBlank(unit[i])) {
        command.error = SyntaxError;
        return command;
    }
    const QByteArray rest = Trimmed(unit.mid(i));
    if (!rest.isEmpty()) command.error = SplitParameters(rest, command.parameters);
    return command;
}

QVector<ParsedCommand> ParseLine(const QByteArray &line) {
    QVector<ParsedCommand> commands;
    int pos = 0;
    QByteArray unit;
    while (NextUnit(line, pos, unit))
        commands.append(ParseCommand(unit));
    return commands;
}

Number ParseNumber(const QByteArray &text, const char *unit) {
    Number number;
    const QByteArray upper = Trimmed(text).toUpper();
    if (upper == "MIN" || upper == "MINIMUM") {
        number.kind = Number::Minimum;
        return number;
    }
    if (upper == "MAX" || upper == "MAXIMUM") {
        number.kind = Number::Maximum;
        return number;
    }
    const int length = NumberLength(upper);
    if (length == 0) {
        number.error = DataTypeError;
        return number;
    }
    QByteArray mantissa = upper.left(length);
    mantissa.replace(' ', QByteArray()).replace('\t', QByteArray());
    const QByteArray suffix = Trimmed(upper.mid(length));
    for (char c : suffix)
        if (!IsAlpha(c)) {
            number.error = InvalidSuffix;
            return number;
        }
    const double factor = SuffixFactor(suffix, QByteArray(unit));
    if (factor == 0.0) {
        number.error = InvalidSuffix;
        return number;
    }
    bool ok = false;
    const double value = mantissa.toDouble(&ok) * factor;
    if (!ok || !std::isfinite(value)) {
        number.error = DataOutOfRange;
        return number;
    }
    number.value = value;
    return number;
}

Boolean ParseBoolean(const QByteArray &text) {
    Boolean result;
    const QByteArray upper = Trimmed(text).toUpper();
    if (upper == "ON" || upper == "OFF") {
        result.value = upper == "ON";
        return result;
    }
    const Number number = ParseNumber(upper, "");
    if (number.error != 0 || number.kind != Number::Value) {
        result.error = number.error == DataTypeError || number.kind != Number::Value
                           ? IllegalParameterValue
                           : number.error;
        return result;
    }
    result.value = std::lround(number.value) != 0;
    return result;
}

bool MatchesMnemonic(const char *form, const QByteArray &text) {
    const QByteArray upper = text.toUpper();
    const QByteArray longForm = QByteArray(form).toUpper();
    QByteArray shortForm;
    for (const char *c = form; *c != '\0'; ++c)
        if (!(*c >= 'a' && *c <= 'z')) shortForm.append(*c);
    return upper == longForm || upper == shortForm;
}

int ChooseMnemonic(const char *const *forms, const QByteArray &text) {
    const QByteArray trimmed = Trimmed(text);
    for (int i = 0; forms[i] != nullptr; ++i)
        if (MatchesMnemonic(forms[i], trimmed)) return i;
    return -1;
}

QByteArray FormatNr3(double value, int digits) {
    if (!std::isfinite(value)) return QByteArrayLiteral("+9.91000E+37");
    char text[40];
    std::snprintf(text, sizeof text, "%+.*E", std::clamp(digits, 1, 17) - 1, value);
    return QByteArray(text);
}

QByteArray FormatNr1(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%+lld", value);
    return QByteArray(text);
}

} // namespace Remote
