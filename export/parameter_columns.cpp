// Textbook columns from the link's formulas for an impedance, and the raw columns beside them.
#include "export/parameter_columns.h"

#include <cmath>

#include "link/decoding.h"
#include "link/textbook_values.h"

#include <array>

namespace Export {

namespace {

struct Column {
    int index; // parameter index, as everywhere in the program
    const char *name;
    const char *unit; // empty for a ratio
};

// Z and F are not among them: they are the raw |Z| and the raw frequency. The bias is no
// quantity of the impedance; files that carry it have a column of their own.
constexpr std::array<Column, TextbookColumnCount> TextbookColumns{{
    {Device::ParC, "C", "F"},
    {Device::ParL, "L", "H"},
    {Device::ParR, "R", "Ohm"},
    {Device::ParG, "G", "S"},
    {Device::ParB, "B", "S"},
    {Device::ParX, "X", "Ohm"},
    {Device::ParY, "|Y|", "S"},
    {Device::ParD, "D", ""},
    {Device::ParQ, "Q", ""},
    {Device::ParFiz, "phase of Z", "deg"},
    {Device::ParFiy, "phase of Y", "deg"},
}};

} // namespace

QString TextbookName(int column) {
    return QString::fromLatin1(TextbookColumns.at(static_cast<std::size_t>(column)).name);
}

QString TextbookUnit(int column) {
    return QString::fromLatin1(TextbookColumns.at(static_cast<std::size_t>(column)).unit);
}

double TextbookColumnValue(const RawMeasurement &raw, int column) {
    const Device::TextbookValues values =
        Device::Textbook(raw.magnitude, raw.phase, static_cast<double>(raw.frequencyHz));
    return Device::TextbookParameter(
        values, TextbookColumns.at(static_cast<std::size_t>(column)).index, raw.seriesCircuit);
}

QStringList MeasuredHeaders() {
    QStringList headers;
    for (int c = 0; c < TextbookColumnCount; ++c)
        headers << (TextbookUnit(c).isEmpty()
                        ? TextbookName(c)
                        : QStringLiteral("%1 (%2)").arg(TextbookName(c), TextbookUnit(c)));
    headers << QStringLiteral("raw |Z| (Ohm)") << QStringLiteral("raw theta (rad)")
            << QStringLiteral("raw frequency (Hz)");
    return headers;
}

void AddMeasuredFields(CsvWriter &csv, const RawMeasurement &raw, bool measured) {
    const Device::TextbookValues values =
        Device::Textbook(raw.magnitude, raw.phase, static_cast<double>(raw.frequencyHz));
    for (const Column &column : TextbookColumns) {
        if (measured)
            csv.addMeasured(Device::TextbookParameter(values, column.index, raw.seriesCircuit));
        else
            csv.addEmpty();
    }
    const bool corrected = std::isfinite(raw.frameMagnitude) && std::isfinite(raw.framePhase);
    csv.addMeasured(static_cast<double>(corrected ? raw.frameMagnitude : raw.magnitude));
    csv.addMeasured(static_cast<double>(corrected ? raw.framePhase : raw.phase));
    csv.addInteger(raw.frequencyHz);
}

} // namespace Export
