// Which frequencies a run visits: evenly spaced (the designed run), logarithmically spaced, or a
// list read from a text file or taken from the meter's own test frequencies.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

namespace Sweep {

enum class Spacing { Linear, Log, List };

// Point i of `points` at round(low * (high/low)^(i/(points-1))) Hz, in double; the last point is
// high exactly and points that round to the same hertz are all kept.
std::vector<std::int32_t> LogPlan(std::int32_t low, std::int32_t high, int points);

// The meter's test frequencies that lie within low..high, lowest first.
std::vector<std::int32_t> MeterListPlan(std::int32_t low, std::int32_t high);

// Why a list file was refused, for a front end that words it in its own language.
enum class ListRefusal {
    None,
    NotWhole,   // a line is not a whole number of hertz
    OutOfRange, // a frequency outside Main::SweepLowestHz … Main::SweepHighestHz
    TooMany,    // more than ListLongest frequencies
    TooFew,     // fewer than ListShortest
    NoFile,     // not found, or not a regular file
    TooLarge,   // larger than ListFileLargest
    Unreadable, // could not be opened; `reason` holds the system's text
    NotChosen,  // no file was given
};

// A frequency list file: one whole number of hertz per line, '#' starts a comment, blank lines
// are skipped. A refused file names its line (0 for the file as a whole) and the reason, in the
// window's language, and the refusal's kind.
struct ListFile {
    std::vector<std::int32_t> frequencies;
    int line = 0;
    QString reason; // empty when the list was taken
    ListRefusal refusal = ListRefusal::None;
    bool ok() const { return reason.isEmpty(); }
};

constexpr int ListLongest = 256; // a run holds this many points
constexpr int ListShortest = 2;  // and at least this many
constexpr qint64 ListFileLargest = 64 * 1024;

ListFile ReadFrequencyList(QIODevice &device);
ListFile ReadFrequencyListFile(const QString &path);

// "строка 3: …" or the reason alone when it concerns the whole file.
QString ListFileProblem(const ListFile &list);

} // namespace Sweep
