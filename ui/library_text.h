// The library of kept sweeps in the window's words: a row of the list, why the library or a
// change of it was refused, why a file was not imported. Pure; short Russian texts.
#pragma once

#include "exchange/sweep_data.h"
#include "library/sweep_library.h"

#include <QString>

namespace Main {

// What a row of the library panel shows of a kept sweep.
struct LibraryRow {
    QString taken;  // local time, "10.12.2026 14:05:09"
    QString name;   // the kept name, or the file's for an import without one
    QString model;  // the meter's model, "—" when not known
    QString swept;  // "Частота 100 Hz … 100 kHz", "Смещение 0 … 1,5 В"
    QString points; // "51", "37, прерван" for a run stopped early
};
LibraryRow EntryRow(const Library::Entry &entry);
// What names a kept sweep in a legend: its row's name, else the time it was taken.
QString EntryTitle(const Library::Entry &entry);

// Why: "файл не является архивом Impedix", … (no full stop).
QString LibraryReason(const Library::Outcome &outcome);

// The one message for a library refused at start: the file, why, and that nothing is kept.
QString LibraryRefusedText(const Library::Outcome &outcome, const QString &path);

// The status line's note for a run that was not kept.
QString NotKeptText(const Library::Outcome &outcome);

// A change of the library that did not go through (rename, note, delete, import).
QString LibraryChangeText(const Library::Outcome &outcome);

// A file that could not be read as a sweep: its name and, when known, the line.
QString ImportRefusalText(const QString &path, const Exchange::Refusal &refusal);

} // namespace Main
