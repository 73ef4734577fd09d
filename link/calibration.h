// The D calibration inside the computation of D: the averaging run over N values of D and the
// correction looked up in the calibration table for the last measured capacitance.
#pragma once

#include <QString>

namespace Device {

// The averaging run and what the window hands over for it.
struct CalibrationVariables {
    int ClbStage = 0;            // 0: idle, 2: an averaging run is in progress
    bool ClbArmed = false;       // set and cleared together with ClbStage 2
    float ClbSum = 0.0f;         // sum of the counted values; their mean once the run is done
    float ClbSampleCount = 0.0f; // values seen in the run
    bool ClbDone = false;        // the run has reached its count, until it is closed
    bool ClbMeanReady = false;   // ClbSum holds the mean of the last finished run
    int ClbAverageCount = 5;     // N, the number in the averaging field
    bool ClbAverageValid = true; // the averaging field holds a whole number
    QString CalibrationFilePath = QStringLiteral("DataBase.txt"); // the table's file
};
extern CalibrationVariables CalibrationState;

inline int &ClbStage = CalibrationState.ClbStage;
inline bool &ClbArmed = CalibrationState.ClbArmed;
inline float &ClbSum = CalibrationState.ClbSum;
inline float &ClbSampleCount = CalibrationState.ClbSampleCount;
inline bool &ClbDone = CalibrationState.ClbDone;
inline bool &ClbMeanReady = CalibrationState.ClbMeanReady;
inline int &ClbAverageCount = CalibrationState.ClbAverageCount;
inline bool &ClbAverageValid = CalibrationState.ClbAverageValid;
inline QString &CalibrationFilePath = CalibrationState.CalibrationFilePath;

constexpr int ClbIdle = 0;
constexpr int ClbRunning = 2;

// Takes the text of the averaging field; read at every value of a run. Returns whether it is a
// whole number. While it is not, values are not counted and the run stays in progress.
bool SetAveragingCount(const QString &text);

// Clears the sum, the count and the done flag (and the mean of the last run).
void ResetCalibration();
// Starts an averaging run; false (and nothing changes) while one is in progress.
bool StartCalibrationRun();

// Runs once per valid frame (AcceptMeasurement, after the parameters) with the uncorrected D:
// counts it into a run in progress and closes the run when it reaches its count.
void AdvanceCalibrationRun(float d);
// The correction to add to D for LastCapacitance: the first table row whose bounds hold it.
float LookupDCorrection();

// Replaces every "." of text by ",".
void ConvertDecimalMark(QString &text);
// Reads a cell of the table as a number with "," (or ".") as the decimal mark, rounded to
// single precision. False for text that is not a number or lies beyond single precision.
bool ReadCalibrationNumber(const QString &text, float *value);

} // namespace Device
