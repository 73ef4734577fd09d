// What one client keeps of its own between commands: its status registers, its choice of
// function, trigger and averaging with the readings it has seen, its list, its sweep plan and the
// options of its fits.
// Plain data: the command groups and the client's view of the meter read and write it.
#pragma once

#include "remote/instrument.h"

#include "fit/circuit_fit.h"

#include <QVector>

#include <cstdint>
#include <deque>

namespace Remote {

constexpr int SilenceMs = 2000; // no frame for this long: no data, -230
constexpr int MaxAveraging = 256;
constexpr int MaxListPoints = 201;

enum class TriggerSource { Internal, Bus, Hold, External };
enum class ListMode { Sequence, Step };

struct Measurement {
    bool valid = false;
    Reading reading;
};

struct StatusState {
    int eventEnable = 0;
    int serviceEnable = 0; // *SRE
    int operationEvent = 0;
    int operationEnable = 0;
    int questionableEvent = 0;
    int questionableEnable = 0;
    bool runSeen = false; // a run went when the client last looked
    bool lineSeen = true; // the line was ready when the client last looked
    bool opcArmed = false;
    std::int64_t opcSince = 0;
};

struct MeasureState {
    TriggerSource triggerSource = TriggerSource::Internal;
    bool continuous = true;
    int function = 0;
    int aperture = 1; // 0 SHORt, 1 MEDium, 2 LONG
    int averaging = 1;
    std::uint64_t changeSequence = 0;   // readings up to this one came before the last change
    std::uint64_t changeConditions = 0; // and readings under an older condition set, too
    std::int64_t changeTime = 0;
    std::deque<Reading> recent;   // the newest readings seen, at most MaxAveraging
    std::uint32_t connection = 0; // the meter's connection when last looked at
    std::uint64_t biasLosses = 0; // the instrument's biasNotRestoredCount() when last looked at
    std::int64_t lastReadingTime = 0;
    bool triggerActive = false;
    std::uint64_t triggerSequence = 0;
    std::uint64_t triggerConditions = 0; // the trigger's readings are under these or newer
    std::int64_t triggerTime = 0;
    QVector<Reading> triggered;
    Measurement triggerResult;
    bool haveTriggerResult = false;
};

// The list is one quantity's, the one last set: frequencies (Hz), or bias or level values (mV).
struct ListPlan {
    bool page = false;
    ListMode mode = ListMode::Sequence;
    SweptQuantity quantity = SweptQuantity::Frequency;
    QVector<std::int32_t> frequencies;
    QVector<std::int32_t> millivolts;
    const QVector<std::int32_t> &values() const {
        return quantity == SweptQuantity::Frequency ? frequencies : millivolts;
    }
    std::uint64_t run = 0;
    int runStep = -1; // the point a STEP run measures, -1 for a whole run
    bool runCollected = true;
    int stepIndex = 0;
    QVector<ListPoint> stepPoints;
    bool settingHeld = false; // a bias or level step of this client left its setting on the meter
    std::int64_t since = 0;
};

// SWE:STAR, STOP, POIN and SPAC make the list the plan's frequencies.
struct SweepPlanState {
    bool log = false;
    std::int32_t start = 100;   // Hz
    std::int32_t stop = 100000; // Hz
    int points = 10;
    bool planned = false; // the list is the plan's (LIST:FREQ gives it its own)
};

// The client's compensation: its spot frequency, the standard's form it names, the run it started.
struct CorrectionPlan {
    std::int32_t spotHz = 1000;
    StandardValue::Form loadForm = StandardValue::Form::ResistanceReactance;
    std::uint64_t run = 0;
    bool runCollected = true;
    bool stopped = false; // the client ended its run itself: no error for it
};

// FIT:WEIGht, FIT:FIX and FIT:BOUNd: what the client's FIT? uses, until changed or *RST.
constexpr int MaxFitSteering = 16; // fixed and bounded keys together

struct ClientState {
    StatusState status;
    MeasureState measure;
    ListPlan list;
    SweepPlanState sweep;
    CorrectionPlan correction;
    std::uint64_t sortingBatch = 0; // the batch this client switched on last
    Fit::FitOptions fit;
};

} // namespace Remote
