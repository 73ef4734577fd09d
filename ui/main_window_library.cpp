// The library of kept sweeps in the window: the panel PaLibrary (a window of its own, opened by
// the tool-bar button b_library), its list refreshed when a run is kept, and its actions on the
// chosen sweep: reopen, reference, rename, note, delete, import.
#include "ui/main_window.h"

#include "ui_library_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "core/sweep_keeper.h"
#include "exchange/any_file.h"
#include "library/sweep_library.h"
#include "link/measurement.h"
#include "sweep/sweep_store.h"
#include "ui/library_panel.h"
#include "ui/library_text.h"
#include "ui/pictures.h"
#include "ui/swept_quantity.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

namespace Main {

namespace {

// Right of the current-mode button in the tool-bar strip, inside the compact window.
const QRect LibraryButtonPlace(370, 2, 20, 24);

} // namespace

void Tb_tok::ConnectLibrary() {
    auto *button = new QToolButton(ui->ToolBar1);
    button->setObjectName(QStringLiteral("b_library"));
    button->setGeometry(LibraryButtonPlace);
    button->setText(QStringLiteral("Архив"));
    button->setToolTip(QStringLiteral("Архив измерений: открыть, наложить, Найквист и Боде"));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(16, 16));
    button->setIcon(
        QIcon(Framework::RenderPicture(QStringLiteral(":/ui/library.svg"), button->iconSize())));
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this] { b_libraryClick(); });

    m_libraryStatus = new QLabel(ui->status);
    m_libraryStatus->setObjectName(QStringLiteral("LaLibrary"));
    QPalette palette = m_libraryStatus->palette();
    palette.setColor(QPalette::WindowText, QColor(176, 0, 0));
    m_libraryStatus->setPalette(palette);
    ui->status->addPermanentWidget(m_libraryStatus);
    m_libraryStatus->hide();

    m_libraryPanel = new LibraryPanel(this);
    m_libraryPanel->setWindowFlags(Qt::Tool);
    m_libraryPanel->hide();
    m_libraryPanel->SetUsable(false);
    ConnectLibraryPanel();
    connect(m_core, &Core::Session::sweepShown, this, [this] {
        SetMarkerRange(SweepPoints - 1);
        RedrawGraph();
        ShowViewCurves();
    });
    connect(m_core, &Core::Session::runEnded, this, [this] { ShowViewCurves(); });
}

void Tb_tok::ConnectLibraryPanel() {
    Ui::LibraryPanel &p = m_libraryPanel->form();
    LibraryPanel *panel = m_libraryPanel;
    connect(p.BuLibOpen, &QPushButton::clicked, this,
            [this, panel] { ReopenKept(panel->ChosenId()); });
    connect(p.BuLibReference, &QPushButton::clicked, this,
            [this, panel] { UseKeptAsReference(panel->ChosenId()); });
    connect(p.BuLibDelete, &QPushButton::clicked, this, [this] { BuLibDeleteClick(); });
    connect(p.BuLibImport, &QPushButton::clicked, this, [this] { BuLibImportClick(); });
    connect(p.BuLibNyquist, &QPushButton::clicked, this, [this] { ShowViews(0); });
    connect(p.BuLibBode, &QPushButton::clicked, this, [this] { ShowViews(1); });
    connect(p.BuLibClearOverlays, &QPushButton::clicked, this, [this] { ClearOverlays(); });
    connect(panel, &LibraryPanel::overlayToggled, this,
            [this](qint64 id, bool on) { SetOverlay(id, on); });
    connect(panel, &LibraryPanel::nameEdited, this, [this](qint64 id, const QString &name) {
        if (!m_library || !LibraryChanged(m_library->rename(id, name.trimmed()))) return;
        const auto overlaid = m_overlaid.find(id);
        if (overlaid != m_overlaid.end()) {
            Library::Entry entry;
            if (m_library->entry(id, entry).ok()) overlaid->second.name = EntryTitle(entry);
            m_overlayView.reset();
            RedrawGraph();
            ShowViewCurves();
        }
    });
    connect(panel, &LibraryPanel::noteEdited, this, [this](qint64 id, const QString &note) {
        if (m_library) LibraryChanged(m_library->setNote(id, note.trimmed()));
    });
}

// A library refused at start was said once by the program; the window then keeps nothing.
void Tb_tok::UseLibrary(Library::SweepLibrary *library, Core::SweepKeeper *keeper) {
    m_library = library && library->isOpen() ? library : nullptr;
    m_libraryPanel->SetUsable(m_library != nullptr);
    if (!m_library) {
        m_libraryPanel->ShowProblem(QStringLiteral("Архив не открыт: измерения не сохраняются"));
        if (keeper) keeper->SetKeeping(false);
        return;
    }
    if (keeper) {
        connect(keeper, &Core::SweepKeeper::kept, this, [this] {
            m_libraryStatus->hide();
            RefreshLibrary();
        });
        // The tick rewrites the status line's message: the note stands beside it until a run
        // is kept again.
        connect(keeper, &Core::SweepKeeper::notKept, this, [this](const Library::Outcome &outcome) {
            m_libraryStatus->setText(NotKeptText(outcome));
            m_libraryStatus->setToolTip(QDir::toNativeSeparators(m_library->path()));
            m_libraryStatus->show();
        });
    }
    RefreshLibrary();
}

