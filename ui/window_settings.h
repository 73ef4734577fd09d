// What the window keeps between runs in the program's settings (QSettings, the program's name as
// organisation and application): its geometry for the panels shown, the size of a printed chart,
// the folder of the last export, the compensation fixture and the library list's columns. A value
// missing or not usable is read as absent, so the designed start-up state stays the default and
// nothing stored can break a start.
#pragma once

#include <QByteArray>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVariant>

#include <optional>

namespace Main {

// The window's own area as stored, with the panels it was shown with.
struct StoredGeometry {
    QRect area;
    bool maximized = false;
    QString panels; // PanelsKey
};

// "k", "g", "c" for the key panel, the graph and the calibration panel, in that order.
QString PanelsKey(bool keys, bool graph, bool calibration);

// A stored area is used only when it and its frame lie on the screen's available area and it is
// not below what the window's controls need.
bool GeometryFits(const QRect &area, const QMargins &frame, const QRect &available,
                  const QSize &least);

// Plain readings of stored values: anything else is absent.
std::optional<QRect> StoredRect(const QVariant &value);
std::optional<QSize> StoredSize(const QVariant &value);

namespace Settings {

std::optional<StoredGeometry> WindowGeometry();
void SetWindowGeometry(const StoredGeometry &geometry);
QSize PrintSize(); // UsablePrintSize of the stored one; the default when none
void SetPrintSize(const QSize &size);
QString ExportFolder(); // empty when none or no longer there
void SetExportFolder(const QString &folder);
QString FixtureName(); // the compensation fixture last used; empty when none
void SetFixtureName(const QString &name);
QByteArray LibraryView(); // the library list's columns (QHeaderView state); empty when none
void SetLibraryView(const QByteArray &state);

} // namespace Settings

} // namespace Main
