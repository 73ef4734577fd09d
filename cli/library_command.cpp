// impedix-cli library and fit: the kept sweeps and sweep files, without a meter.
#include "cli/commands.h"
#include "cli/fit_output.h"
#include "cli/records.h"
#include "exchange/any_file.h"
#include "exchange/impedance_csv.h"
#include "exchange/impedix_csv.h"
#include "exchange/touchstone.h"
#include "export/csv.h"
#include "fit/circuit_fit.h"
#include "sweep/quantity_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstdio>

namespace Cli {
namespace {

using Action = LibraryRequest::Action;

bool Print(const QByteArray &text) {
    return std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout) ==
               std::size_t(text.size()) &&
           std::fflush(stdout) == 0;
}

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonObject EntryJson(const Library::Entry &e) {
    const Library::Conditions &c = e.conditions;
    return QJsonObject{
        {QStringLiteral("id"), e.id},
        {QStringLiteral("taken"), e.taken.toString(Qt::ISODateWithMs)},
        {QStringLiteral("name"), e.name},
        {QStringLiteral("note"), e.note},
        {QStringLiteral("model"), e.model},
        {QStringLiteral("swept"), Sweep::QuantityName(e.quantity)},
        {QStringLiteral("points"), e.pointCount},
        {QStringLiteral("interrupted"), e.interrupted},
        {QStringLiteral("source"), e.source},
        {QStringLiteral("first_planned"), Number(e.firstPlanned)},
        {QStringLiteral("last_planned"), Number(e.lastPlanned)},
        {QStringLiteral("level_v"), Number(c.levelVolts)},
        {QStringLiteral("bias_v"), Number(c.biasVolts)},
        {QStringLiteral("bias_external"), c.biasExternal},
        {QStringLiteral("range"), c.range},
        {QStringLiteral("speed"), c.speed},
        {QStringLiteral("circuit"), c.circuit},
        {QStringLiteral("compensation"), c.compensation},
    };
}

QByteArray JsonLine(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray ListCsv(const QVector<Library::Entry> &entries) {
    const QChar comma = QLatin1Char(',');
    QString text = QStringLiteral("id,taken,name,model,swept,points,interrupted,first planned,"
                                  "last planned,source,note\n");
    for (const Library::Entry &e : entries)
        text += QStringList{QString::number(e.id),
                            e.taken.toString(Qt::ISODateWithMs),
                            Export::QuoteField(e.name, comma),
                            Export::QuoteField(e.model, comma),
                            Sweep::QuantityName(e.quantity),
                            QString::number(e.pointCount),
                            e.interrupted ? QStringLiteral("yes") : QStringLiteral("no"),
                            Export::FormatNumber(e.firstPlanned),
                            Export::FormatNumber(e.lastPlanned),
                            Export::QuoteField(e.source, comma),
                            Export::QuoteField(e.note, comma)}
                    .join(comma) +
                QLatin1Char('\n');
    return text.toUtf8();
}

// The library's refusal said, with the exit status it ends in.
int Refused(const Library::Outcome &outcome, const QString &path) {
    Complain(Library::Describe(outcome, path));
    switch (outcome.problem) {
    case Library::Problem::NoSuchSweep:
        return ExitBadInput;
    case Library::Problem::WriteFailed:
        return ExitWriteFailed;
    default:
        return ExitLibrary;
    }
}

QString ExportKind(const LibraryRequest &request) {
    if (!request.exportAs.isEmpty()) return request.exportAs;
    const QString suffix = QFileInfo(request.files.first()).suffix().toLower();
    return suffix == QLatin1String("s1p") || suffix == QLatin1String("ts")
               ? QStringLiteral("touchstone")
               : QStringLiteral("impedix");
}

int Export(const LibraryRequest &request, const Exchange::SweepData &data) {
    const QString path = request.files.first();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        Complain(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
        return ExitWriteFailed;
    }
    const QString kind = ExportKind(request);
    const Exchange::WriteResult result =
        kind == QLatin1String("touchstone") ? Exchange::WriteTouchstone(file, data)
        : kind == QLatin1String("impedance")
            ? Exchange::WriteImpedanceCsv(file, data)
            : Exchange::WriteImpedixCsv(file, data,
                                        request.semicolon ? Export::SemicolonDialect()
                                                          : Export::CommaDialect());
    if (!result.written) {
        file.cancelWriting();
        Complain(QStringLiteral("%1 was not written: %2").arg(path, result.refusal.reason));
        return result.refusal.line == 0 && file.error() == QFileDevice::NoError ? ExitUsage
                                                                                : ExitWriteFailed;
    }
    if (!file.commit()) {
        Complain(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
        return ExitWriteFailed;
    }
    return ExitDone;
}

int Show(const Invocation &invocation, const Library::KeptSweep &sweep) {
    if (invocation.format == Format::Json) {
        const std::optional<Main::SweepVariables> store = Exchange::ToStore(sweep.data);
        QByteArray text = JsonLine(QJsonObject{{QStringLiteral("sweep"), EntryJson(sweep.entry)}});
        if (store)
            text += SweepJson(*store, sweep.entry.conditions.circuit != QLatin1String("parallel"));
        return Print(text) ? ExitDone : ExitWriteFailed;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)) return ExitWriteFailed;
    return Exchange::WriteImpedixCsv(out, sweep.data).written ? ExitDone : ExitWriteFailed;
}

// A file's refusal as an editor's error line: "FILE:LINE: reason".
void ComplainFile(const QString &path, const Exchange::Refusal &refusal) {
    Complain(refusal.line > 0
                 ? QStringLiteral("%1:%2: %3").arg(path).arg(refusal.line).arg(refusal.reason)
                 : QStringLiteral("%1: %2").arg(path, refusal.reason));
}

int Import(Library::SweepLibrary &library, const QStringList &files) {
    int code = ExitDone;
    for (const QString &path : files) {
        const Exchange::ReadResult read = Exchange::ReadAnySweepFile(path);
        if (!read.data) {
            ComplainFile(path, read.refusal);
            code = ExitBadInput;
            continue;
        }
        Library::KeptSweep sweep;
        sweep.data = *read.data;
        sweep.entry.name =
            sweep.data.name.isEmpty() ? QFileInfo(path).completeBaseName() : sweep.data.name;
        sweep.entry.note = sweep.data.notes;
        sweep.entry.model = sweep.data.model;
        sweep.entry.source = QFileInfo(path).absoluteFilePath();
        qint64 id = 0;
        const Library::Outcome kept = library.keep(sweep, &id);
        if (!kept.ok()) return Refused(kept, library.path());
        if (!Print(QStringLiteral("%1 %2\n").arg(id).arg(path).toUtf8())) return ExitWriteFailed;
    }
    return code;
}

} // namespace

int RunLibrary(const Invocation &invocation) {
    const LibraryRequest &request = invocation.library;
    Library::SweepLibrary library;
    const QString path = invocation.keep.path();
    if (const Library::Outcome opened = library.open(path); !opened.ok())
        return Refused(opened, path);
    switch (request.action) {
    case Action::List: {
        QVector<Library::Entry> entries;
        if (const Library::Outcome listed = library.list(entries); !listed.ok())
            return Refused(listed, path);
        QByteArray text;
        if (invocation.format == Format::Json)
            for (const Library::Entry &e : entries)
                text += JsonLine(EntryJson(e));
        else
            text = ListCsv(entries);
        return Print(text) ? ExitDone : ExitWriteFailed;
    }
    case Action::Show:
    case Action::Export: {
        Library::KeptSweep sweep;
        if (const Library::Outcome loaded = library.load(request.ids.first(), sweep); !loaded.ok())
            return Refused(loaded, path);
        return request.action == Action::Show ? Show(invocation, sweep)
                                              : Export(request, sweep.data);
    }
    case Action::Import:
        return Import(library, request.files);
    case Action::Delete:
        for (const qint64 id : request.ids)
            if (const Library::Outcome removed = library.remove(id); !removed.ok())
                return Refused(removed, path);
        return ExitDone;
    case Action::Rename:
    case Action::Note: {
        const qint64 id = request.ids.first();
        const Library::Outcome changed = request.action == Action::Rename
                                             ? library.rename(id, request.text)
                                             : library.setNote(id, request.text);
        return changed.ok() ? ExitDone : Refused(changed, path);
    }
    case Action::Prune: {
        int removed = 0;
        if (const Library::Outcome pruned = library.prune(request.prune, &removed); !pruned.ok())
            return Refused(pruned, path);
        Complain(QStringLiteral("%1 sweep(s) removed").arg(removed));
        return ExitDone;
    }
    case Action::None:
        break;
    }
    return ExitUsage;
}

int RunFit(const Invocation &invocation) {
    Exchange::SweepData data;
    const LibraryRequest &request = invocation.library;
    if (!request.ids.isEmpty()) {
        Library::SweepLibrary library;
        const QString path = invocation.keep.path();
        if (const Library::Outcome opened = library.open(path); !opened.ok())
            return Refused(opened, path);
        Library::KeptSweep sweep;
        if (const Library::Outcome loaded = library.load(request.ids.first(), sweep); !loaded.ok())
            return Refused(loaded, path);
        data = sweep.data;
    } else {
        const Exchange::ReadResult read = Exchange::ReadAnySweepFile(request.files.first());
        if (!read.data) {
            ComplainFile(request.files.first(), read.refusal);
            return ExitBadInput;
        }
        data = *read.data;
    }
    if (data.quantity != Sweep::Quantity::Frequency) {
        Complain(QStringLiteral("a fit needs a frequency sweep; this one steps the %1")
                     .arg(Sweep::QuantityName(data.quantity)));
        return ExitUsage;
    }
    const FitReport report =
        FitAndCheck(invocation.fitModel, Exchange::ToFitSweep(data), invocation.fitOptions);
    return Print(invocation.format == Format::Json ? FitJsonLine(report) : FitSummaryText(report))
               ? FitExitCode(report.fit)
               : ExitWriteFailed;
}

} // namespace Cli
