// The command lines of `library` and `fit`, and sweep's options of the library.
#include "cli/library_options.h"

#include "cli/fit_options.h"
#include "cli/fit_output.h"
#include "cli/invocation.h"
#include "cli/invocation_options.h"
#include "fit/circuit_models.h"

#include <QCommandLineParser>

namespace Cli {
namespace {

const QString LibraryUsage = QStringLiteral(
    "Usage: impedix-cli library list [--format csv|json]\n"
    "       impedix-cli library show ID [--format csv|json]\n"
    "       impedix-cli library export ID FILE [--as impedix|impedance|touchstone] [--semicolon]\n"
    "       impedix-cli library import FILE...\n"
    "       impedix-cli library delete ID...\n"
    "       impedix-cli library rename ID NAME\n"
    "       impedix-cli library note ID TEXT\n"
    "       impedix-cli library prune [--keep N] [--before DATE]\n"
    "\n"
    "The library keeps every sweep the window and 'impedix-cli sweep' finish (an interrupted one\n"
    "marked so), with its time, model, conditions and compensation. list prints them newest\n"
    "first; show prints one sweep's points as the sweep table (csv) or as JSON lines; export\n"
    "writes one as the program's sweep table, as a 'frequency,Re Z,Im Z' table (impedance) or\n"
    "as a Touchstone one-port file (touchstone; the default for a .s1p or .ts name); import\n"
    "keeps sweep files of any of these kinds; prune removes all but the newest N sweeps and\n"
    "those taken before DATE (YYYY-MM-DD, local time).\n"
    "Exit status: 0 done; 2 a mistake on the command line; 3 a file could not be written;\n"
    "6 a file could not be read (its line is named) or no sweep has that id; 7 the library\n"
    "cannot be used (another program's file, damaged, or of a newer Impedix: it is left\n"
    "as it is).\n\n");

const QString FitUsage = QStringLiteral(
    "Usage: impedix-cli fit (FILE | --id ID) [--model NAME|auto] [--format text|json]\n"
    "\n"
    "Fits a sweep to an equivalent circuit without a meter, with the fit of 'sweep --fit':\n"
    "a sweep file of any kind the library imports, or a kept sweep by its id. text prints\n"
    "the summary 'sweep --fit' prints on standard error; json the line it adds to its data.\n"
    "Exit status: 0 done; 2 a mistake on the command line or a run that is no frequency\n"
    "sweep; 6 the file could not be read (its line is named) or no sweep has that id; 7 the\n"
    "library cannot be used; 12 a poor fit; 13 no fit could be made.\n\n");

QString OptionsPart(const QCommandLineParser &parser) {
    const QString own = parser.helpText();
    const int options = own.indexOf(QLatin1String("Options:"));
    return options >= 0 ? own.mid(options) : own;
}

bool TakeId(const QString &text, qint64 &id, Invocation &invocation) {
    bool ok = false;
    id = text.toLongLong(&ok);
    if (ok && id > 0) return true;
    invocation.error = QStringLiteral("\"%1\" is no sweep id (a whole number from 1)").arg(text);
    return false;
}

bool TakeFormat(const QCommandLineParser &parser, const QStringList &names,
                Invocation &invocation) {
    if (!parser.isSet(QStringLiteral("format"))) return true;
    const QString format = parser.value(QStringLiteral("format"));
    if (format == QLatin1String("json")) {
        invocation.format = Format::Json;
    } else if (names.contains(format)) {
        invocation.format = Format::Csv;
    } else {
        invocation.error = QStringLiteral("--format takes %1 or json, not \"%2\"")
                               .arg(names.join(QStringLiteral(", ")), format);
        return false;
    }
    return true;
}

using Action = LibraryRequest::Action;

struct ActionShape {
    const char *name;
    Action action;
    int leastArguments; // after the action's name
    int mostArguments;  // -1: any number
};

const ActionShape Actions[] = {
    {"list", Action::List, 0, 0},      {"show", Action::Show, 1, 1},
    {"export", Action::Export, 2, 2},  {"import", Action::Import, 1, -1},
    {"delete", Action::Delete, 1, -1}, {"rename", Action::Rename, 2, 2},
    {"note", Action::Note, 2, 2},      {"prune", Action::Prune, 0, 0},
};

bool TakePrune(const QCommandLineParser &parser, Invocation &invocation) {
    Library::PruneRule &rule = invocation.library.prune;
    if (parser.isSet(QStringLiteral("keep"))) {
        bool ok = false;
        rule.keepNewest = parser.value(QStringLiteral("keep")).toInt(&ok);
        if (!ok || rule.keepNewest < 0) {
            invocation.error = QStringLiteral("--keep takes a whole number from 0, not \"%1\"")
                                   .arg(parser.value(QStringLiteral("keep")));
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("before"))) {
        const QDate date = QDate::fromString(parser.value(QStringLiteral("before")), Qt::ISODate);
        if (!date.isValid()) {
            invocation.error = QStringLiteral("--before takes a date as YYYY-MM-DD, not \"%1\"")
                                   .arg(parser.value(QStringLiteral("before")));
            return false;
        }
        rule.keepSince = date.startOfDay();
    }
    if (rule.keepNewest < 0 && !rule.keepSince.isValid()) {
        invocation.error = QStringLiteral("prune needs --keep N or --before DATE");
        return false;
    }
    return true;
}

bool TakeLibraryAction(const QCommandLineParser &parser, Invocation &invocation) {
    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        invocation.error = QStringLiteral("library needs an action: list, show, export, import, "
                                          "delete, rename, note or prune");
        return false;
    }
    const QString name = words.takeFirst();
    const ActionShape *shape = nullptr;
    for (const ActionShape &a : Actions)
        if (name == QLatin1String(a.name)) shape = &a;
    if (!shape) {
        invocation.error = QStringLiteral("unknown library action \"%1\"").arg(name);
        return false;
    }
    if (words.size() < shape->leastArguments ||
        (shape->mostArguments >= 0 && words.size() > shape->mostArguments)) {
        invocation.error = QStringLiteral("library %1: wrong number of arguments").arg(name);
        return false;
    }
    LibraryRequest &request = invocation.library;
    request.action = shape->action;
    switch (shape->action) {
    case Action::Import:
        request.files = words;
        return true;
    case Action::Prune:
        return TakePrune(parser, invocation);
    case Action::List:
        return true;
    case Action::Delete:
        for (const QString &word : words) {
            qint64 id = 0;
            if (!TakeId(word, id, invocation)) return false;
            request.ids << id;
        }
        return true;
    default:
        break;
    }
    qint64 id = 0;
    if (!TakeId(words.first(), id, invocation)) return false;
    request.ids << id;
    if (shape->action == Action::Export) request.files << words[1];
    if (shape->action == Action::Rename || shape->action == Action::Note) request.text = words[1];
    if (shape->action == Action::Export && parser.isSet(QStringLiteral("as"))) {
        request.exportAs = parser.value(QStringLiteral("as"));
        if (!QStringList{QStringLiteral("impedix"), QStringLiteral("impedance"),
                         QStringLiteral("touchstone")}
                 .contains(request.exportAs)) {
            invocation.error =
                QStringLiteral("--as takes impedix, impedance or touchstone, not \"%1\"")
                    .arg(request.exportAs);
            return false;
        }
    }
    request.semicolon = parser.isSet(QStringLiteral("semicolon"));
    return true;
}

void AddLibraryPath(QCommandLineParser &parser) {
    parser.addOption(Valued("library",
                            QStringLiteral("The library's file (default: %1).")
                                .arg(Library::SweepLibrary::DefaultPath()),
                            "PATH"));
}

// The parser's options, --help and the library's file first.
bool Parse(QCommandLineParser &parser, const QStringList &arguments, Invocation &invocation) {
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this text.")));
    AddLibraryPath(parser);
    if (!parser.parse(QStringList{QStringLiteral("impedix-cli")} + arguments)) {
        invocation.error = parser.errorText();
        return false;
    }
    invocation.help = parser.isSet(QStringLiteral("help"));
    invocation.keep.libraryPath = parser.value(QStringLiteral("library"));
    return !invocation.help;
}

} // namespace