void Tb_tok::b_libraryClick() {
    RefreshLibrary();
    m_libraryPanel->show();
    m_libraryPanel->raise();
    m_libraryPanel->activateWindow();
}

void Tb_tok::RefreshLibrary() {
    if (!m_library) return;
    QVector<Library::Entry> entries;
    const Library::Outcome outcome = m_library->list(entries);
    if (!outcome.ok()) {
        SayOnLibrary(LibraryChangeText(outcome));
        return;
    }
    const Views::OverlaySet &overlays = m_overlays;
    m_libraryPanel->ShowEntries(entries, [&overlays](qint64 id) { return overlays.colour(id); });
}

void Tb_tok::SayOnLibrary(const QString &text) {
    m_libraryPanel->ShowProblem(text);
}

// True when the change went through; else said on the panel and the list shown as it is.
bool Tb_tok::LibraryChanged(const Library::Outcome &outcome) {
    SayOnLibrary(outcome.ok() ? QString() : LibraryChangeText(outcome));
    if (!outcome.ok()) RefreshLibrary();
    return outcome.ok();
}

bool Tb_tok::LoadKept(qint64 id, Library::KeptSweep &sweep) {
    if (!m_library || id == 0) {
        SayOnLibrary(QStringLiteral("Выберите измерение в списке"));
        return false;
    }
    const Library::Outcome outcome = m_library->load(id, sweep);
    if (!outcome.ok()) SayOnLibrary(LibraryChangeText(outcome));
    return outcome.ok();
}

bool Tb_tok::ReopenKept(qint64 id) {
    Library::KeptSweep sweep;
    if (!LoadKept(id, sweep)) return false;
    if (SweepRunning || m_core->CompensationRunning()) {
        SayOnLibrary(QStringLiteral("Идёт измерение: откройте после его конца"));
        return false;
    }
    if (!m_core->ShowSweep(sweep.data)) {
        SayOnLibrary(QStringLiteral("Это измерение нельзя показать на графике"));
        return false;
    }
    SayOnLibrary(QString());
    m_sweepContext = Core::KeptContext(sweep.entry); // its exports name where it came from
    if (!ui->ChBoGraph->isChecked()) ui->ChBoGraph->click();
    return true;
}

bool Tb_tok::UseKeptAsReference(qint64 id) {
    Library::KeptSweep sweep;
    if (!LoadKept(id, sweep)) return false;
    const std::optional<SweepVariables> store =
        Exchange::ToStore(sweep.data, Device::SeriesCircuit != 0);
    if (!store) {
        SayOnLibrary(QStringLiteral("Это измерение нельзя взять опорным"));
        return false;
    }
    m_reference = Sweep::HoldReference(*store);
    m_referenceQuantity = store->SweepQuantity;
    m_referenceAxis = HeldAxisValues(*store);
    SayOnLibrary(QString());
    RedrawGraph();
    return true;
}

void Tb_tok::BuLibDeleteClick() {
    const qint64 id = m_libraryPanel->ChosenId();
    if (!m_library || id == 0) {
        SayOnLibrary(QStringLiteral("Выберите измерение в списке"));
        return;
    }
    if (!m_core->Ask(QStringLiteral("Удалить выбранное измерение из архива?"),
                     QStringLiteral("Удалить"), QStringLiteral("Отмена")))
        return;
    if (!LibraryChanged(m_library->remove(id))) return;
    if (m_overlays.contains(id)) SetOverlay(id, false);
    RefreshLibrary();
}

void Tb_tok::BuLibImportClick() {
    const QString path =
        Framework::AskOpenFile(this, QStringLiteral("Импорт развёртки"),
                               m_exportFolder.isEmpty() ? QDir::homePath() : m_exportFolder,
                               QStringLiteral("Развёртки (*.csv *.s1p *.ts *.txt);;Все файлы (*)"));
    if (!path.isEmpty()) ImportSweepFile(path);
}

bool Tb_tok::ImportSweepFile(const QString &path) {
    if (!m_library) return false;
    const Exchange::ReadResult read = Exchange::ReadAnySweepFile(path);
    if (!read.data) {
        SayOnLibrary(ImportRefusalText(path, read.refusal));
        return false;
    }
    Library::KeptSweep sweep;
    sweep.data = *read.data;
    const QFileInfo file(path);
    sweep.entry.taken = QDateTime::currentDateTimeUtc();
    sweep.entry.name = sweep.data.name.isEmpty() ? file.completeBaseName() : sweep.data.name;
    sweep.entry.note = sweep.data.notes;
    sweep.entry.model = sweep.data.model;
    sweep.entry.quantity = sweep.data.quantity;
    sweep.entry.source = file.fileName();
    qint64 id = 0;
    if (!LibraryChanged(m_library->keep(sweep, &id))) return false;
    RefreshLibrary();
    m_libraryPanel->ChooseId(id);
    return true;
}

} // namespace Main
