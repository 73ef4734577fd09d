// The fit's result in Russian for the window's dialog.
#include "ui/fit_text.h"

#include "fit/fit_report.h"
#include "ui/fit_verdict_text.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Main {

namespace {

constexpr double Pi = 3.14159265358979323846;

QString Comma(QString number) {
    return number.replace(QLatin1Char('.'), QLatin1Char(','));
}

// The unit's symbol: Ω for ohms, F·s^(α−1) for a constant-phase element.
QString UnitSymbol(const QString &unit) {
    if (unit == QLatin1String("ohm")) return QStringLiteral("Ω");
    if (unit == QLatin1String("F*s^(alpha-1)")) return QStringLiteral("F·s^(α−1)");
    return unit;
}

// A number without unit (an exponent, a Q factor): significant digits, decimal comma.
QString Plain(double value, int significant) {
    return Comma(QString::number(value, 'g', significant));
}

QString Percent(double share) {
    return Comma(QString::number(100.0 * share, 'g', 2)) + QStringLiteral(" %");
}

QString ModelName(Fit::Model model) {
    switch (model) {
    case Fit::Model::Resistor:
        return QStringLiteral("резистор (R)");
    case Fit::Model::SeriesRc:
        return QStringLiteral("R–C последовательно");
    case Fit::Model::SeriesRl:
        return QStringLiteral("R–L последовательно");
    case Fit::Model::ParallelRc:
        return QStringLiteral("R–C параллельно с последовательным R (Rs + Rp ∥ C)");
    case Fit::Model::Capacitor:
        return QStringLiteral("конденсатор (R–L–C последовательно)");
    case Fit::Model::Inductor:
        return QStringLiteral("катушка ((R–L) ∥ C)");
    case Fit::Model::Resonator:
        return QStringLiteral("резонатор ((R1–L1–C1) ∥ C0)");
    }
    return {};
}

// The element's role from the fit library's English words; nothing for words it does not know,
// so no English reaches the window.
QString Role(const QString &role) {
    static const struct {
        const char *english;
        const char *russian;
    } Roles[] = {
        {"resistance", "сопротивление"},
        {"series resistance", "последовательное сопротивление"},
        {"parallel resistance", "параллельное сопротивление"},
        {"capacitance", "ёмкость"},
        {"inductance", "индуктивность"},
        {"equivalent series resistance", "эквивалентное последовательное сопротивление"},
        {"equivalent series inductance", "эквивалентная последовательная индуктивность"},
        {"winding resistance", "сопротивление обмотки"},
        {"winding capacitance", "ёмкость обмотки"},
        {"motional resistance", "динамическое сопротивление"},
        {"motional inductance", "динамическая индуктивность"},
        {"motional capacitance", "динамическая ёмкость"},
        {"shunt capacitance", "статическая ёмкость"},
        {"constant-phase element", "элемент постоянной фазы"},
        {"its exponent", "его показатель α"},
    };
    for (const auto &r : Roles)
        if (role == QLatin1String(r.english)) return QString::fromUtf8(r.russian);
    return {};
}

bool Shown(const Fit::ElementValue &e) {
    return e.state == Fit::ElementState::Determined && std::isfinite(e.uncertainty) &&
           std::isfinite(e.value);
}

QString Unshown(const Fit::ElementValue &e) {
    switch (e.state) {
    case Fit::ElementState::AtLowerBound:
        return QStringLiteral("пренебрежимо мало (на нижней границе)");
    case Fit::ElementState::AtUpperBound:
        return QStringLiteral("не влияет (на верхней границе)");
    default:
        return QStringLiteral("не определено данными");
    }
}

// The key as the text shows it: the exponent of Q1 ("Q1_alpha") as "Q1 α".
QString ShownKey(const QString &key) {
    return key.endsWith(QLatin1String("_alpha")) ? key.chopped(6) + QStringLiteral(" α") : key;
}

QString ElementLine(const Fit::ElementLabel &label, const Fit::ElementValue &e, int width) {
    const QString key = ShownKey(label.key).leftJustified(width);
    const QString role = Role(label.role);
    const QString tail = role.isEmpty() ? QString() : QStringLiteral("   ") + role;
    const bool exponent = label.key.endsWith(QLatin1String("_alpha"));
    // An exponent held at a bound is that bound: 1 makes the element a capacitor.
    if (exponent && e.state == Fit::ElementState::AtUpperBound)
        return QStringLiteral("  %1 = 1 (на верхней границе: чистая ёмкость)%2").arg(key, tail);
    if (exponent && e.state == Fit::ElementState::AtLowerBound)
        return QStringLiteral("  %1 = %2 (на нижней границе)%3").arg(key, Plain(e.value, 3), tail);
    if (!Shown(e)) return QStringLiteral("  %1 = %2%3").arg(key, Unshown(e), tail);
    const QString relative =
        e.value != 0.0 ? QStringLiteral(" (%1)").arg(Percent(e.uncertainty / std::fabs(e.value)))
                       : QString();
    if (label.unit.isEmpty()) {
        // The exponent of a constant-phase element: its phase is −90° times it.
        const QString phase =
            exponent
                ? QStringLiteral(", фаза %1°").arg(Comma(QString::number(-90.0 * e.value, 'f', 1)))
                : QString();
        return QStringLiteral("  %1 = %2 ± %3%4%5%6")
            .arg(key, Plain(e.value, 5), Plain(e.uncertainty, 2), relative, phase, tail);
    }
    const QString unit = UnitSymbol(label.unit);
    return QStringLiteral("  %1 = %2 ± %3%4%5")
        .arg(key, SiText(e.value, unit), SiText(e.uncertainty, unit, 2), relative, tail);
}

QString FigureName(const Fit::FitResult &fit, const char *key) {
    if (std::strcmp(key, "srf") == 0)
        return fit.model == Fit::Model::Resonator ? QStringLiteral("Последовательный резонанс")
                                                  : QStringLiteral("Собственный резонанс");
    if (std::strcmp(key, "parallel_resonance") == 0) return QStringLiteral("Параллельный резонанс");
    if (std::strcmp(key, "esr_at_srf") == 0) return QStringLiteral("ESR на резонансе");
    if (std::strcmp(key, "resistance_at_srf") == 0)
        return QStringLiteral("Сопротивление на резонансе");
    if (std::strcmp(key, "q") == 0) return QStringLiteral("Добротность Q");
    return QString::fromLatin1(key);
}

QString FigureValue(const Fit::DerivedFigure &d) {
    switch (d.span) {
    case Fit::FigureSpan::Inside:
        if (!std::isfinite(d.value)) break;
        return *d.unit ? SiText(d.value, UnitSymbol(QString::fromLatin1(d.unit)))
                       : Plain(d.value, 4);
    case Fit::FigureSpan::Below:
        return QStringLiteral("вне диапазона (резонанс ниже измеренных частот)");
    case Fit::FigureSpan::Above:
        return QStringLiteral("вне диапазона (резонанс выше измеренных частот)");
    case Fit::FigureSpan::Undetermined:
        break;
    }
    return QStringLiteral("не определено");
}

QString RefusalText(const Fit::FitResult &fit) {
    if (fit.status == Fit::FitStatus::UnknownModel)
        return QStringLiteral("Подбор невозможен: неизвестная схема.");
    return QStringLiteral("Подбор невозможен: мало точек (пригодных %1).").arg(fit.pointsUsed);
}

QString Alternatives(const Fit::FitResult &fit) {
    QStringList others;
    for (const Fit::Alternative &a : fit.alternatives) {
        const bool scored =
            a.status == Fit::FitStatus::Ok || a.status == Fit::FitStatus::NotConverged;
        others << (scored ? QStringLiteral("  %1: BIC %2, остаток %3")
                                .arg(ModelName(a.model), Comma(QString::number(a.bic, 'f', 1)),
                                     Percent(a.rmsRelativeResidual))
                          : QStringLiteral("  %1: мало точек").arg(ModelName(a.model)));
    }
    return QStringLiteral("Выбрана простейшая схема в пределах %1 от наименьшего BIC (BIC %2). "
                          "Другие:\n%3")
        .arg(Comma(QString::number(Fit::BicGap)), Comma(QString::number(fit.bic, 'f', 1)),
             others.join(QLatin1Char('\n')));
}

} // namespace

