// Keys for what a lab user does most (a run, its stop, recording, the data file, the markers)
// and short tooltips on the controls added beside the designed ones. The keys act anywhere in
// the window; each does what its control does.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "ui/graph_panel.h"

#include <QAction>
#include <QKeySequence>
#include <QPushButton>
#include <QToolButton>

namespace Main {

void Tb_tok::ConnectShortcuts() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    const struct {
        const char *name;
        QKeySequence keys;
        std::function<void()> act;
    } shortcuts[] = {
        {"ActStartSweep", QKeySequence(Qt::Key_F5), [g = &g] { g->bgraf->click(); }},
        {"ActStopSweep", QKeySequence(Qt::SHIFT | Qt::Key_F5),
         [g = &g] {
             if (g->BuStopSweep->isEnabled()) g->BuStopSweep->click();
         }},
        {"ActRecord", QKeySequence(Qt::CTRL | Qt::Key_R), [this] { ui->b_record->click(); }},
        {"ActSaveData", QKeySequence(Qt::CTRL | Qt::Key_E), [this] { SaveSweepData(); }},
        {"ActMarkers", QKeySequence(Qt::CTRL | Qt::Key_M), [this] { PlaceExtremeMarkers(); }},
    };
    for (const auto &s : shortcuts) {
        auto *action = new QAction(this);
        action->setObjectName(QLatin1String(s.name));
        action->setShortcut(s.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, s.act);
        addAction(action);
    }
    g.bgraf->setToolTip(QStringLiteral("Пуск развёртки (F5)"));
    g.BuStopSweep->setToolTip(
        QStringLiteral("Остановить развёртку; снятые точки остаются (Shift+F5)"));
    g.LaSweepProgress->setToolTip(QStringLiteral("Снято точек из заданных"));
    ui->b_record->setToolTip(QStringLiteral("Запись каждого отсчёта в файл (Ctrl+R)"));
}

} // namespace Main
