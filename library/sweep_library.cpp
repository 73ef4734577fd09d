#include "library/sweep_library.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <cmath>
#include <limits>

namespace Library {
namespace {

constexpr char Header[] = "SQLite format 3";

// SQLITE_CORRUPT and SQLITE_NOTADB, as the driver gives them.
bool IsDamage(const QSqlError &error) {
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("11") || code == QLatin1String("26") ||
           error.databaseText().contains(QLatin1String("malformed")) ||
           error.databaseText().contains(QLatin1String("not a database"));
}

Outcome Failed(const QSqlError &error, Problem otherwise) {
    return {IsDamage(error) ? Problem::Damaged : otherwise, error.text()};
}

QVariant Number(double value) {
    return std::isfinite(value) ? QVariant(value) : QVariant(QMetaType(QMetaType::Double));
}

// A null text would be bound as NULL; the text columns hold '' for none.
QString Text(const QString &text) {
    return text.isNull() ? QStringLiteral("") : text;
}

double NumberOf(const QVariant &value) {
    return value.isNull() ? std::numeric_limits<double>::quiet_NaN() : value.toDouble();
}

QString NewConnectionName() {
    static QAtomicInteger<quint64> count;
    return QStringLiteral("impedix-library-%1").arg(count.fetchAndAddRelaxed(1));
}

const char *const CreateSchema[] = {
    "CREATE TABLE sweep ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " taken TEXT NOT NULL,"
    " name TEXT NOT NULL DEFAULT '',"
    " note TEXT NOT NULL DEFAULT '',"
    " model TEXT NOT NULL DEFAULT '',"
    " quantity INTEGER NOT NULL,"
    " point_count INTEGER NOT NULL,"
    " interrupted INTEGER NOT NULL,"
    " source TEXT NOT NULL DEFAULT 'run',"
    " first_planned REAL, last_planned REAL,"
    " level_v REAL, bias_v REAL, bias_external INTEGER NOT NULL DEFAULT 0,"
    " range TEXT NOT NULL DEFAULT '', speed TEXT NOT NULL DEFAULT '',"
    " circuit TEXT NOT NULL DEFAULT '', compensation TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE point ("
    " sweep INTEGER NOT NULL, idx INTEGER NOT NULL,"
    " planned REAL, frequency REAL, magnitude REAL, phase REAL, bias REAL,"
    " status INTEGER NOT NULL,"
    " PRIMARY KEY (sweep, idx)) WITHOUT ROWID",
};

// Steps from each older schema to the next; the first program kept version 1.
struct Migration {
    int from;
    const char *const *statements;
    int count;
};
constexpr Migration Migrations[] = {{0, nullptr, 0}};

constexpr char EntryColumns[] =
    "id, taken, name, note, model, quantity, point_count, interrupted, source, first_planned,"
    " last_planned, level_v, bias_v, bias_external, range, speed, circuit, compensation";

Entry EntryOf(const QSqlQuery &q) {
    Entry e;
    e.id = q.value(0).toLongLong();
    e.taken = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
    e.taken.setTimeSpec(Qt::UTC);
    e.name = q.value(2).toString();
    e.note = q.value(3).toString();
    e.model = q.value(4).toString();
    const int quantity = q.value(5).toInt();
    e.quantity = quantity == int(Sweep::Quantity::Bias)    ? Sweep::Quantity::Bias
                 : quantity == int(Sweep::Quantity::Level) ? Sweep::Quantity::Level
                                                           : Sweep::Quantity::Frequency;
    e.pointCount = q.value(6).toInt();
    e.interrupted = q.value(7).toInt() != 0;
    e.source = q.value(8).toString();
    e.firstPlanned = NumberOf(q.value(9));
    e.lastPlanned = NumberOf(q.value(10));
    e.conditions.levelVolts = NumberOf(q.value(11));
    e.conditions.biasVolts = NumberOf(q.value(12));
    e.conditions.biasExternal = q.value(13).toInt() != 0;
    e.conditions.range = q.value(14).toString();
    e.conditions.speed = q.value(15).toString();
    e.conditions.circuit = q.value(16).toString();
    e.conditions.compensation = q.value(17).toString();
    return e;
}

// The file's first bytes: an existing non-empty file must be an SQLite database before the
// driver may touch it (it would otherwise take some files as empty databases and write there).
bool LooksLikeSqlite(const QString &path, QString &why) {
    QFile file(path);
    if (!file.exists() || file.size() == 0) return true;
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    const QByteArray head = file.read(int(sizeof Header));
    if (head == QByteArray(Header, int(sizeof Header))) return true;
    why = QStringLiteral("not an SQLite database");
    return false;
}

} // namespace

QString Describe(const Outcome &outcome, const QString &path) {
    const QString where = QDir::toNativeSeparators(path);
    const QString detail =
        outcome.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(outcome.detail);
    switch (outcome.problem) {
    case Problem::None:
        return QString();
    case Problem::CannotOpen:
        return QStringLiteral("cannot open the sweep library %1%2").arg(where, detail);
    case Problem::NotALibrary:
        return QStringLiteral("%1 is not an Impedix sweep library%2; it was left as it is")
            .arg(where, detail);
    case Problem::Damaged:
        return QStringLiteral("the sweep library %1 is damaged%2; it was left as it is")
            .arg(where, detail);
    case Problem::NewerVersion:
        return QStringLiteral("the sweep library %1 was written by a newer Impedix%2; it was "
                              "left as it is")
            .arg(where, detail);
    case Problem::WriteFailed:
        return QStringLiteral("the sweep library %1 was not changed%2").arg(where, detail);
    case Problem::NoSuchSweep:
        return QStringLiteral("no kept sweep has id %1").arg(outcome.detail);
    case Problem::NotOpen:
        return QStringLiteral("no sweep library is open");
    }
    return QString();
}

SweepLibrary::SweepLibrary() : m_connection(NewConnectionName()) {}

SweepLibrary::~SweepLibrary() {
    close();
}

QString SweepLibrary::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/sweeps.sqlite");
}

