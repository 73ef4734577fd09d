#include "ui/sweep_views_panel.h"

#include "ui_sweep_views_panel.h"

namespace Main {

SweepViewsPanel::SweepViewsPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::SweepViewsPanel>()) {
    m_form->setupUi(this);
    m_form->LaViewNote->hide();
}

SweepViewsPanel::~SweepViewsPanel() = default;

void SweepViewsPanel::ShowTab(Tab tab) {
    m_form->TabViews->setCurrentIndex(tab);
}

SweepViewsPanel::Tab SweepViewsPanel::ShownTab() const {
    return m_form->TabViews->currentIndex() == BodeTab ? BodeTab : NyquistTab;
}

QWidget *SweepViewsPanel::ShownChart() const {
    return ShownTab() == BodeTab ? static_cast<QWidget *>(m_form->ChBode)
                                 : static_cast<QWidget *>(m_form->ChNyquist);
}

void SweepViewsPanel::ShowCurves(const QList<Chart::Curve> &nyquist,
                                 const QList<Chart::Curve> &magnitude,
                                 const QList<Chart::Curve> &phase, const QString &note) {
    m_form->ChNyquist->setCurves(nyquist);
    m_form->ChBode->setCurves(magnitude, phase);
    m_form->LaViewNote->setText(note);
    m_form->LaViewNote->setVisible(!note.isEmpty());
}

} // namespace Main
