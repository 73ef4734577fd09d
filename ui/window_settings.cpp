#include "ui/window_settings.h"

#include "ui/print_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace Main {

namespace {

const QString GeometryKey = QStringLiteral("window/geometry");
const QString MaximizedKey = QStringLiteral("window/maximized");
const QString PanelsSettingKey = QStringLiteral("window/panels");
const QString PrintSizeKey = QStringLiteral("export/printSize");
const QString ExportFolderKey = QStringLiteral("export/folder");
const QString FixtureKey = QStringLiteral("compensation/fixture");
const QString LibraryViewKey = QStringLiteral("library/columns");

// Without an organisation name the program's own name stands for it, so the file is the
// program's in its configuration folder.
QSettings Store() {
    const QString application = QCoreApplication::applicationName();
    const QString organisation = QCoreApplication::organizationName();
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     organisation.isEmpty() ? application : organisation, application);
}

} // namespace

QString PanelsKey(bool keys, bool graph, bool calibration) {
    QString key;
    if (keys) key += QLatin1Char('k');
    if (graph) key += QLatin1Char('g');
    if (calibration) key += QLatin1Char('c');
    return key;
}

bool GeometryFits(const QRect &area, const QMargins &frame, const QRect &available,
                  const QSize &least) {
    if (!area.isValid() || !available.isValid()) return false;
    if (area.width() < least.width() || area.height() < least.height()) return false;
    return available.contains(area.marginsAdded(frame));
}

std::optional<QRect> StoredRect(const QVariant &value) {
    if (value.typeId() != QMetaType::QRect) return std::nullopt;
    const QRect rect = value.toRect();
    if (!rect.isValid()) return std::nullopt;
    return rect;
}

std::optional<QSize> StoredSize(const QVariant &value) {
    if (value.typeId() != QMetaType::QSize) return std::nullopt;
    const QSize size = value.toSize();
    if (!size.isValid()) return std::nullopt;
    return size;
}

namespace Settings {

std::optional<StoredGeometry> WindowGeometry() {
    const QSettings store = Store();
    const std::optional<QRect> area = StoredRect(store.value(GeometryKey));
    if (!area) return std::nullopt;
    StoredGeometry geometry;
    geometry.area = *area;
    geometry.maximized = store.value(MaximizedKey).toString() == QLatin1String("true");
    geometry.panels = store.value(PanelsSettingKey).toString();
    return geometry;
}

void SetWindowGeometry(const StoredGeometry &geometry) {
    QSettings store = Store();
    store.setValue(GeometryKey, geometry.area);
    store.setValue(MaximizedKey,
                   geometry.maximized ? QStringLiteral("true") : QStringLiteral("false"));
    store.setValue(PanelsSettingKey, geometry.panels);
}

QSize PrintSize() {
    const std::optional<QSize> size = StoredSize(Store().value(PrintSizeKey));
    return UsablePrintSize(size ? *size : DefaultPrintSize);
}

void SetPrintSize(const QSize &size) {
    Store().setValue(PrintSizeKey, UsablePrintSize(size));
}

QString ExportFolder() {
    const QString folder = Store().value(ExportFolderKey).toString();
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QString();
}

void SetExportFolder(const QString &folder) {
    Store().setValue(ExportFolderKey, folder);
}

QString FixtureName() {
    const QVariant value = Store().value(FixtureKey);
    return value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
}

void SetFixtureName(const QString &name) {
    Store().setValue(FixtureKey, name);
}

QByteArray LibraryView() {
    const QVariant value = Store().value(LibraryViewKey);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void SetLibraryView(const QByteArray &state) {
    Store().setValue(LibraryViewKey, state);
}

} // namespace Settings

} // namespace Main
