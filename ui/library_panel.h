// The library panel PaLibrary: the kept sweeps newest first (a box to overlay each, its time,
// name, model, what it swept and over what span, its points with a mark for an interrupted run,
// its note), and the actions on the chosen one. A window of its own beside the main window;
// widgets only: the main window connects them to its handlers and hands it the library's list.
#pragma once

#include "library/kept_sweep.h"

#include <QFrame>
#include <QVector>

#include <functional>
#include <memory>

namespace Ui {
class LibraryPanel;
}

namespace Main {

class LibraryPanel : public QFrame {
    Q_OBJECT

public:
    enum Column {
        OverlayColumn,
        TakenColumn,
        NameColumn,
        ModelColumn,
        SweptColumn,
        PointsColumn,
        NoteColumn
    };

    explicit LibraryPanel(QWidget *parent = nullptr);
    ~LibraryPanel() override;

    Ui::LibraryPanel &form() { return *m_form; }

    // The rows of entries (newest first, as the library lists them); overlay gives the colour of
    // an overlaid entry (invalid: not overlaid). The chosen row stays chosen when still there.
    void ShowEntries(const QVector<Library::Entry> &entries,
                     const std::function<QColor(qint64)> &overlay);
    // The overlay box and colour of one row.
    void ShowOverlay(qint64 id, const QColor &colour);
    qint64 ChosenId() const; // 0: none chosen
    bool ChooseId(qint64 id);
    int RowOf(qint64 id) const; // -1: not listed
    // A short note under the list; empty hides it.
    void ShowProblem(const QString &problem);
    // Without an open library only the views may be opened.
    void SetUsable(bool usable);

signals:
    void overlayToggled(qint64 id, bool on);
    void nameEdited(qint64 id, const QString &name);
    void noteEdited(qint64 id, const QString &note);

private:
    void CellChanged(int row, int column);
    std::unique_ptr<Ui::LibraryPanel> m_form;
    bool m_filling = false; // rows being set: no edit to report
};

} // namespace Main
