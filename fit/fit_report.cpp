// JSON and text forms of a fit.
#include "fit/fit_report.h"

#include "fit/fit_target.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Fit {

namespace {

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString Symbol(const QString &unit) {
    return unit == QLatin1String("ohm") ? QStringLiteral("\u03a9") : unit;
}

QString Symbol(const char *unit) {
    return Symbol(QString::fromLatin1(unit));
}

// A value is shown as a number only when the data determine it.
bool Shown(const ElementValue &e) {
    return e.state == ElementState::Determined && std::isfinite(e.uncertainty);
}

// A value the options gave (held at it, or run to a bound they set) is shown without an
// uncertainty.
bool Given(const ElementValue &e) {
    return e.state == ElementState::FixedByUser || e.state == ElementState::AtUserBound;
}

QString ElementStateName(const ElementValue &e) {
    switch (e.state) {
    case ElementState::AtLowerBound:
        return QStringLiteral("at_lower_bound");
    case ElementState::AtUpperBound:
        return QStringLiteral("at_upper_bound");
    case ElementState::FixedByUser:
        return QStringLiteral("fixed");
    case ElementState::AtUserBound:
        return QStringLiteral("at_given_bound");
    case ElementState::Determined:
        if (std::isfinite(e.uncertainty)) return QStringLiteral("determined");
        break;
    case ElementState::Undetermined:
        break;
    }
    return QStringLiteral("not_determined");
}

QString SpanName(FigureSpan span) {
    switch (span) {
    case FigureSpan::Inside:
        return QStringLiteral("inside");
    case FigureSpan::Below:
        return QStringLiteral("below");
    case FigureSpan::Above:
        return QStringLiteral("above");
    case FigureSpan::Undetermined:
        break;
    }
    return QStringLiteral("not_determined");
}

// What an element not shown as a number is, in words.
QString Unshown(const ElementValue &e) {
    switch (e.state) {
    case ElementState::AtLowerBound:
        return QStringLiteral("negligible (too small to affect the data; held at its lower bound)");
    case ElementState::AtUpperBound:
        return QStringLiteral("no effect (too large to affect the data; held at its upper bound)");
    default:
        return QStringLiteral("not determined by the data");
    }
}

QString Uncertainty(const ElementValue &e, const QString &unit) {
    if (!std::isfinite(e.uncertainty)) return QStringLiteral("(not determined by the data)");
    return QStringLiteral("\u00b1 %1 (%2 %)")
        .arg(unit.isEmpty() ? QString::number(e.uncertainty, 'g', 2)
                            : Engineering(e.uncertainty, Symbol(unit), 2))
        .arg(100.0 * e.uncertainty / e.value, 0, 'g', 2);
}

// A figure inside the span as a number; outside it, where it lies, not what it extrapolates to.
QString FigureText(const DerivedFigure &d) {
    switch (d.span) {
    case FigureSpan::Inside:
        return *d.unit ? Engineering(d.value, Symbol(d.unit)) : QString::number(d.value, 'g', 5);
    case FigureSpan::Below:
    case FigureSpan::Above: {
        const bool own = std::strcmp(d.unit, "Hz") == 0;
        return QStringLiteral("%1 the measured frequencies (not measured%2)")
            .arg(d.span == FigureSpan::Below ? QStringLiteral("below") : QStringLiteral("above"),
                 own ? QString() : QStringLiteral(": its resonance lies there"));
    }
    case FigureSpan::Undetermined:
        break;
    }
    return QStringLiteral("not determined by the data");
}

// The role of a circuit string's value, by its kind.
QString CircuitRole(char kind) {
    switch (kind) {
    case 'C':
        return QStringLiteral("capacitance");
    case 'L':
        return QStringLiteral("inductance");
    case 'Q':
        return QStringLiteral("constant-phase element");
    case 'a':
        return QStringLiteral("its exponent");
    default:
        return QStringLiteral("resistance");
    }
}

} // namespace

std::vector<ElementLabel> ElementLabels(const FitResult &fit) {
    std::vector<ElementLabel> labels;
    const std::optional<FitTarget> target = TargetOf(fit);
    if (target && target->circuit()) {
        for (const CircuitParameter &p : target->circuit()->parameters)
            labels.push_back({p.key, QString::fromLatin1(p.unit), CircuitRole(p.kind)});
    } else {
        const ModelInfo &info = Info(fit.model);
        for (int i = 0; i < info.elementCount; ++i)
            labels.push_back({QString::fromLatin1(info.elements[i].key),
                              QString::fromLatin1(info.elements[i].unit),
                              QString::fromLatin1(info.elements[i].role)});
    }
    return labels;
}

QString FitName(const FitResult &fit) {
    return fit.circuit.isEmpty() ? QString::fromLatin1(Info(fit.model).name) : fit.circuit;
}

