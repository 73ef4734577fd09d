#include "ui/library_text.h"

#include "sweep/frequency_ticks.h"
#include "ui/swept_quantity.h"

#include <QDir>
#include <QFileInfo>

namespace Main {

namespace {

QString SweptName(Sweep::Quantity quantity) {
    switch (quantity) {
    case Sweep::Quantity::Frequency:
        return QStringLiteral("Частота");
    case Sweep::Quantity::Bias:
        return QStringLiteral("Смещение");
    case Sweep::Quantity::Level:
        return QStringLiteral("Уровень");
    }
    return QString();
}

QString SpanText(const Library::Entry &entry) {
    if (entry.quantity == Sweep::Quantity::Frequency)
        return QStringLiteral("%1 … %2").arg(Sweep::FrequencyText(entry.firstPlanned),
                                             Sweep::FrequencyText(entry.lastPlanned));
    return QStringLiteral("%1 … %2").arg(VoltsText(entry.firstPlanned),
                                         VoltsText(entry.lastPlanned));
}

} // namespace

LibraryRow EntryRow(const Library::Entry &entry) {
    LibraryRow row;
    row.taken = entry.taken.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    row.name = entry.name;
    if (row.name.isEmpty() && entry.source != QLatin1String("run"))
        row.name = QFileInfo(entry.source).fileName();
    row.model = entry.model.isEmpty() ? QStringLiteral("—") : entry.model;
    row.swept = SweptName(entry.quantity) + QLatin1Char(' ') + SpanText(entry);
    row.points = entry.interrupted ? QStringLiteral("%1, прерван").arg(entry.pointCount)
                                   : QString::number(entry.pointCount);
    return row;
}

QString EntryTitle(const Library::Entry &entry) {
    const LibraryRow row = EntryRow(entry);
    return row.name.isEmpty() ? row.taken : row.name;
}

QString LibraryReason(const Library::Outcome &outcome) {
    using Library::Problem;
    switch (outcome.problem) {
    case Problem::None:
        return QString();
    case Problem::CannotOpen:
        return QStringLiteral("файл или его папку нельзя открыть");
    case Problem::NotALibrary:
        return QStringLiteral("файл не является архивом Impedix");
    case Problem::Damaged:
        return QStringLiteral("файл повреждён");
    case Problem::NewerVersion:
        return QStringLiteral("файл записан более новой версией программы");
    case Problem::WriteFailed:
        return QStringLiteral("запись в файл не удалась");
    case Problem::NoSuchSweep:
        return QStringLiteral("такого измерения в архиве нет");
    case Problem::NotOpen:
        return QStringLiteral("архив не открыт");
    }
    return QString();
}

QString LibraryRefusedText(const Library::Outcome &outcome, const QString &path) {
    return QStringLiteral("Архив измерений не открыт:\n%1\n\nПричина: %2. Файл оставлен как "
                          "есть; измерения в этом сеансе в архив не сохраняются.")
        .arg(QDir::toNativeSeparators(path), LibraryReason(outcome));
}

QString NotKeptText(const Library::Outcome &outcome) {
    return QStringLiteral("Измерение не сохранено в архив: %1").arg(LibraryReason(outcome));
}

QString LibraryChangeText(const Library::Outcome &outcome) {
    return QStringLiteral("Не выполнено: %1").arg(LibraryReason(outcome));
}

QString ImportRefusalText(const QString &path, const Exchange::Refusal &refusal) {
    const QString name = QFileInfo(path).fileName();
    if (refusal.line > 0)
        return QStringLiteral("Не импортирован: %1, строка %2: %3")
            .arg(name)
            .arg(refusal.line)
            .arg(refusal.reason);
    return QStringLiteral("Не импортирован: %1: %2").arg(name, refusal.reason);
}

} // namespace Main
