// The swept quantity as the window reads and shows it.
#include "ui/swept_quantity.h"

#include "link/capabilities.h"
#include "sweep/sweep_frequencies.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Main {

namespace {

constexpr double FarMillivolts = 2.0e9; // beyond any bias, still a whole number of mV

int LevelPosition(std::optional<std::int32_t> mv) {
    if (!mv) return -1;
    const auto &levels = Device::Levels;
    const auto at = std::find(levels.begin(), levels.end(), *mv);
    return at == levels.end() ? -1 : static_cast<int>(at - levels.begin());
}

} // namespace

Sweep::Quantity SweptQuantityOf(int index) {
    switch (index) {
    case 1:
        return Sweep::Quantity::Bias;
    case 2:
        return Sweep::Quantity::Level;
    default:
        return Sweep::Quantity::Frequency;
    }
}

std::optional<std::int32_t> ReadMillivolts(const QString &volts) {
    QString text = volts.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    const double mv = std::clamp(std::round(value * 1000.0), -FarMillivolts, FarMillivolts);
    return static_cast<std::int32_t>(mv);
}

std::vector<std::int32_t> LevelRun(std::optional<std::int32_t> first,
                                   std::optional<std::int32_t> last) {
    const auto &levels = Device::Levels;
    const int from = LevelPosition(first);
    const int to = LevelPosition(last);
    if (from < 0 || to < 0 || from == to) return {levels.begin(), levels.end()};
    std::vector<std::int32_t> run;
    const int step = from < to ? 1 : -1;
    for (int i = from; i != to + step; i += step)
        run.push_back(levels[static_cast<std::size_t>(i)]);
    return run;
}

QString AxisTitle(Sweep::Quantity quantity, bool frequencySweep) {
    switch (quantity) {
    case Sweep::Quantity::Bias:
        return QStringLiteral("Смещение, В");
    case Sweep::Quantity::Level:
        return QStringLiteral("Уровень, В");
    case Sweep::Quantity::Frequency:
        break;
    }
    return frequencySweep ? QStringLiteral("Частота, kHz") : QStringLiteral("Отсчеты");
}

double AxisValue(const SweepVariables &store, int point, bool frequencySweep) {
    if (store.SweepQuantity != Sweep::Quantity::Frequency) return PlannedAxisValue(store, point);
    const int k = std::clamp(point, 0, SweepCapacity - 1);
    return frequencySweep ? static_cast<double>(store.SweepFrequencies[k]) * KilohertzPerHertz
                          : k + 1.0;
}

bool LogAxisApplies(Sweep::Quantity quantity, bool frequencySweep) {
    return quantity == Sweep::Quantity::Frequency && frequencySweep;
}

QString VoltsText(double volts) {
    return QString::number(volts, 'g', 6).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(" В");
}

QString RunRefusalText(const Core::Session::RunAnswer &answer) {
    using R = Core::Session::RunRefusal;
    using S = Device::Refusal::Subject;
    switch (answer.refused) {
    case R::None:
        return QString();
    case R::RunGoing:
        return QStringLiteral("Идёт другое измерение: дождитесь его конца");
    case R::NoMeter:
        return QStringLiteral("Прибор не найден");
    case R::ExternalBias:
        return QStringLiteral("Развёртка смещения только от внутреннего источника");
    case R::Planner:
        break;
    }
    if (!answer.verdict) return QStringLiteral("Неверное значение");
    switch (answer.verdict->subject) {
    case S::SweepStart:
    case S::SweepStop:
    case S::Bias:
        return QStringLiteral("Смещение вне %1…%2 В")
            .arg(Device::LowestBiasMillivolts / 1000)
            .arg(Device::HighestBiasMillivolts / 1000);
    case S::SweepPoints:
        return QStringLiteral("Число точек: от %1 до %2").arg(SweepPointsLeast).arg(SweepCapacity);
    case S::SweepList:
    case S::Level:
        return QStringLiteral("Уровня %1 нет у прибора")
            .arg(VoltsText(answer.verdict->value / 1000.0));
    default:
        return QStringLiteral("Неверное значение");
    }
}

QString BiasLeftText(std::int32_t millivolts) {
    return QStringLiteral("Смещение не снято: нет связи с прибором. На выходе может оставаться %1.")
        .arg(VoltsText(millivolts / 1000.0));
}

std::vector<double> HeldAxisValues(const SweepVariables &store) {
    std::vector<double> xs;
    const int taken = TakenSweepPoints(store);
    for (int i = 0; i < taken; ++i)
        if (PointMeasured(store, i)) xs.push_back(PlannedAxisValue(store, i));
    return xs;
}

std::optional<double> ValueAlong(const std::vector<double> &xs, const std::vector<double> &ys,
                                 double x) {
    const std::size_t n = std::min(xs.size(), ys.size());
    if (n == 0 || !std::isfinite(x)) return std::nullopt;
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&xs](std::size_t a, std::size_t b) { return xs[a] < xs[b]; });
    if (x < xs[order.front()] || x > xs[order.back()]) return std::nullopt;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = order[k];
        if (xs[i] == x) return std::isfinite(ys[i]) ? std::optional<double>(ys[i]) : std::nullopt;
        if (k + 1 < n && x < xs[order[k + 1]]) {
            const std::size_t j = order[k + 1];
            if (!std::isfinite(ys[i]) || !std::isfinite(ys[j])) return std::nullopt;
            return ys[i] + (ys[j] - ys[i]) * (x - xs[i]) / (xs[j] - xs[i]);
        }
    }
    return std::nullopt;
}

} // namespace Main
