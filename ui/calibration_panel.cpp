// Builds the panel from its form; the table's marker column is drawn like a grid's fixed column.
#include "ui/calibration_panel.h"

#include "ui/condense.h"
#include "ui_calibration_panel.h"

#include <QStyledItemDelegate>

namespace Main {

namespace {

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

} // namespace Main