bool SweepLibrary::isOpen() const {
    return m_open;
}

void SweepLibrary::close() {
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
}

Outcome SweepLibrary::open(const QString &path) {
    close();
    m_path = path;
    QString why;
    if (!LooksLikeSqlite(path, why))
        return {QFile::exists(path) && why != QLatin1String("not an SQLite database")
                    ? Problem::CannotOpen
                    : Problem::NotALibrary,
                why};
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return {Problem::CannotOpen, QStringLiteral("no folder %1").arg(folder)};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const Outcome failed{Problem::CannotOpen, db.lastError().text()};
            db = QSqlDatabase();
            close();
            return failed;
        }
    }
    const Outcome prepared = prepare();
    if (!prepared.ok()) {
        close();
        return prepared;
    }
    m_open = true;
    return {};
}

// Reads what the file says it is, before anything is written: a new file gets the schema, an
// older one its migrations; anything else is refused.
Outcome SweepLibrary::prepare() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next())
        return Failed(q.lastError(), Problem::CannotOpen);
    const int application = q.value(0).toInt();
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return Failed(q.lastError(), Problem::CannotOpen);
    const int version = q.value(0).toInt();
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        return Failed(q.lastError(), Problem::CannotOpen);
    const int objects = q.value(0).toInt();
    const bool fresh = application == 0 && version == 0 && objects == 0;
    if (!fresh && application != ApplicationId)
        return {Problem::NotALibrary, QStringLiteral("another program's database")};
    if (version > SchemaVersion)
        return {Problem::NewerVersion,
                QStringLiteral("schema %1, this program knows %2").arg(version).arg(SchemaVersion)};
    if (version < SchemaVersion) {
        if (!db.transaction()) return Failed(db.lastError(), Problem::WriteFailed);
        bool done = true;
        if (fresh) {
            for (const char *statement : CreateSchema)
                done = done && q.exec(QString::fromLatin1(statement));
            done = done && q.exec(QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId));
        } else {
            for (const Migration &step : Migrations)
                if (step.from >= version)
                    for (int i = 0; i < step.count; ++i)
                        done = done && q.exec(QString::fromLatin1(step.statements[i]));
        }
        done = done && q.exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion));
        if (!done || !db.commit()) {
            const QSqlError error = q.lastError().isValid() ? q.lastError() : db.lastError();
            db.rollback();
            return Failed(error, Problem::WriteFailed);
        }
    }
    // Both tables must read; a library that lost one is damaged.
    if (!q.exec(QStringLiteral("SELECT %1 FROM sweep LIMIT 1").arg(QLatin1String(EntryColumns))) ||
        !q.exec(
            QStringLiteral("SELECT sweep, idx, planned, frequency, magnitude, phase, bias, status"
                           " FROM point LIMIT 1")))
        return {Problem::Damaged, q.lastError().text()};
    // A kill between two writes leaves the log, never a half-written sweep.
    q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    return {};
}