QString VerdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Good:
        return QStringLiteral("good");
    case Verdict::Poor:
        return QStringLiteral("poor");
    case Verdict::Refused:
        break;
    }
    return QStringLiteral("refused");
}

QString VerdictText(const FitResult &fit) {
    if (fit.verdict == Verdict::Refused) return QStringLiteral("refused: %1").arg(fit.message);
    QStringList why;
    const QString noise =
        std::isfinite(fit.noiseEstimate)
            ? QStringLiteral("the data's own noise %1 %").arg(100.0 * fit.noiseEstimate, 0, 'g', 2)
            : QStringLiteral("too few points to estimate the noise");
    why << QStringLiteral("%1 the data (residual %2 %, %3)")
               .arg(fit.describesData ? QStringLiteral("the model describes")
                                      : QStringLiteral("the model does NOT describe"))
               .arg(100.0 * fit.rmsRelativeResidual, 0, 'g', 2)
               .arg(noise);
    if (fit.status != FitStatus::Ok) why << QStringLiteral("the fit did not converge");
    const std::vector<ElementLabel> labels = ElementLabels(fit);
    QStringList loose;
    for (std::size_t i = 0; i < fit.elements.size() && i < labels.size(); ++i)
        if (fit.elements[i].state == ElementState::Undetermined ||
            (fit.elements[i].state == ElementState::Determined &&
             !std::isfinite(fit.elements[i].uncertainty)))
            loose << labels[i].key;
    why << (loose.isEmpty() ? QStringLiteral("every free element determined")
                            : QStringLiteral("not determined: %1").arg(loose.join(", ")));
    return QStringLiteral("%1: %2").arg(fit.verdict == Verdict::Good ? QStringLiteral("good")
                                                                     : QStringLiteral("POOR"),
                                        why.join(QStringLiteral("; ")));
}

QString StatusName(FitStatus status) {
    switch (status) {
    case FitStatus::Ok:
        return QStringLiteral("ok");
    case FitStatus::NotConverged:
        return QStringLiteral("not_converged");
    case FitStatus::TooFewPoints:
        return QStringLiteral("too_few_points");
    case FitStatus::UnknownModel:
        return QStringLiteral("unknown_model");
    }
    return {};
}

QString Engineering(double value, const QString &unit, int significant) {
    if (!std::isfinite(value)) return QStringLiteral("%1 %2").arg(value).arg(unit);
    static const char *const Prefixes[] = {"f", "p", "n", "\u00b5", "m", "", "k", "M", "G", "T"};
    constexpr int Unprefixed = 5;
    int step = value == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value)) / 3.0));
    step = std::clamp(step, -Unprefixed, 9 - Unprefixed);
    const double scaled = value / std::pow(1000.0, step);
    const int whole = std::fabs(scaled) < 10.0 ? 1 : std::fabs(scaled) < 100.0 ? 2 : 3;
    return QStringLiteral("%1 %2%3")
        .arg(scaled, 0, 'f', std::max(0, significant - whole))
        .arg(QString::fromUtf8(Prefixes[step + Unprefixed]), unit);
}

QJsonObject FitToJson(const FitResult &fit) {
    QJsonObject o;
    const bool known = fit.status != FitStatus::UnknownModel;
    const ModelInfo &info = Info(fit.model);
    const bool string = !fit.circuit.isEmpty();
    o[QStringLiteral("model")] = known ? FitName(fit) : QString();
    o[QStringLiteral("circuit")] =
        known ? (string ? fit.circuit : QString::fromLatin1(info.circuit)) : QString();
    o[QStringLiteral("status")] = StatusName(fit.status);
    o[QStringLiteral("verdict")] = VerdictName(fit.verdict);
    o[QStringLiteral("describes_data")] = fit.describesData;
    o[QStringLiteral("noise_estimate")] =
        fit.elements.empty() ? QJsonValue(QJsonValue::Null) : Number(fit.noiseEstimate);
    o[QStringLiteral("message")] = fit.message;
    o[QStringLiteral("points_used")] = fit.pointsUsed;
    o[QStringLiteral("points_left_out")] = fit.pointsLeftOut;
    QJsonObject elements;
    const std::vector<ElementLabel> labels = ElementLabels(fit);
    for (std::size_t i = 0; i < fit.elements.size() && i < labels.size(); ++i) {
        const ElementLabel &e = labels[i];
        const ElementValue &v = fit.elements[i];
        const bool shown = Shown(v);
        elements[e.key] =
            QJsonObject{{QStringLiteral("value"),
                         shown || Given(v) ? Number(v.value) : QJsonValue(QJsonValue::Null)},
                        {QStringLiteral("uncertainty"),
                         shown ? Number(v.uncertainty) : QJsonValue(QJsonValue::Null)},
                        {QStringLiteral("unit"), e.unit},
                        {QStringLiteral("state"), ElementStateName(v)}};
    }
    o[QStringLiteral("elements")] = elements;
    const bool fitted = !fit.elements.empty();
    o[QStringLiteral("rms_relative_residual")] =
        fitted ? Number(fit.rmsRelativeResidual) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("bic")] = fitted ? Number(fit.bic) : QJsonValue(QJsonValue::Null);
    QJsonObject derived;
    for (const DerivedFigure &d : fit.derived)
        derived[QString::fromLatin1(d.key)] = QJsonObject{
            {QStringLiteral("value"),
             d.span == FigureSpan::Inside ? Number(d.value) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("unit"), QString::fromLatin1(d.unit)},
            {QStringLiteral("span"), SpanName(d.span)}};
    o[QStringLiteral("derived")] = derived;
    if (fit.automatic) {
        QJsonArray alternatives;
        for (const Alternative &a : fit.alternatives) {
            const bool scored = a.status == FitStatus::Ok || a.status == FitStatus::NotConverged;
            alternatives.append(QJsonObject{
                {QStringLiteral("model"), QString::fromLatin1(Info(a.model).name)},
                {QStringLiteral("status"), StatusName(a.status)},
                {QStringLiteral("verdict"), VerdictName(a.verdict)},
                {QStringLiteral("bic"), scored ? Number(a.bic) : QJsonValue(QJsonValue::Null)},
                {QStringLiteral("rms"),
                 scored ? Number(a.rmsRelativeResidual) : QJsonValue(QJsonValue::Null)}});
        }
        o[QStringLiteral("alternatives")] = alternatives;
    }
    return o;
}

