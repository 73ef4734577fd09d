// The averaging run and the table correction of D.
#include "link/calibration.h"

#include "link/calibration_table.h"
#include "link/measurement.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

namespace Device {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Sign, digits with at most one decimal mark (at least one digit), optional exponent; blanks
// around the number are allowed, nothing else.
bool IsDecimalNumber(const std::string &s, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    if (i < end && (s[i] == '+' || s[i] == '-')) ++i;
    int digits = 0;
    while (i < end && IsDigit(s[i]))
        ++i, ++digits;
    if (i < end && s[i] == '.') {
        ++i;
        while (i < end && IsDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < end && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < end && (s[i] == '+' || s[i] == '-')) ++i;
        if (i == end || !IsDigit(s[i])) return false;
        while (i < end && IsDigit(s[i]))
            ++i;
    }
    return i == end;
}

} // namespace

bool SetAveragingCount(const QString &text) {
    bool ok = false;
    const int count = text.trimmed().toInt(&ok, 10);
    ClbAverageValid = ok;
    if (ok) ClbAverageCount = count;
    return ok;
}

void ResetCalibration() {
    ClbSum = 0.0f;
    ClbSampleCount = 0.0f;
    ClbDone = false;
    ClbMeanReady = false;
}

bool StartCalibrationRun() {
    if (ClbStage != ClbIdle) return false;
    ResetCalibration();
    ClbStage = ClbRunning;
    ClbArmed = true;
    return true;
}

void AdvanceCalibrationRun(float d) {
    // A count that is not a whole number leaves this value uncounted and the run as it is.
    if (ClbStage == ClbRunning && ClbArmed && ClbAverageValid) {
        const float n = static_cast<float>(ClbAverageCount);
        if (n > ClbSampleCount) ClbSum = ClbSum + d;
        ClbSampleCount = ClbSampleCount + 1.0f;
        if (n == ClbSampleCount) {
            ClbSum = ClbSum / n;
            ClbDone = true;
        }
    }
    if (ClbDone) {
        ClbDone = false;
        ClbSampleCount = 0.0f;
        ClbArmed = false;
        ClbStage = ClbIdle;
        ClbMeanReady = true;
    }
}

float LookupDCorrection() {
    return ClbTable().CorrectionFor(LastCapacitance);
}

void ConvertDecimalMark(QString &text) {
    text.replace(QLatin1Char('.'), QLatin1Char(','));
}

bool ReadCalibrationNumber(const QString &text, float *value) {
    QString marked = text;
    ConvertDecimalMark(marked);
    // Anything outside Latin-1 cannot belong to a number; toLatin1 turns it into '?'.
    std::string s = marked.toLatin1().toStdString();
    for (char &c : s)
        if (c == ',') c = '.';
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && s[begin] == ' ')
        ++begin;
    while (end > begin && s[end - 1] == ' ')
        --end;
    if (!IsDecimalNumber(s, begin, end)) return false;
    // from_chars takes no leading '+'.
    if (s[begin] == '+') ++begin;
    double number = 0.0;
    const auto result = std::from_chars(s.data() + begin, s.data() + end, number);
    if (result.ec != std::errc() || result.ptr != s.data() + end) return false;
    if (!(std::fabs(number) <= static_cast<double>(FLT_MAX))) return false;
    *value = static_cast<float>(number);
    return true;
}

} // namespace Device