Outcome SweepLibrary::keep(const KeptSweep &sweep, qint64 *id) {
    if (!m_open) return {Problem::NotOpen, QString()};
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) return Failed(db.lastError(), Problem::WriteFailed);
    QSqlQuery q(db);
    const Entry &e = sweep.entry;
    const auto &points = sweep.data.points;
    q.prepare(QStringLiteral(
        "INSERT INTO sweep (taken, name, note, model, quantity, point_count, interrupted, source,"
        " first_planned, last_planned, level_v, bias_v, bias_external, range, speed, circuit,"
        " compensation) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime taken = e.taken.isValid() ? e.taken : QDateTime::currentDateTimeUtc();
    q.addBindValue(taken.toUTC().toString(Qt::ISODateWithMs));
    q.addBindValue(Text(e.name));
    q.addBindValue(Text(e.note));
    q.addBindValue(Text(e.model));
    q.addBindValue(int(sweep.data.quantity));
    q.addBindValue(int(points.size()));
    q.addBindValue(e.interrupted ? 1 : 0);
    q.addBindValue(e.source.isEmpty() ? QStringLiteral("run") : e.source);
    q.addBindValue(Number(points.empty() ? NAN : points.front().planned));
    q.addBindValue(Number(points.empty() ? NAN : points.back().planned));
    q.addBindValue(Number(e.conditions.levelVolts));
    q.addBindValue(Number(e.conditions.biasVolts));
    q.addBindValue(e.conditions.biasExternal ? 1 : 0);
    q.addBindValue(Text(e.conditions.range));
    q.addBindValue(Text(e.conditions.speed));
    q.addBindValue(Text(e.conditions.circuit));
    q.addBindValue(Text(e.conditions.compensation));
    bool done = q.exec();
    const qint64 newId = q.lastInsertId().toLongLong();
    QSqlQuery p(db);
    done = done && p.prepare(QStringLiteral(
                       "INSERT INTO point (sweep, idx, planned, frequency, magnitude, phase, bias,"
                       " status) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (std::size_t i = 0; done && i < points.size(); ++i) {
        const Exchange::SweepPoint &point = points[i];
        p.bindValue(0, newId);
        p.bindValue(1, int(i));
        p.bindValue(2, Number(point.planned));
        p.bindValue(3, Number(point.frequency));
        p.bindValue(4, Number(point.magnitude));
        p.bindValue(5, Number(point.phase));
        p.bindValue(6, Number(point.bias));
        p.bindValue(7, point.status);
        done = p.exec();
    }
    if (!done || !db.commit()) {
        const QSqlError error = !q.lastError().isValid()
                                    ? p.lastError().isValid() ? p.lastError() : db.lastError()
                                    : q.lastError();
        db.rollback();
        return Failed(error, Problem::WriteFailed);
    }
    if (id) *id = newId;
    return {};
}

Outcome SweepLibrary::list(QVector<Entry> &entries) const {
    entries.clear();
    if (!m_open) return {Problem::NotOpen, QString()};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM sweep ORDER BY id DESC")
                    .arg(QLatin1String(EntryColumns))))
        return Failed(q.lastError(), Problem::Damaged);
    while (q.next())
        entries.append(EntryOf(q));
    if (q.lastError().isValid()) return Failed(q.lastError(), Problem::Damaged);
    return {};
}

Outcome SweepLibrary::entry(qint64 id, Entry &found) const {
    if (!m_open) return {Problem::NotOpen, QString()};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM sweep WHERE id = ?").arg(QLatin1String(EntryColumns)));
    q.addBindValue(id);
    if (!q.exec()) return Failed(q.lastError(), Problem::Damaged);
    if (!q.next()) return {Problem::NoSuchSweep, QString::number(id)};
    found = EntryOf(q);
    return {};
}

