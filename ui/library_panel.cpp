// Builds the library panel from its form, fills its rows and reports the edits made in them.
#include "ui/library_panel.h"

#include "ui_library_panel.h"

#include "ui/library_text.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

namespace Main {

namespace {

constexpr int IdRole = Qt::UserRole;

QTableWidgetItem *Cell(const QString &text, bool editable) {
    auto *item = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

// The overlay's colour in a grey frame, so that white shows too; nothing when not overlaid.
QIcon Swatch(const QColor &colour) {
    QPixmap square(12, 12);
    square.fill(Qt::transparent);
    if (colour.isValid()) {
        QPainter painter(&square);
        painter.fillRect(square.rect(), colour);
        painter.setPen(QColor(96, 96, 96));
        painter.drawRect(square.rect().adjusted(0, 0, -1, -1));
    }
    return QIcon(square);
}

} // namespace

LibraryPanel::LibraryPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::LibraryPanel>()) {
    m_form->setupUi(this);
    QTableWidget *table = m_form->TwLibrary;
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    m_form->LaLibraryProblem->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_form->LaLibraryProblem->hide();
    connect(table, &QTableWidget::cellChanged, this,
            [this](int row, int column) { CellChanged(row, column); });
}

LibraryPanel::~LibraryPanel() = default;

void LibraryPanel::ShowEntries(const QVector<Library::Entry> &entries,
                               const std::function<QColor(qint64)> &overlay) {
    const qint64 chosen = ChosenId();
    QTableWidget *table = m_form->TwLibrary;
    m_filling = true;
    table->setRowCount(0);
    table->setRowCount(entries.size());
    for (int row = 0; row < entries.size(); ++row) {
        const Library::Entry &entry = entries[row];
        const LibraryRow text = EntryRow(entry);
        QTableWidgetItem *box = Cell(QString(), false);
        box->setFlags(box->flags() | Qt::ItemIsUserCheckable);
        box->setData(IdRole, entry.id);
        table->setItem(row, OverlayColumn, box);
        table->setItem(row, TakenColumn, Cell(text.taken, false));
        table->setItem(row, NameColumn, Cell(text.name, true));
        table->setItem(row, ModelColumn, Cell(text.model, false));
        table->setItem(row, SweptColumn, Cell(text.swept, false));
        table->setItem(row, PointsColumn, Cell(text.points, false));
        table->setItem(row, NoteColumn, Cell(entry.note, true));
        if (entry.interrupted)
            table->item(row, PointsColumn)->setToolTip(QStringLiteral("Измерение прервано"));
        const QColor colour = overlay ? overlay(entry.id) : QColor();
        box->setCheckState(colour.isValid() ? Qt::Checked : Qt::Unchecked);
        box->setIcon(Swatch(colour));
    }
    m_filling = false;
    if (chosen != 0) ChooseId(chosen);
}

void LibraryPanel::ShowOverlay(qint64 id, const QColor &colour) {
    const int row = RowOf(id);
    if (row < 0) return;
    m_filling = true;
    QTableWidgetItem *box = m_form->TwLibrary->item(row, OverlayColumn);
    box->setCheckState(colour.isValid() ? Qt::Checked : Qt::Unchecked);
    box->setIcon(Swatch(colour));
    m_filling = false;
}

qint64 LibraryPanel::ChosenId() const {
    const QTableWidget *table = m_form->TwLibrary;
    const int row = table->currentRow();
    if (row < 0 || !table->item(row, OverlayColumn)) return 0;
    return table->item(row, OverlayColumn)->data(IdRole).toLongLong();
}

bool LibraryPanel::ChooseId(qint64 id) {
    const int row = RowOf(id);
    if (row < 0) return false;
    m_form->TwLibrary->setCurrentCell(row, TakenColumn);
    return true;
}

int LibraryPanel::RowOf(qint64 id) const {
    const QTableWidget *table = m_form->TwLibrary;
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, OverlayColumn)->data(IdRole).toLongLong() == id) return row;
    return -1;
}

void LibraryPanel::ShowProblem(const QString &problem) {
    m_form->LaLibraryProblem->setText(problem);
    m_form->LaLibraryProblem->setVisible(!problem.isEmpty());
}

void LibraryPanel::SetUsable(bool usable) {
    for (QWidget *w :
         {static_cast<QWidget *>(m_form->TwLibrary), static_cast<QWidget *>(m_form->BuLibOpen),
          static_cast<QWidget *>(m_form->BuLibReference),
          static_cast<QWidget *>(m_form->BuLibDelete), static_cast<QWidget *>(m_form->BuLibImport),
          static_cast<QWidget *>(m_form->BuLibClearOverlays)})
        w->setEnabled(usable);
}

void LibraryPanel::CellChanged(int row, int column) {
    if (m_filling) return;
    QTableWidget *table = m_form->TwLibrary;
    const qint64 id = table->item(row, OverlayColumn)->data(IdRole).toLongLong();
    QTableWidgetItem *item = table->item(row, column);
    if (!item) return;
    if (column == OverlayColumn)
        emit overlayToggled(id, item->checkState() == Qt::Checked);
    else if (column == NameColumn)
        emit nameEdited(id, item->text());
    else if (column == NoteColumn)
        emit noteEdited(id, item->text());
}

} // namespace Main
