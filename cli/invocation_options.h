// Pieces of the command line shared by the subcommands' parsers: options with a value, the test
// conditions of measure and sort, and the data output's options.
#pragma once

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace Cli {

QCommandLineOption Valued(const char *name, const char *description, const char *value);
QCommandLineOption Valued(const char *name, const QString &description, const char *value);

// "a, b or c", each value as a plain number.
template <typename Values> QString Choices(const Values &values, double unit) {
    QStringList texts;
    for (const auto value : values)
        texts << QString::number(double(value) / unit, 'g', 12);
    const QString last = texts.takeLast();
    return texts.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// The test conditions of measure and sort: --frequency, --bias, --level, --speed, --range,
// --circuit.
void AddConditions(QCommandLineParser &parser);
// --format, --output and --accept-reconnections.
void AddOutput(QCommandLineParser &parser);

} // namespace Cli