Outcome SweepLibrary::load(qint64 id, KeptSweep &sweep) const {
    Outcome found = entry(id, sweep.entry);
    if (!found.ok()) return found;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT planned, frequency, magnitude, phase, bias, status FROM point"
                             " WHERE sweep = ? ORDER BY idx"));
    q.addBindValue(id);
    if (!q.exec()) return Failed(q.lastError(), Problem::Damaged);
    Exchange::SweepData &data = sweep.data;
    data = {};
    data.quantity = sweep.entry.quantity;
    data.name = sweep.entry.name;
    data.notes = sweep.entry.note;
    data.model = sweep.entry.model;
    data.points.reserve(std::size_t(std::max(0, sweep.entry.pointCount)));
    while (q.next()) {
        Exchange::SweepPoint point;
        point.planned = NumberOf(q.value(0));
        point.frequency = NumberOf(q.value(1));
        point.magnitude = NumberOf(q.value(2));
        point.phase = NumberOf(q.value(3));
        point.bias = NumberOf(q.value(4));
        point.status = q.value(5).toInt();
        data.points.push_back(point);
    }
    if (q.lastError().isValid()) return Failed(q.lastError(), Problem::Damaged);
    if (int(data.points.size()) != sweep.entry.pointCount)
        return {Problem::Damaged, QStringLiteral("sweep %1 holds %2 of its %3 points")
                                      .arg(id)
                                      .arg(data.points.size())
                                      .arg(sweep.entry.pointCount)};
    return {};
}

Outcome SweepLibrary::setText(qint64 id, const char *column, const QString &text) {
    if (!m_open) return {Problem::NotOpen, QString()};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE sweep SET %1 = ? WHERE id = ?").arg(QLatin1String(column)));
    q.addBindValue(Text(text));
    q.addBindValue(id);
    if (!q.exec()) return Failed(q.lastError(), Problem::WriteFailed);
    if (q.numRowsAffected() == 0) return {Problem::NoSuchSweep, QString::number(id)};
    return {};
}

Outcome SweepLibrary::rename(qint64 id, const QString &name) {
    return setText(id, "name", name);
}

Outcome SweepLibrary::setNote(qint64 id, const QString &note) {
    return setText(id, "note", note);
}

Outcome SweepLibrary::remove(qint64 id) {
    if (!m_open) return {Problem::NotOpen, QString()};
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) return Failed(db.lastError(), Problem::WriteFailed);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM sweep WHERE id = ?"));
    q.addBindValue(id);
    bool done = q.exec();
    const bool existed = done && q.numRowsAffected() > 0;
    QSqlQuery p(db);
    p.prepare(QStringLiteral("DELETE FROM point WHERE sweep = ?"));
    p.addBindValue(id);
    done = done && p.exec();
    if (!done || !db.commit()) {
        const QSqlError error = q.lastError().isValid() ? q.lastError() : p.lastError();
        db.rollback();
        return Failed(error, Problem::WriteFailed);
    }
    if (!existed) return {Problem::NoSuchSweep, QString::number(id)};
    return {};
}

Outcome SweepLibrary::prune(const PruneRule &rule, int *removed) {
    if (removed) *removed = 0;
    if (!m_open) return {Problem::NotOpen, QString()};
    QStringList conditions;
    if (rule.keepNewest >= 0)
        conditions << QStringLiteral("id NOT IN (SELECT id FROM sweep ORDER BY id DESC LIMIT %1)")
                          .arg(rule.keepNewest);
    if (rule.keepSince.isValid())
        conditions << QStringLiteral("taken < '%1'")
                          .arg(rule.keepSince.toUTC().toString(Qt::ISODateWithMs));
    if (conditions.isEmpty()) return {};
    const QString which = conditions.join(QLatin1String(" OR "));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) return Failed(db.lastError(), Problem::WriteFailed);
    QSqlQuery q(db);
    bool done =
        q.exec(QStringLiteral("DELETE FROM point WHERE sweep IN (SELECT id FROM sweep WHERE %1)")
                   .arg(which));
    done = done && q.exec(QStringLiteral("DELETE FROM sweep WHERE %1").arg(which));
    const int count = done ? q.numRowsAffected() : 0;
    if (!done || !db.commit()) {
        const QSqlError error = q.lastError();
        db.rollback();
        return Failed(error, Problem::WriteFailed);
    }
    if (removed) *removed = count;
    return {};
}

} // namespace Library
