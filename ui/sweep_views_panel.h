// The views panel PaViews: the Nyquist and the Bode view of the current sweep and the overlaid
// ones, on two tabs, and the shown view's export as PNG or SVG. A window of its own beside the
// main window; widgets only: the main window hands it the curves and saves the pictures.
#pragma once

#include "ui/chart/curve.h"

#include <QFrame>

#include <memory>

namespace Ui {
class SweepViewsPanel;
}

namespace Main {

class SweepViewsPanel : public QFrame {
    Q_OBJECT

public:
    enum Tab { NyquistTab, BodeTab };

    explicit SweepViewsPanel(QWidget *parent = nullptr);
    ~SweepViewsPanel() override;

    Ui::SweepViewsPanel &form() { return *m_form; }

    void ShowTab(Tab tab);
    Tab ShownTab() const;
    // The chart of the shown tab, as it is to be saved.
    QWidget *ShownChart() const;
    // Curves of the Nyquist view; magnitude and phase of the Bode view. note: why a sweep is
    // missing from a view (empty: nothing to say).
    void ShowCurves(const QList<Chart::Curve> &nyquist, const QList<Chart::Curve> &magnitude,
                    const QList<Chart::Curve> &phase, const QString &note);

private:
    std::unique_ptr<Ui::SweepViewsPanel> m_form;
};

} // namespace Main
