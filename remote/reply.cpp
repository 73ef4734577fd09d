// A client's answers, its held-back answer and the parameter checks.
#include "remote/reply.h"

#include <cmath>

#include "remote/instrument.h"
#include "remote/scpi_parser.h"

#include <utility>

namespace Remote {

void Reply::answer(const QByteArray &text) {
    if (fields_ > 0) output_.append(';');
    output_.append(text);
    ++fields_;
    ++answers_;
}

void Reply::endMessage() {
    if (fields_ == 0) return;
    output_.append('\n');
    fields_ = 0;
}

void Reply::hold(std::function<bool()> attempt) {
    if (!attempt()) held_ = std::move(attempt);
}

void Reply::retryHeld() {
    if (held_ && held_()) held_ = nullptr;
}

QByteArray Reply::takeOutput() {
    QByteArray out;
    out.swap(output_);
    return out;
}

bool Reply::oneParameter(const Parameters &p) {
    if (p.isEmpty()) {
        fail(MissingParameter);
        return false;
    }
    if (p.size() > 1) {
        fail(ParameterNotAllowed);
        return false;
    }
    return true;
}

bool Reply::noParameter(const Parameters &p) {
    if (p.isEmpty()) return true;
    fail(ParameterNotAllowed);
    return false;
}

bool Reply::limitQuery(const Parameters &p, int &limit) {
    limit = 0;
    if (p.isEmpty()) return true;
    if (p.size() > 1) {
        fail(ParameterNotAllowed);
        return false;
    }
    const Number n = ParseNumber(p[0], "");
    if (n.error == 0 && n.kind != Number::Value) {
        limit = n.kind == Number::Minimum ? -1 : 1;
        return true;
    }
    fail(IllegalParameterValue);
    return false;
}

bool Reply::number(const QByteArray &text, const char *unit, double minimum, double maximum,
                   double &value) {
    const Number n = ParseNumber(text, unit);
    if (n.error != 0) {
        fail(n.error);
        return false;
    }
    value = n.kind == Number::Minimum ? minimum : n.kind == Number::Maximum ? maximum : n.value;
    return true;
}

bool Reply::boolean(const QByteArray &text, bool &value) {
    const Boolean b = ParseBoolean(text);
    if (b.error != 0) {
        fail(b.error);
        return false;
    }
    value = b.value;
    return true;
}

bool Reply::mnemonic(const QByteArray &text, const char *const *forms, int &index) {
    index = ChooseMnemonic(forms, text);
    if (index >= 0) return true;
    fail(IllegalParameterValue);
    return false;
}

bool Reply::wholeHertz(const Parameters &p, double minimum, double maximum, std::int32_t &hz) {
    double value = 0.0;
    if (!oneParameter(p) || !number(p[0], "HZ", minimum, maximum, value)) return false;
    const double rounded = std::round(value);
    if (!(rounded >= minimum && rounded <= maximum)) {
        fail(DataOutOfRange);
        return false;
    }
    hz = static_cast<std::int32_t>(rounded);
    return true;
}

} // namespace Remote
