#include "core/sweep_context.h"

#include "core/sweep_keeper.h"
#include "fit/fit_report.h"
#include "sweep/quantity_name.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include <cmath>

namespace Core {

namespace {

const QString Format = QStringLiteral("impedix-sweep-context");
constexpr int Version = 1;
constexpr qint64 LargestSideFile = 4 * 1024 * 1024;

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue Text(const QString &text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonObject ConditionsJson(const Library::Conditions &c) {
    return QJsonObject{
        {QStringLiteral("level_v"), Number(c.levelVolts)},
        {QStringLiteral("bias_v"), Number(c.biasVolts)},
        {QStringLiteral("bias_external"), c.biasExternal},
        {QStringLiteral("range"), Text(c.range)},
        {QStringLiteral("speed"), Text(c.speed)},
        {QStringLiteral("circuit"), Text(c.circuit)},
        {QStringLiteral("compensation"), Text(c.compensation)},
    };
}

// A file there already may be replaced only when it is a side file itself.
bool OursOrAbsent(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists()) return true;
    if (!info.isFile() || info.size() > LargestSideFile) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    return document.isObject() &&
           document.object().value(QStringLiteral("format")).toString() == Format;
}

} // namespace

SweepContext RunContext(const Session &session, bool complete) {
    const Library::KeptSweep kept = RunAsKept(session, complete);
    SweepContext context = KeptContext(kept.entry);
    context.points = int(kept.data.points.size());
    return context;
}

SweepContext KeptContext(const Library::Entry &entry) {
    SweepContext context;
    context.taken = entry.taken;
    context.model = entry.model;
    context.quantity = entry.quantity;
    context.points = entry.pointCount;
    context.interrupted = entry.interrupted;
    context.source = entry.source;
    context.conditions = entry.conditions;
    return context;
}

QString SideFilePath(const QString &dataPath) {
    return dataPath + QStringLiteral(".impedix.json");
}

QJsonObject SideFileJson(const SweepContext &context, const QString &dataName,
                         const Fit::FitResult *fit) {
    QJsonObject object{
        {QStringLiteral("format"), Format},
        {QStringLiteral("version"), Version},
        {QStringLiteral("data_file"), dataName},
        {QStringLiteral("taken"), context.taken.isValid()
                                      ? QJsonValue(context.taken.toUTC().toString(Qt::ISODate))
                                      : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("model"), Text(context.model)},
        {QStringLiteral("swept"), Sweep::QuantityName(context.quantity)},
        {QStringLiteral("points"), context.points},
        {QStringLiteral("interrupted"), context.interrupted},
        {QStringLiteral("source"), Text(context.source)},
        {QStringLiteral("conditions"), ConditionsJson(context.conditions)},
    };
    if (fit) object.insert(QStringLiteral("fit"), Fit::FitToJson(*fit));
    return object;
}

bool WriteSideFile(const QString &dataPath, const SweepContext &context, const Fit::FitResult *fit,
                   QString *error) {
    const QString path = SideFilePath(dataPath);
    if (!OursOrAbsent(path)) {
        if (error) *error = QStringLiteral("%1 exists and is not a sweep's side file").arg(path);
        return false;
    }
    QSaveFile file(path);
    const QByteArray bytes =
        QJsonDocument(SideFileJson(context, QFileInfo(dataPath).fileName(), fit)).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Core
