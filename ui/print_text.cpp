#include "ui/print_text.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace Main {

namespace {

const QString Separator = QStringLiteral("  ·  ");

QString Number(double value) {
    QLocale russian(QLocale::Russian);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    return russian.toString(value, 'g', 6);
}

// Volts with millivolts below one volt: "1 В", "500 мВ", "1,25 В".
QString Volts(double volts) {
    if (volts != 0.0 && std::fabs(volts) < 1.0)
        return Number(volts * 1000.0) + QStringLiteral(" мВ");
    return Number(volts) + QStringLiteral(" В");
}

QString Conditions(const Library::Conditions &c) {
    QStringList parts;
    if (std::isfinite(c.levelVolts)) parts << QStringLiteral("уровень ") + Volts(c.levelVolts);
    if (c.biasExternal)
        parts << QStringLiteral("смещение внешнее");
    else if (std::isfinite(c.biasVolts))
        parts << QStringLiteral("смещение ") + Volts(c.biasVolts);
    if (c.range == QLatin1String("auto"))
        parts << QStringLiteral("диапазон авто");
    else if (!c.range.isEmpty())
        parts << QStringLiteral("диапазон ") + c.range;
    if (c.speed == QLatin1String("normal"))
        parts << QStringLiteral("скорость норм.");
    else if (c.speed == QLatin1String("fast"))
        parts << QStringLiteral("скорость быстр.");
    if (c.circuit == QLatin1String("series"))
        parts << QStringLiteral("схема послед.");
    else if (c.circuit == QLatin1String("parallel"))
        parts << QStringLiteral("схема паралл.");
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString PrintTitle(const PrintFacts &facts) {
    QStringList parts;
    if (facts.when.isValid())
        parts << facts.when.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    if (!facts.model.isEmpty()) parts << facts.model;
    const QString conditions = Conditions(facts.conditions);
    if (!conditions.isEmpty()) parts << conditions;
    QStringList quantities;
    for (const QString &q : facts.quantities)
        if (!q.trimmed().isEmpty()) quantities << q.trimmed();
    if (!quantities.isEmpty()) parts << quantities.join(QStringLiteral(", "));
    return parts.join(Separator);
}

QList<PrintPreset> PrintPresets() {
    return {{QStringLiteral("Экран 1600 × 1000"), DefaultPrintSize},
            {QStringLiteral("A4, 300 dpi: 3300 × 2100"), QSize(3300, 2100)},
            {QStringLiteral("A5, 300 dpi: 2400 × 1600"), QSize(2400, 1600)},
            {QStringLiteral("Слайд 1920 × 1080"), QSize(1920, 1080)}};
}

QSize UsablePrintSize(const QSize &size) {
    const auto usable = [](int side) {
        return side >= LeastPrintSide && side <= GreatestPrintSide;
    };
    return usable(size.width()) && usable(size.height()) ? size : DefaultPrintSize;
}

PrintLayout PrintGeometry(const QSize &pixels, int lineHeight) {
    PrintLayout layout;
    const QSize size = UsablePrintSize(pixels);
    layout.scale = std::max(1.0, double(size.width()) / PrintLayoutWidth);
    layout.layout = QSize(int(std::lround(size.width() / layout.scale)),
                          int(std::lround(size.height() / layout.scale)));
    layout.titleHeight = std::min(2 * std::max(lineHeight, 1), layout.layout.height() / 4);
    return layout;
}

} // namespace Main
