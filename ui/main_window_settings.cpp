// What the window keeps between runs: its geometry for the panels shown, the size of printed
// charts, the folder of the last export, the compensation fixture and the library list's columns
// (window_settings.*). Only the program asks for it; tests and benches build windows that read
// and write nothing.
#include "ui/main_window.h"

#include "core/session.h"
#include "ui/library_panel.h"
#include "ui/window_geometry.h"
#include "ui/window_settings.h"
#include "ui_library_panel.h"
#include "ui_main_window.h"

#include <QHeaderView>
#include <QScreen>

namespace Main {

void Tb_tok::UseSettings() {
    m_settingsUsed = true;
    m_printSize = Settings::PrintSize();
    if (const QString folder = Settings::ExportFolder(); !folder.isEmpty()) m_exportFolder = folder;
    RestoreGeometry();
    // The fixture last used, as if typed into the compensation panel: its file is read when there
    // is one.
    const QString fixture = Settings::FixtureName();
    if (!fixture.isEmpty() && fixture != m_core->Compensation().fixture) {
        m_core->SetFixtureName(fixture);
        LoadFixture();
    }
    // A state that does not fit the list's columns is refused by the header itself.
    if (const QByteArray view = Settings::LibraryView(); !view.isEmpty())
        m_libraryPanel->form().TwLibrary->horizontalHeader()->restoreState(view);
}

// Only for the panels it was kept with, and only where it fits the screen as it is now; else the
// designed opening stands.
void Tb_tok::RestoreGeometry() {
    const std::optional<StoredGeometry> stored = Settings::WindowGeometry();
    if (!stored) return;
    const QString panels =
        PanelsKey(ui->ChBoKey->isChecked(), ui->ChBoGraph->isChecked(), ui->ChBoClb->isChecked());
    const QScreen *shown = screen();
    if (stored->panels != panels || !shown) return;
    if (GeometryFits(stored->area, AssumedWindowFrame, shown->availableGeometry(), minimumSize()))
        setGeometry(stored->area);
    if (stored->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void Tb_tok::KeepSettings() {
    StoredGeometry geometry;
    geometry.area = normalGeometry().isValid() ? normalGeometry() : geometry.area;
    geometry.maximized = isMaximized();
    geometry.panels =
        PanelsKey(ui->ChBoKey->isChecked(), ui->ChBoGraph->isChecked(), ui->ChBoClb->isChecked());
    if (geometry.area.isValid()) Settings::SetWindowGeometry(geometry);
    Settings::SetFixtureName(m_core->Compensation().fixture);
    Settings::SetLibraryView(m_libraryPanel->form().TwLibrary->horizontalHeader()->saveState());
}

} // namespace Main
