// Figures for sorting parts: the cost of one verdict and of one reading shown to the part
// detector, and a batch of 200 parts that the simulated meter (a process of its own) puts into
// its contacts with a bouncing contact and takes out again: how many were counted (goal: each
// exactly once), how many verdicts differ from the plan applied to the part's own value, and how
// many polls after its readings were stable each part got its verdict (goal: two or fewer).
#include "bench/bench_support.h"
#include "core/session.h"
#include "link/device.h"
#include "sorting/part_detector.h"
#include "sorting/sort_plan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Bench;

namespace {

constexpr int Parts = 200;

Sort::Plan NestedPlan() {
    Sort::Plan plan;
    plan.primary = Device::ParC;
    plan.nominal = 100e-9;
    plan.bins = {{-1.0, 1.0}, {-2.0, 2.0}, {-5.0, 5.0}};
    plan.secondaryLimits.high = 0.01;
    return plan;
}

void Costs() {
    const Sort::Plan plan = NestedPlan();
    Sort::Reading reading;
    reading.magnitude = 1591.5;
    reading.phase = -1.5705;
    reading.frequencyHz = 1000;
    reading.measured = true;
    constexpr int calls = 1000000;
    int sum = 0;
    double start = ThreadCpuMs();
    for (int i = 0; i < calls; ++i) {
        reading.magnitude = 1500.0 + (i % 200);
        sum += Sort::JudgeReading(plan, reading).code(false);
    }
    const double judgeNs = (ThreadCpuMs() - start) * 1e6 / calls;
    Sort::PartDetector detector;
    start = ThreadCpuMs();
    for (int i = 0; i < calls; ++i)
        sum +=
            detector.Feed(i % 10 < 2 ? Sort::Contact::Open : Sort::Contact::Part, 1000.0 + (i % 10))
                ? 1
                : 0;
    const double feedNs = (ThreadCpuMs() - start) * 1e6 / calls;
    std::printf("sorting: one verdict %.0f ns, one reading shown to the part detector %.0f ns "
                "(checksum %d)\n",
                judgeNs, feedNs, sum);
}

struct PartTicks {
    std::vector<double> magnitudes; // the part's readings before its verdict, oldest first
    int verdicts = 0;
};

void Batch(const QString &simulator) {
    SimProcess meter;
    const QString batch =
        QStringLiteral("C=100n,R=0.5;count=%1;spread=3%;sit=5r;gap=2r;bounce=1r;seed=3").arg(Parts);
    if (!meter.start(simulator, {QStringLiteral("--batch"), batch})) {
        std::printf("sorting: the simulated meter did not start (%s)\n", qPrintable(simulator));
        return;
    }
    Device::ClearPortMappings();
    Device::MapPort(1, meter.path);
    Core::Session session;
    if (!session.Search().found) {
        std::printf("sorting: the search did not find the simulated meter\n");
        return;
    }
    session.SetCircuit(true);
    session.SetSortPlan(NestedPlan(), Sort::DetectorSettings{});
    session.SetSorting(true);
    std::vector<PartTicks> parts(1);
    std::vector<int> pollsAfterStable;
    int mismatched = 0;
    QEventLoop loop;
    QObject::connect(&session, &Core::Session::ticked, [&](const Core::TickResult &result) {
        if (result.accepted && result.counts())
            parts.back().magnitudes.push_back(Device::ParameterValues[Device::ValMagnitude]);
    });
    QObject::connect(&session, &Core::Session::partSorted, [&](const Sort::LogEntry &entry) {
        // The readings count as stable from the first of those within the detector's tolerance
        // of the one sorted on (which the tick reports after this).
        std::vector<double> z = parts.back().magnitudes;
        z.push_back(entry.reading.magnitude);
        int first = static_cast<int>(z.size()) - 1;
        while (first > 0 && std::abs(z[first - 1] / entry.reading.magnitude - 1.0) <= 2e-3)
            --first;
        pollsAfterStable.push_back(static_cast<int>(z.size()) - 1 - first);
        const double c = Sort::QuantityValue(entry.reading, Device::ParC);
        const double deviation = std::abs(c / 100e-9 - 1.0) * 100.0;
        const int byHand = deviation <= 1.0 ? 1 : deviation <= 2.0 ? 2 : deviation <= 5.0 ? 3 : 0;
        if (entry.verdict.code(false) != byHand) ++mismatched;
        parts.emplace_back();
        if (static_cast<int>(pollsAfterStable.size()) == Parts)
            QTimer::singleShot(2000, &loop, &QEventLoop::quit); // would a part count twice?
    });
    QTimer::singleShot(Parts * 2000, &loop, &QEventLoop::quit); // a generous bound
    QElapsedTimer clock;
    clock.start();
    session.StartPolling();
    loop.exec();
    session.Close();
    const int worst = pollsAfterStable.empty()
                          ? -1
                          : *std::max_element(pollsAfterStable.begin(), pollsAfterStable.end());
    std::printf("sorting a batch of %d parts (bouncing contacts, open gaps): %lld counted (goal "
                "%d), verdicts off the plan %d, polls from stable readings to the verdict: worst "
                "%d (goal 2 or fewer); %.1f s\n",
                Parts, static_cast<long long>(session.SortCounts().total()), Parts, mismatched,
                worst, clock.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    Costs();
    Batch(QStringLiteral(IMPEDIX_SIM_PATH));
    return 0;
}
