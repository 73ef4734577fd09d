// A batch of parts put into the fixture one after another, with open contacts between them: what
// the parts are (a part whose C, L or R varies from one to the next, drawn from a normal spread
// or given as a list), how many, and how long each sits in the contacts, bounces on entering
// and stays out. Its text form, as --batch takes it, and the drawing of its values.
#pragma once

#include "sim/component.h"

#include <QList>
#include <QString>

#include <optional>

namespace Sim {

// What the batch's durations count: milliseconds of a steady clock from the first measurement
// request, or measurement requests (the first one is at 0).
enum class BatchClock { Milliseconds, Requests };

// The element that varies from part to part.
enum class BatchElement { Capacitance, Inductance, Resistance };

struct BatchPlan {
    Component part;             // the base part; its network comes from --circuit or --parallel
    QList<double> values;       // the varied element's values in order; empty: drawn
    int count = 0;              // parts (values.size() when values are given)
    double spreadPercent = 0.0; // standard deviation of the drawn values, % of the base value
    quint32 seed = 1;           // of the drawing, so that a batch repeats
    BatchClock clock = BatchClock::Milliseconds;
    qint64 sit = 400;  // each part lies in the contacts this long
    qint64 gap = 200;  // then the contacts are open this long
    qint64 bounce = 0; // the first part of sit in which the part reads BounceFactor off
};

// A bouncing contact reads the varied element at this fraction of its value (30 % low).
constexpr double BounceFactor = 0.7;

// The first of C, L and R that the part has; nothing when it has none of them.
std::optional<BatchElement> variedElement(const Component &part);
QString elementName(BatchElement element);
double elementValue(const Component &part, BatchElement element);
void setElementValue(Component *part, BatchElement element, double value);

// The plan's parts in order: the given values, or count values drawn around the base value
// with the seed (a draw not above 0 is drawn again). Empty when the part varies nothing.
QList<double> drawBatchValues(const BatchPlan &plan);

// "C=100n,R=0.5;count=200;spread=3%;sit=400;gap=200;bounce=30;seed=5": fields separated by
// semicolons, empty ones skipped. The one field that is none of the settings below is the
// part, as --dut takes it; it needs C, L or R, and the first of them it has varies.
//   count=N            parts, 1 to 1000000
//   values=V1,V2,...   the varied element's values instead (above 0, at most 1000000); then
//                      without count= and spread=
//   spread=P or P%     standard deviation in % of the base value, 0 to 30 (default 0)
//   seed=N             of the drawing (default 1)
//   sit=D, gap=D, bounce=D
//                      D is milliseconds (400 or 400ms) or measurement requests (10r); all
//                      given in one unit. sit 1 to 3600000 (default 400 ms or 10 r), gap 0 to
//                      3600000 (default 200 ms or 5 r), bounce below sit (default 0)
// On failure error receives a one-line reason.
std::optional<BatchPlan> parseBatchPlan(const QString &text, QString *error = nullptr);

} // namespace Sim
