// The library of kept sweeps: one SQLite file under the program's data location, written
// through Qt SQL. Every change is one transaction, so a program killed while writing leaves the
// sweeps committed before it whole. A file that is no library of this program (another
// program's database, no database at all) or a damaged one is refused and never written to.
#pragma once

#include "library/kept_sweep.h"

#include <QString>
#include <QVector>

namespace Library {

enum class Problem {
    None,
    CannotOpen,   // the file or its folder cannot be opened or created
    NotALibrary,  // no SQLite file, or another program's database
    Damaged,      // a library whose content cannot be read
    NewerVersion, // written by a newer program: its schema is not known here
    WriteFailed,  // a change was not committed (disk full, read-only, locked): nothing changed
    NoSuchSweep,  // no kept sweep has that id
    NotOpen,      // no library has been opened
};

struct Outcome {
    Problem problem = Problem::None;
    QString detail; // the database's own words or the refused value, for a message
    bool ok() const { return problem == Problem::None; }
};

// An English sentence for a command line or a log.
QString Describe(const Outcome &outcome, const QString &path);

// What prune keeps: the newest `keepNewest` sweeps (negative: no such rule) and those taken at
// or after `keepSince` (invalid: no such rule). A sweep is removed when a rule says so.
struct PruneRule {
    int keepNewest = -1;
    QDateTime keepSince;
};

class SweepLibrary {
public:
    static constexpr int SchemaVersion = 1;
    // PRAGMA application_id of the file: "Impx".
    static constexpr int ApplicationId = 0x496d7078;

    SweepLibrary();
    ~SweepLibrary();
    SweepLibrary(const SweepLibrary &) = delete;
    SweepLibrary &operator=(const SweepLibrary &) = delete;

    // <data location>/sweeps.sqlite (QStandardPaths::AppDataLocation).
    static QString DefaultPath();

    // Opens the library at path, making it (and its folder) when there is no file yet. A file
    // that is not this program's library, is damaged or is of a newer schema is refused and left
    // as it is; an older schema is brought up to date in one transaction.
    Outcome open(const QString &path);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }

    // Keeps the sweep (its entry's id is ignored); *id the new one.
    Outcome keep(const KeptSweep &sweep, qint64 *id = nullptr);
    // Every kept sweep without its points, newest first.
    Outcome list(QVector<Entry> &entries) const;
    Outcome entry(qint64 id, Entry &entry) const;
    Outcome load(qint64 id, KeptSweep &sweep) const;
    Outcome rename(qint64 id, const QString &name);
    Outcome setNote(qint64 id, const QString &note);
    Outcome remove(qint64 id);
    Outcome prune(const PruneRule &rule, int *removed = nullptr);

private:
    Outcome prepare();
    Outcome setText(qint64 id, const char *column, const QString &text);
    QString m_connection; // the Qt SQL connection's name, unique per library object
    QString m_path;
    bool m_open = false;
};

} // namespace Library