QString FitSummary(const FitResult &fit) {
    QStringList lines;
    if (fit.status == FitStatus::UnknownModel || fit.elements.empty()) return fit.message + '\n';
    const QString circuit = fit.circuit.isEmpty() ? QString::fromLatin1(Info(fit.model).circuit)
                                                  : QStringLiteral("circuit string");
    lines << QStringLiteral("%1 (%2), %3 points, %4 left out%5")
                 .arg(FitName(fit), circuit)
                 .arg(fit.pointsUsed)
                 .arg(fit.pointsLeftOut)
                 .arg(fit.status == FitStatus::Ok ? QString() : QStringLiteral(": NOT CONVERGED"));
    lines << QStringLiteral("  verdict %1").arg(VerdictText(fit));
    const std::vector<ElementLabel> labels = ElementLabels(fit);
    for (std::size_t i = 0; i < fit.elements.size() && i < labels.size(); ++i) {
        const ElementLabel &e = labels[i];
        const ElementValue &v = fit.elements[i];
        lines << (Shown(v) ? QStringLiteral("  %1 = %2 %3   %4")
                                 .arg(e.key, -4)
                                 .arg(e.unit.isEmpty() ? QString::number(v.value, 'f', 4)
                                                       : Engineering(v.value, Symbol(e.unit)),
                                      Uncertainty(v, e.unit), e.role)
                  : Given(v)
                      ? QStringLiteral("  %1 = %2 (%3)   %4")
                            .arg(e.key, -4)
                            .arg(e.unit.isEmpty() ? QString::number(v.value, 'f', 4)
                                                  : Engineering(v.value, Symbol(e.unit)),
                                 v.state == ElementState::FixedByUser
                                     ? QStringLiteral("fixed")
                                     : QStringLiteral("at the given bound"),
                                 e.role)
                      : QStringLiteral("  %1 = %2   %3").arg(e.key, -4).arg(Unshown(v), e.role));
    }
    for (const DerivedFigure &d : fit.derived)
        lines << QStringLiteral("  %1 = %2").arg(QString::fromLatin1(d.key), -4).arg(FigureText(d));
    lines << QStringLiteral("  RMS relative residual %1").arg(fit.rmsRelativeResidual, 0, 'g', 3);
    if (fit.automatic && !fit.alternatives.empty()) {
        QStringList others;
        for (const Alternative &a : fit.alternatives)
            others << (a.status == FitStatus::TooFewPoints
                           ? QStringLiteral("%1 (too few points)")
                                 .arg(QString::fromLatin1(Info(a.model).name))
                           : QStringLiteral("%1 BIC %2 rms %3")
                                 .arg(QString::fromLatin1(Info(a.model).name))
                                 .arg(a.bic, 0, 'f', 1)
                                 .arg(a.rmsRelativeResidual, 0, 'g', 2));
        lines << QStringLiteral("  chosen as the simplest within %1 of the lowest BIC (BIC %2); "
                                "others: %3")
                     .arg(BicGap)
                     .arg(fit.bic, 0, 'f', 1)
                     .arg(others.join(QStringLiteral(", ")));
    }
    return lines.join('\n') + '\n';
}

} // namespace Fit