QString SiText(double value, const QString &unit, int significant) {
    if (!std::isfinite(value)) return QStringLiteral("— %1").arg(unit);
    static const char *const Prefixes[] = {"f", "p", "n", "µ", "m", "", "k", "M", "G", "T"};
    constexpr int Unprefixed = 5;
    int step = value == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value)) / 3.0));
    // Beyond the prefixes a power of ten keeps the digits: 1e-18 F is "1,0e-18 F".
    if (step != std::clamp(step, -Unprefixed, 9 - Unprefixed))
        return QStringLiteral("%1 %2").arg(
            Comma(QString::number(value, 'e', std::max(0, significant - 1))), unit);
    double scaled = value / std::pow(1000.0, step);
    int whole = std::fabs(scaled) < 10.0 ? 1 : std::fabs(scaled) < 100.0 ? 2 : 3;
    // Rounding may carry into the next decade: 999.996 with five digits is 1000.0.
    const double rounded = std::round(std::fabs(scaled) * std::pow(10.0, significant - whole)) /
                           std::pow(10.0, significant - whole);
    if (rounded >= 1000.0 && step < 9 - Unprefixed) {
        ++step;
        scaled /= 1000.0;
        whole = 1;
    } else if (rounded >= 10.0 && whole == 1) {
        whole = 2;
    } else if (rounded >= 100.0 && whole == 2) {
        whole = 3;
    }
    return QStringLiteral("%1 %2%3").arg(
        Comma(QString::number(scaled, 'f', std::max(0, significant - whole))),
        QString::fromUtf8(Prefixes[step + Unprefixed]), unit);
}

