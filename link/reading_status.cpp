// The judgement of one accepted frame against the model and the conditions asked for.
#include "link/reading_status.h"

#include <cmath>
#include <cstdlib>

namespace Device {

namespace {

constexpr double RangeHeadroom = 10.0; // the highest range measures up to ten times its value
constexpr double QuarterTurn = 3.14159265358979323846 / 2.0;

} // namespace

double HighestMeasurableOhms(const Capabilities &capabilities) {
    double highest = 0.0;
    for (double ohms : capabilities.rangeOhms)
        highest = std::max(highest, ohms);
    return highest * RangeHeadroom;
}

ReadingStatus JudgeFrame(const FrameFacts &frame, const RequestedConditions &requested,
                         const Capabilities &capabilities) {
    if (frame.biasMillivolts > capabilities.highestBiasMillivolts ||
        frame.biasMillivolts < capabilities.lowestBiasMillivolts)
        return ReadingStatus::BiasBeyondModel;
    if (!std::isfinite(frame.magnitude) || frame.magnitude < 0.0f ||
        frame.magnitude > HighestMeasurableOhms(capabilities))
        return ReadingStatus::Overload;
    if (!std::isfinite(frame.phase) ||
        std::fabs(static_cast<double>(frame.phase)) > QuarterTurn + PhaseToleranceRadians)
        return ReadingStatus::ImpossiblePhase;
    if (requested.frequencyHz != 0 && frame.frequencyHz != requested.frequencyHz)
        return ReadingStatus::OtherFrequency;
    if (requested.biasSent && !(requested.biasSourceSent && requested.biasExternal) &&
        std::abs(frame.biasMillivolts - requested.biasMillivolts) >
            std::max(capabilities.biasStepMillivolts, 1))
        return ReadingStatus::OtherBias;
    return ReadingStatus::Normal;
}

QString StatusWords(ReadingStatus status) {
    switch (status) {
    case ReadingStatus::Normal:
        return QStringLiteral("normal");
    case ReadingStatus::NoData:
        return QStringLiteral("no data");
    case ReadingStatus::Overload:
        return QStringLiteral("|Z| beyond the ranges");
    case ReadingStatus::OtherFrequency:
        return QStringLiteral("another frequency than the one set");
    case ReadingStatus::OtherBias:
        return QStringLiteral("another bias than the one set");
    case ReadingStatus::BiasBeyondModel:
        return QStringLiteral("a bias beyond the model's");
    case ReadingStatus::ImpossiblePhase:
        return QStringLiteral("an angle no passive part gives");
    case ReadingStatus::Stale:
        return QStringLiteral("asked before the conditions were set");
    }
    return QString();
}

} // namespace Device
