// JSON lines written by hand: the keys keep their order, and each number has the shortest digits
// that read back to it.
#include "cli/records.h"

#include "compensation/correction.h"
#include "export/csv.h"
#include "link/decoding.h"
#include "link/measurement.h"
#include "link/textbook_values.h"
#include "sweep/sweep_store.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace Cli {

namespace {

constexpr double RadiansPerDegree = 0.017453292519943295;

// Keys of the twelve quantities of an impedance, in the program's parameter order (0 C … 11 Fiy).
constexpr const char *QuantityKeys[] = {"C_F", "L_H",   "R_ohm",       "G_S",
                                        "B_S", "X_ohm", "Z_ohm",       "Y_S",
                                        "D",   "Q",     "phase_z_deg", "phase_y_deg"};
constexpr int QuantityCount = static_cast<int>(sizeof QuantityKeys / sizeof *QuantityKeys);

class JsonLine {
public:
    void text(const char *key, const QString &value) {
        const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        raw(key, array.mid(1, array.size() - 2)); // the string without the array's brackets
    }
    void number(const char *key, double value) {
        raw(key, std::isfinite(value) ? Export::FormatNumber(value).toLatin1() : "null");
    }
    // A single-precision value with the digits it carries, not those of its double.
    void single(const char *key, float value) {
        raw(key, std::isfinite(value) ? Export::FormatScaled(value, 0).toLatin1() : "null");
    }
    void integer(const char *key, qint64 value) { raw(key, QByteArray::number(value)); }
    // A value computed from single-precision measurements, with the digits they carry.
    void measured(const char *key, double value) {
        raw(key, std::isfinite(value) ? Export::FormatMeasured(value).toLatin1() : "null");
    }

    void quantities(const Device::TextbookValues &values, bool series, bool measured = true) {
        for (int index = 0; index < QuantityCount; ++index)
            number(QuantityKeys[index],
                   measured ? Device::TextbookParameter(values, index, series) : std::nan(""));
    }

    QByteArray finish() { return m_line + "}\n"; }

private:
    void raw(const char *key, const QByteArray &value) {
        m_line += m_line.size() > 1 ? "," : "";
        m_line += '"' + QByteArray(key) + "\":" + value;
    }
    QByteArray m_line = "{";
};

} // namespace

Reading LastReading(const QString &time, double elapsedSeconds, const QString &range) {
    Reading reading;
    reading.time = time;
    reading.elapsedSeconds = elapsedSeconds;
    reading.frame = Export::LastFrame();
    reading.frame.range = range;
    reading.magnitude = Device::ParameterValues[Device::ValMagnitude];
    reading.phase = Device::ParameterValues[Device::ValPhase];
    return reading;
}

QByteArray ReadingJson(const Reading &reading) {
    const Export::FrameRecord &frame = reading.frame;
    JsonLine line;
    line.text("time", reading.time);
    line.number("elapsed_s", reading.elapsedSeconds);
    line.text("model", frame.model);
    line.integer("frequency_hz", frame.frequencyHz);
    line.number("bias_v", frame.biasMillivolts / 1000.0);
    line.text("range", frame.range);
    line.text("circuit",
              frame.seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
    line.quantities(Device::Textbook(reading.magnitude, reading.phase, frame.frequencyHz),
                    frame.seriesCircuit);
    // The frame's own impedance; NaN in the record: no correction replaced it.
    const bool corrected = !std::isnan(frame.frameMagnitude);
    line.single("z_magnitude_ohm", corrected ? frame.frameMagnitude : reading.magnitude);
    line.single("z_angle_rad", corrected ? frame.framePhase : reading.phase);
    line.integer("connection", frame.connection);
    line.text("correction", frame.correction);
    return line.finish();
}

QString CorrectionText(unsigned flags) {
    return Comp::CorrectionName(flags & ~Main::CorrectionOutside,
                                (flags & Main::CorrectionOutside) != 0);
}

QByteArray SweepJson(const Main::SweepVariables &store, bool seriesCircuit) {
    QByteArray text;
    const int taken = Main::TakenSweepPoints(store);
    for (int i = 0; i < taken; ++i) {
        // What the point's frame reported: |Z| in ohms, the angle in radians, its frequency.
        const float magnitude = store.SweepMagnitudes[i];
        const float radians = store.SweepPhases[i];
        const unsigned correction = store.SweepCorrections[i];
        const bool corrected = (correction & ~Main::CorrectionOutside) != 0;
        const std::int32_t reported = store.SweepReportedFrequencies[i];
        const bool measured = Main::PointMeasured(store, i);
        JsonLine line;
        line.integer("point", i + 1);
        line.number("frequency_hz", store.SweepFrequencies[i]);
        // A run over the bias or the level: its point's setting, and for the bias the frame's.
        if (store.SweepQuantity == Sweep::Quantity::Bias) {
            line.number("bias_v", Main::PlannedAxisValue(store, i));
            line.number("reported_bias_v", store.SweepReportedBiases[i] / 1000.0);
        } else if (store.SweepQuantity == Sweep::Quantity::Level) {
            line.number("level_v", Main::PlannedAxisValue(store, i));
        }
        line.text("circuit", seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
        // A point that is no measurement at its planned conditions keeps only what was sent.
        line.quantities(measured ? Device::Textbook(magnitude, radians, reported)
                                 : Device::TextbookValues{},
                        seriesCircuit, measured);
        line.single("z_magnitude_ohm", corrected ? store.SweepFrameMagnitudes[i] : magnitude);
        line.single("z_angle_deg",
                    static_cast<float>((corrected ? store.SweepFramePhases[i] : radians) /
                                       RadiansPerDegree));
        line.integer("reported_frequency_hz", reported);
        line.integer("status", store.SweepStatuses[i]);
        line.integer("connection", store.SweepConnections[i]);
        line.text("correction", CorrectionText(correction));
        text += line.finish();
    }
    return text;
}

QByteArray SortedPartJson(const Sort::Plan &plan, const Sort::LogEntry &entry, qint64 part) {
    Sort::Reading reading = entry.reading;
    reading.seriesCircuit = plan.seriesCircuit.value_or(reading.seriesCircuit);
    JsonLine line;
    line.text("time", entry.time.toUTC().toString(Qt::ISODateWithMs));
    line.integer("part", part);
    line.text("primary", Sort::QuantityName(plan.primary));
    line.text("primary_unit", Sort::QuantityUnit(plan.primary));
    line.measured("primary_value", Sort::QuantityValue(reading, plan.primary));
    line.text("secondary", Sort::QuantityName(plan.secondary));
    line.text("secondary_unit", Sort::QuantityUnit(plan.secondary));
    line.measured("secondary_value", Sort::QuantityValue(reading, plan.secondary));
    line.text("verdict", Sort::VerdictWords(entry.verdict));
    line.integer("bin", entry.verdict.code(plan.auxBin));
    line.text("sorted_by", entry.onDemand ? QStringLiteral("demand") : QStringLiteral("contact"));
    line.measured("z_magnitude_ohm", reading.magnitude);
    line.measured("z_angle_rad", reading.phase);
    line.integer("frequency_hz", qRound64(reading.frequencyHz));
    line.text("circuit",
              reading.seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
    line.integer("connection", entry.connection);
    return line.finish();
}

} // namespace Cli
