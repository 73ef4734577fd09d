// Builds the panel from its form; the table's marker column is drawn like a grid's fixed column.
// Shows the run's stage and marks an averaging count that is no whole number.
#include "ui/calibration_panel.h"

#include "ui/condense.h"
#include "ui_calibration_panel.h"

#include <QPalette>
#include <QStyledItemDelegate>

namespace Main {

namespace {

const QString NotAWholeNumber = QStringLiteral("Введите целое число: пока здесь не число, "
                                               "значения D не учитываются");

QString DecimalComma(float value) {
    return QString::number(static_cast<double>(value), 'g', 4)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

class FixedColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = option->palette.button();
    }
};

} // namespace

CalibrationPanel::CalibrationPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::CalibrationPanel>()) {
    m_form->setupUi(this);
    Framework::Condense(m_form->i_par2_clb, QFont::SemiCondensed);
    Framework::Condense(m_form->LaClbStage, QFont::Condensed);
    m_form->StGrClb->setItemDelegateForColumn(0, new FixedColumnDelegate(m_form->StGrClb));
}

CalibrationPanel::~CalibrationPanel() = default;

void CalibrationPanel::ShowStage(bool running, bool meanReady, float mean) {
    QString caption;
    if (running) {
        caption = QStringLiteral("Идет калибровка D");
    } else {
        caption = QStringLiteral("Подключите меру емкости");
        if (meanReady)
            caption += QStringLiteral("<br><span style=\"font-size:8pt; font-weight:normal\">"
                                      "среднее D %1, поправка %2</span>")
                           .arg(DecimalComma(mean), DecimalComma(-mean));
    }
    m_form->LaClbStage->setText(caption);
}

void CalibrationPanel::ShowAveragingCount(bool whole) {
    QLineEdit *field = m_form->EdAverD;
    QPalette palette; // the window's own colours
    if (!whole) palette.setColor(QPalette::Base, QColor(255, 200, 200));
    field->setPalette(palette);
    field->setToolTip(whole ? QString() : NotAWholeNumber);
}

void CalibrationPanel::PlaceCursor() {
    QTableView *grid = m_form->StGrClb;
    m_placingCursor = true;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    m_placingCursor = false;
}

} // namespace Main
