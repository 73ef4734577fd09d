// Textbook columns from the link's formulas for an impedance, and the raw columns beside them.
#include "export/parameter_columns.h"

#include "link/decoding.h"
#include "link/textbook_values.h"

#include <array>

namespace Export {

namespace {

struct Column {
    int index; // parameter index, as everywhere in the program
    const char *header;
};

// Z and F are not among them: they are the raw |Z| and the raw frequency. The bias is no
// quantity of the impedance; files that carry it have a column of their own.
constexpr std::array<Column, 11> TextbookColumns{{
    {Device::ParC, "C (F)"},
    {Device::ParL, "L (H)"},
    {Device::ParR, "R (Ohm)"},
    {Device::ParG, "G (S)"},
    {Device::ParB, "B (S)"},
    {Device::ParX, "X (Ohm)"},
    {Device::ParY, "|Y| (S)"},
    {Device::ParD, "D"},
    {Device::ParQ, "Q"},
    {Device::ParFiz, "phase of Z (deg)"},
    {Device::ParFiy, "phase of Y (deg)"},
}};

} // namespace

QStringList MeasuredHeaders() {
    QStringList headers;
    for (const Column &column : TextbookColumns)
        headers << QString::fromLatin1(column.header);
    headers << QStringLiteral("raw |Z| (Ohm)") << QStringLiteral("raw theta (rad)")
            << QStringLiteral("raw frequency (Hz)");
    return headers;
}

void AddMeasuredFields(CsvWriter &csv, const RawMeasurement &raw) {
    const Device::TextbookValues values =
        Device::Textbook(raw.magnitude, raw.phase, static_cast<double>(raw.frequencyHz));
    for (const Column &column : TextbookColumns)
        csv.addMeasured(Device::TextbookParameter(values, column.index, raw.seriesCircuit));
    csv.addMeasured(static_cast<double>(raw.magnitude));
    csv.addMeasured(static_cast<double>(raw.phase));
    csv.addInteger(raw.frequencyHz);
}

} // namespace Export
