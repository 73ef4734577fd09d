// The sorting panel's texts and the plan read from its fields.
#include "ui/sort_text.h"

#include "sorting/plan_file.h"

#include <QDir>
#include <QLocale>
#include <QStandardPaths>

#include <cmath>

namespace Main {

namespace {

bool Blank(const QString &text) {
    return text.trimmed().isEmpty();
}

// A side of a limit pair: nothing when blank, false in ok when it is no number.
std::optional<double> Side(const QString &text, bool &ok) {
    ok = true;
    if (Blank(text)) return std::nullopt;
    const std::optional<double> value = Sort::ParseSiNumber(text);
    ok = value.has_value() && std::isfinite(*value);
    return value;
}

QString BinField(int bin, bool low) {
    return QStringLiteral("Бин %1, %2: не число")
        .arg(bin)
        .arg(low ? QStringLiteral("нижн.") : QStringLiteral("верхн."));
}

PlanReading Refuse(const QString &problem) {
    PlanReading reading;
    reading.problem = problem;
    return reading;
}

// A value with an SI prefix when one makes it shorter: 1e-7 → "100n", 4700 → "4.7k".
QString SiText(double value) {
    static const struct {
        double scale;
        char prefix;
    } prefixes[] = {{1e9, 'G'},  {1e6, 'M'},  {1e3, 'k'},  {1.0, 0},
                    {1e-3, 'm'}, {1e-6, 'u'}, {1e-9, 'n'}, {1e-12, 'p'}};
    const double size = std::fabs(value);
    if (size == 0.0 || !std::isfinite(value)) return QString::number(value, 'g', 9);
    for (const auto &p : prefixes) {
        if (size >= p.scale * 0.9999999995 || p.prefix == 'p') {
            const QString mantissa = QString::number(value / p.scale, 'g', 9);
            return p.prefix ? mantissa + QLatin1Char(p.prefix) : mantissa;
        }
    }
    return QString::number(value, 'g', 9);
}

QString OptionalText(const std::optional<double> &value, bool si) {
    if (!value) return QString();
    return si ? SiText(*value) : QString::number(*value, 'g', 9);
}

} // namespace

QString VerdictText(const Sort::Verdict &verdict, const Sort::Plan &plan) {
    switch (verdict.outcome) {
    case Sort::Outcome::Bin:
        return QStringLiteral("BIN %1").arg(verdict.bin);
    case Sort::Outcome::Pass:
        return QStringLiteral("ГОДЕН");
    case Sort::Outcome::Out:
        return QStringLiteral("ВНЕ");
    case Sort::Outcome::SecondaryFail:
        return plan.binCount() > 0 ? QStringLiteral("ВТОР.") : QStringLiteral("БРАК");
    case Sort::Outcome::NoVerdict:
        break;
    }
    return QStringLiteral("—");
}

QColor VerdictColour(const Sort::Verdict &verdict) {
    if (!verdict.counts()) return QColor(224, 224, 224);
    return verdict.passed() ? QColor(96, 200, 96) : QColor(230, 80, 70);
}

QList<QPair<QString, QString>> CountRows(const Sort::Counts &counts, const Sort::Plan &plan) {
    QList<QPair<QString, QString>> rows;
    const int bins = std::min(plan.binCount(), Sort::MaxBins);
    for (int b = 0; b < bins; ++b)
        rows.append({QStringLiteral("BIN %1").arg(b + 1), QString::number(counts.bins[b])});
    if (bins == 0) rows.append({QStringLiteral("ГОДЕН"), QString::number(counts.pass)});
    rows.append({QStringLiteral("ВНЕ"), QString::number(counts.out)});
    rows.append({QStringLiteral("ВТОР."), QString::number(counts.secondaryFail)});
    rows.append({QStringLiteral("Всего"), QString::number(counts.total())});
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    rows.append({QStringLiteral("Выход"),
                 counts.total() > 0
                     ? russian.toString(counts.yield() * 100.0, 'f', 1) + QStringLiteral(" %")
                     : QStringLiteral("—")});
    return rows;
}

PlanReading ReadPlanFields(const PlanFields &fields) {
    Sort::Plan plan;
    plan.primary = fields.primary;
    plan.mode = RowMode(fields.mode);
    plan.secondary = fields.secondary;
    plan.auxBin = fields.aux;

    int used = static_cast<int>(fields.bins.size());
    while (used > 0 && Blank(fields.bins[used - 1].first) && Blank(fields.bins[used - 1].second))
        --used;
    if (used > Sort::MaxBins)
        return Refuse(QStringLiteral("Не больше %1 бинов").arg(Sort::MaxBins));

    if (plan.mode != Sort::Mode::Sequential) {
        const std::optional<double> nominal = Sort::ParseSiNumber(fields.nominal);
        if (!nominal || !std::isfinite(*nominal))
            return Refuse(QStringLiteral("Номинал: не число"));
        plan.nominal = *nominal;
    }

    for (int b = 0; b < used; ++b) {
        const auto &row = fields.bins[b];
        bool lowOk = true;
        bool highOk = true;
        const std::optional<double> low = Side(row.first, lowOk);
        const std::optional<double> high = Side(row.second, highOk);
        if (!lowOk) return Refuse(BinField(b + 1, true));
        if (!highOk) return Refuse(BinField(b + 1, false));
        if (plan.mode == Sort::Mode::Sequential) {
            // Boundaries: the first row's low, then each row's high; a row's low, when given,
            // is where the bin below ended.
            if (!high) return Refuse(QStringLiteral("Бин %1: нет верхней границы").arg(b + 1));
            if (b == 0) {
                if (!low) return Refuse(QStringLiteral("Бин 1: нет нижней границы"));
                plan.boundaries.push_back(*low);
            } else if (low && *low != plan.boundaries.back()) {
                return Refuse(QStringLiteral("Бин %1: нижняя граница не равна верхней бина %2")
                                  .arg(b + 1)
                                  .arg(b));
            }
            plan.boundaries.push_back(*high);
        } else {
            if (!low && !high) return Refuse(QStringLiteral("Бин %1 не задан").arg(b + 1));
            plan.bins.push_back(Sort::Limits{low, high});
        }
    }

    bool lowOk = true;
    bool highOk = true;
    plan.secondaryLimits.low = Side(fields.secondaryLow, lowOk);
    plan.secondaryLimits.high = Side(fields.secondaryHigh, highOk);
    if (!lowOk || !highOk)
        return Refuse(QStringLiteral("Второй параметр, %1: не число")
                          .arg(lowOk ? QStringLiteral("верхн.") : QStringLiteral("нижн.")));

    if (const std::optional<Sort::PlanProblem> problem = Sort::CheckPlan(plan))
        return Refuse(PlanProblemWords(*problem));
    if (plan.empty()) return Refuse(QStringLiteral("Нет ни бинов, ни пределов второго параметра"));
    PlanReading reading;
    reading.plan = plan;
    return reading;
}

PlanFields PlanToFields(const Sort::Plan &plan) {
    PlanFields fields;
    fields.primary = plan.primary;
    fields.mode = ModeRow(plan.mode);
    fields.secondary = plan.secondary;
    fields.aux = plan.auxBin;
    const bool percent = plan.mode == Sort::Mode::PercentTolerance;
    fields.nominal = plan.mode == Sort::Mode::Sequential ? QString() : SiText(plan.nominal);
    if (plan.mode == Sort::Mode::Sequential) {
        for (std::size_t b = 1; b < plan.boundaries.size(); ++b)
            fields.bins.append({SiText(plan.boundaries[b - 1]), SiText(plan.boundaries[b])});
    } else {
        for (const Sort::Limits &limits : plan.bins)
            fields.bins.append(
                {OptionalText(limits.low, !percent), OptionalText(limits.high, !percent)});
    }
    fields.secondaryLow = OptionalText(plan.secondaryLimits.low, true);
    fields.secondaryHigh = OptionalText(plan.secondaryLimits.high, true);
    return fields;
}

QString PlanProblemWords(const Sort::PlanProblem &problem) {
    using K = Sort::PlanProblem::Kind;
    switch (problem.kind) {
    case K::TooManyBins:
        return QStringLiteral("Не больше %1 бинов").arg(Sort::MaxBins);
    case K::LowAboveHigh:
        return problem.bin > 0
                   ? QStringLiteral("Бин %1: нижний предел выше верхнего").arg(problem.bin)
                   : QStringLiteral("Второй параметр: нижний предел выше верхнего");
    case K::NoNominal:
        return QStringLiteral("Допуск в %: номинал не может быть 0");
    case K::NotAscending:
        return QStringLiteral("Границы бинов должны возрастать");
    case K::NotFinite:
        return QStringLiteral("Предел не число");
    case K::Quantity:
        break;
    }
    return QStringLiteral("Неизвестный параметр");
}

QString SortPlanPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("sort_plan.txt"));
}

int ModeRow(Sort::Mode mode) {
    switch (mode) {
    case Sort::Mode::AbsoluteTolerance:
        return 1;
    case Sort::Mode::Sequential:
        return 2;
    case Sort::Mode::PercentTolerance:
        break;
    }
    return 0;
}

Sort::Mode RowMode(int row) {
    if (row == 1) return Sort::Mode::AbsoluteTolerance;
    if (row == 2) return Sort::Mode::Sequential;
    return Sort::Mode::PercentTolerance;
}

} // namespace Main
