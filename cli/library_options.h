// The command line of the offline subcommands, `library` and `fit`, and the options by which
// `sweep` keeps its run in the library of kept sweeps.
#pragma once

#include "library/sweep_library.h"

#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace Cli {

struct Invocation;

// What `impedix-cli library` is asked to do.
struct LibraryRequest {
    enum class Action { None, List, Show, Export, Import, Delete, Rename, Note, Prune };
    Action action = Action::None;
    QList<qint64> ids;      // show, export, delete, rename, note: the sweep(s)
    QStringList files;      // import: the files; export: the one written
    QString text;           // rename: the name; note: the note
    QString exportAs;       // export: "impedix", "impedance" or "touchstone"; empty: by the name
    bool semicolon = false; // export as the program's table: the semicolon dialect
    Library::PruneRule prune;
};

// Where the library is and whether a sweep run is kept there.
struct KeepChoice {
    bool keep = true;    // sweep: keep the run (--no-keep: not)
    QString libraryPath; // empty: Library::SweepLibrary::DefaultPath()
    QString path() const;
};

// sweep's --library and --no-keep.
void AddKeepOptions(QCommandLineParser &parser);
void TakeKeepOptions(const QCommandLineParser &parser, Invocation &invocation);

// `library ACTION ...` and `fit FILE|--id ID`: the whole command line after the subcommand's
// name, its help text included; invocation.error when it is unusable.
void ParseLibrary(const QStringList &arguments, Invocation &invocation);
void ParseFit(const QStringList &arguments, Invocation &invocation);

} // namespace Cli