QString KeepChoice::path() const {
    return libraryPath.isEmpty() ? Library::SweepLibrary::DefaultPath() : libraryPath;
}

void AddKeepOptions(QCommandLineParser &parser) {
    AddLibraryPath(parser);
    parser.addOption(QCommandLineOption(
        QStringLiteral("no-keep"),
        QStringLiteral("Do not keep the run in the library of sweeps (it is kept by default, "
                       "a demo meter's run only with --library; see impedix-cli library).")));
}

void TakeKeepOptions(const QCommandLineParser &parser, Invocation &invocation) {
    invocation.keep.libraryPath = parser.value(QStringLiteral("library"));
    invocation.keep.keep = !parser.isSet(QStringLiteral("no-keep"));
}

void ParseLibrary(const QStringList &arguments, Invocation &invocation) {
    QCommandLineParser parser;
    parser.addOption(
        Valued("format", "list and show: csv (the default) or json lines.", "csv|json"));
    parser.addOption(Valued("as", "export: the file's kind (default: by its name).",
                            "impedix|impedance|touchstone"));
    parser.addOption(QCommandLineOption(
        QStringLiteral("semicolon"),
        QStringLiteral("export as the sweep table: ';' between fields and ',' as the decimal "
                       "mark.")));
    parser.addOption(Valued("keep", "prune: keep the newest N sweeps.", "N"));
    parser.addOption(Valued("before", "prune: remove the sweeps taken before DATE.", "DATE"));
    const bool parsed = Parse(parser, arguments, invocation);
    invocation.helpText = LibraryUsage + OptionsPart(parser);
    if (!parsed) return;
    if (TakeFormat(parser, {QStringLiteral("csv")}, invocation))
        TakeLibraryAction(parser, invocation);
}

