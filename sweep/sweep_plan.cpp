// Log and list plans of a run.
#include "sweep/sweep_plan.h"

#include "link/models.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_store.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace Sweep {

std::vector<std::int32_t> LogPlan(std::int32_t low, std::int32_t high, int points) {
    std::vector<std::int32_t> plan;
    if (points < 1 || low <= 0 || high <= 0) return plan;
    plan.reserve(static_cast<std::size_t>(points));
    const double ratio = static_cast<double>(high) / static_cast<double>(low);
    for (int i = 0; i < points - 1; ++i) {
        const double share = static_cast<double>(i) / static_cast<double>(points - 1);
        plan.push_back(static_cast<std::int32_t>(std::lround(low * std::pow(ratio, share))));
    }
    plan.push_back(points == 1 ? low : high);
    return plan;
}

std::vector<std::int32_t> MeterListPlan(std::int32_t low, std::int32_t high) {
    std::vector<std::int32_t> plan;
    for (std::int32_t f : Device::FrequencyList)
        if (f >= low && f <= high) plan.push_back(f);
    return plan;
}

namespace {

ListFile Refused(int line, ListRefusal refusal, const QString &reason) {
    ListFile out;
    out.line = line;
    out.refusal = refusal;
    out.reason = reason;
    return out;
}

} // namespace

ListFile ReadFrequencyList(QIODevice &device) {
    ListFile out;
    int number = 0;
    while (!device.atEnd()) {
        QByteArray line = device.readLine(ListFileLargest);
        ++number;
        const int hash = line.indexOf('#');
        if (hash >= 0) line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty()) continue;
        bool whole = false;
        const qlonglong hz = line.toLongLong(&whole, 10);
        if (!whole)
            return Refused(number, ListRefusal::NotWhole, QStringLiteral("не целое число герц"));
        if (hz < Main::SweepLowestHz || hz > Main::SweepHighestHz)
            return Refused(number, ListRefusal::OutOfRange,
                           QStringLiteral("частота вне %1 … %2 Гц")
                               .arg(Main::SweepLowestHz)
                               .arg(Main::SweepHighestHz));
        if (static_cast<int>(out.frequencies.size()) == ListLongest)
            return Refused(number, ListRefusal::TooMany,
                           QStringLiteral("больше %1 частот").arg(ListLongest));
        out.frequencies.push_back(static_cast<std::int32_t>(hz));
    }
    if (static_cast<int>(out.frequencies.size()) < ListShortest)
        return Refused(0, ListRefusal::TooFew, QStringLiteral("меньше двух частот"));
    return out;
}

ListFile ReadFrequencyListFile(const QString &path) {
    const QFileInfo info(path);
    // A pipe or a device would block the window; a real list is a few kilobytes.
    if (!info.isFile()) return Refused(0, ListRefusal::NoFile, QStringLiteral("файл не найден"));
    if (info.size() > ListFileLargest)
        return Refused(0, ListRefusal::TooLarge, QStringLiteral("файл слишком велик"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refused(0, ListRefusal::Unreadable, file.errorString());
    return ReadFrequencyList(file);
}

QString ListFileProblem(const ListFile &list) {
    if (list.line <= 0) return list.reason;
    return QStringLiteral("строка %1: %2").arg(list.line).arg(list.reason);
}

} // namespace Sweep