QString FitCircuitName(const Fit::FitResult &fit) {
    return fit.circuit.isEmpty() ? ModelName(fit.model) : fit.circuit;
}

QString FitText(const Fit::FitResult &fit) {
    if (fit.status == Fit::FitStatus::UnknownModel || fit.elements.empty())
        return RefusalText(fit) + QLatin1Char('\n') + FitVerdictLine(fit);
    QStringList lines;
    lines << QStringLiteral("Схема: %1%2")
                 .arg(FitCircuitName(fit),
                      fit.automatic ? QStringLiteral(", выбрана автоматически") : QString());
    lines << QStringLiteral("Точек: %1, не учтено %2").arg(fit.pointsUsed).arg(fit.pointsLeftOut);
    if (fit.status != Fit::FitStatus::Ok) lines << QStringLiteral("Подбор не сошёлся.");
    const std::vector<Fit::ElementLabel> labels = Fit::ElementLabels(fit);
    int width = 0;
    for (const Fit::ElementLabel &l : labels)
        width = std::max(width, static_cast<int>(ShownKey(l.key).size()));
    for (std::size_t i = 0; i < fit.elements.size() && i < labels.size(); ++i)
        lines << ElementLine(labels[i], fit.elements[i], width);
    for (const Fit::DerivedFigure &d : fit.derived)
        lines << QStringLiteral("%1: %2").arg(FigureName(fit, d.key), FigureValue(d));
    lines << (std::isfinite(fit.noiseEstimate)
                  ? QStringLiteral("Остаток (СКО): %1, шум данных %2")
                        .arg(Percent(fit.rmsRelativeResidual), Percent(fit.noiseEstimate))
                  : QStringLiteral("Остаток (СКО): %1, шум данных не оценён (мало точек)")
                        .arg(Percent(fit.rmsRelativeResidual)));
    if (fit.automatic && !fit.alternatives.empty()) lines << Alternatives(fit);
    lines << FitVerdictLine(fit);
    return lines.join(QLatin1Char('\n'));
}

QString CircuitProblemText(const QString &text, const Fit::CircuitParse &parse) {
    if (parse.ok) return {};
    QString why;
    switch (parse.problem) {
    case Fit::CircuitProblem::Empty:
        return QStringLiteral("Схема не задана.");
    case Fit::CircuitProblem::ExpectedElement:
        why = QStringLiteral("ожидается элемент R, C, L, Q или p(");
        break;
    case Fit::CircuitProblem::ExpectedOpening:
        why = QStringLiteral("после p нужна «(»");
        break;
    case Fit::CircuitProblem::NotClosed:
        why = QStringLiteral("не закрыта скобка p(");
        break;
    case Fit::CircuitProblem::ExpectedSeparator:
        why = QStringLiteral("ожидается «,» или «)»");
        break;
    case Fit::CircuitProblem::OneBranch:
        why = QStringLiteral("в p(…) нужно не меньше двух ветвей");
        break;
    case Fit::CircuitProblem::NamedTwice:
        why = QStringLiteral("элемент назван дважды");
        break;
    case Fit::CircuitProblem::TooManyValues:
        why = QStringLiteral("больше %1 величин для подбора").arg(Fit::MaxCircuitParameters);
        break;
    case Fit::CircuitProblem::UnmatchedClosing:
        why = QStringLiteral("«)» без своей p(");
        break;
    case Fit::CircuitProblem::ExpectedEnd:
        why = QStringLiteral("ожидается «-» или конец");
        break;
    case Fit::CircuitProblem::None:
        why = parse.reason;
        break;
    }
    return QStringLiteral("Схема «%1»: позиция %2 — %3.")
        .arg(text)
        .arg(parse.position + 1)
        .arg(why);
}

} // namespace Main