void ParseFit(const QStringList &arguments, Invocation &invocation) {
    QCommandLineParser parser;
    parser.addOption(Valued("id", "Fit the kept sweep ID instead of a file.", "ID"));
    parser.addOption(Valued("model",
                            QStringLiteral("The model: %1, or auto (the default) for the best, "
                                           "or a circuit string such as R0-p(R1,Q1) (series -, "
                                           "parallel p(a,b,...), elements R, C, L and Q, a "
                                           "constant-phase element).")
                                .arg(Fit::ModelNameList()),
                            "NAME|auto|CIRCUIT"));
    AddFitOptions(parser);
    parser.addOption(Valued("format", "text (the default) or json.", "text|json"));
    const bool parsed = Parse(parser, arguments, invocation);
    invocation.helpText = FitUsage + FitExitHelp() + OptionsPart(parser);
    if (!parsed || !TakeFormat(parser, {QStringLiteral("text")}, invocation)) return;
    const QStringList files = parser.positionalArguments();
    const bool byId = parser.isSet(QStringLiteral("id"));
    if (files.size() + (byId ? 1 : 0) != 1) {
        invocation.error = QStringLiteral("fit takes one sweep: a FILE or --id ID");
        return;
    }
    if (byId) {
        qint64 id = 0;
        if (!TakeId(parser.value(QStringLiteral("id")), id, invocation)) return;
        invocation.library.ids << id;
    } else {
        invocation.library.files = files;
    }
    const QString model = parser.isSet(QStringLiteral("model"))
                              ? parser.value(QStringLiteral("model"))
                              : QStringLiteral("auto");
    if (const QString why = Fit::FitNameError(model); !why.isEmpty()) {
        invocation.error = QStringLiteral("--model takes %1").arg(why);
        return;
    }
    if (!TakeFitOptions(parser, invocation.fitOptions, invocation.error)) return;
    invocation.fitModel = model;
}

} // namespace Cli
