// A sweep file of any format the program reads, told apart by its content.
#pragma once

#include "exchange/sweep_data.h"

#include <QByteArray>
#include <QString>

namespace Exchange {

enum class SweepFileFormat { ImpedixCsv, ImpedanceCsv, Touchstone };

// Touchstone for a ".s1p" or ".ts" name or a first non-blank line opening with "#" or "!"; the
// program's table by its header; else the plain impedance table.
SweepFileFormat DetectFormat(const QString &fileName, const QByteArray &text);

// "Touchstone", "Impedix sweep CSV", "frequency,Re Z,Im Z CSV".
QString FormatName(SweepFileFormat format);

// The file read in the format DetectFormat gives; a refusal's reason names that format.
ReadResult ReadAnySweepFile(const QString &path);

} // namespace Exchange
