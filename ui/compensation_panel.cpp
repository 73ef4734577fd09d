// Builds the compensation panel from its form and shows the data and runs the core reports.
#include "ui/compensation_panel.h"

#include "ui/compensation_text.h"
#include "ui_compensation_panel.h"

#include <QSignalBlocker>

namespace Main {

namespace {

// A field the user is typing in keeps the typing.
void ShowField(QLineEdit *field, const QString &text) {
    if (!field->hasFocus() && field->text() != text) field->setText(text);
}

} // namespace

CompensationPanel::CompensationPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::CompensationPanel>()) {
    m_form->setupUi(this);
    ShowRun(false);
}

CompensationPanel::~CompensationPanel() = default;

CompensationPanel::Span CompensationPanel::ChosenSpan() const {
    if (m_form->RbCompSweep->isChecked()) return Span::Sweep;
    if (m_form->RbCompSpot->isChecked()) return Span::Spot;
    return Span::Grid;
}

unsigned CompensationPanel::TickedKinds() const {
    unsigned kinds = Comp::NoCorrection;
    if (m_form->ChBoOpen->isChecked()) kinds |= Comp::OpenCorrection;
    if (m_form->ChBoShort->isChecked()) kinds |= Comp::ShortCorrection;
    if (m_form->ChBoLoad->isChecked()) kinds |= Comp::LoadCorrection;
    return kinds;
}

void CompensationPanel::ShowData(const Comp::Compensation &data) {
    const struct {
        QCheckBox *box;
        QLabel *held;
        const Comp::Trace &trace;
        Comp::Kind kind;
    } rows[] = {{m_form->ChBoOpen, m_form->LaOpen, data.open, Comp::OpenCorrection},
                {m_form->ChBoShort, m_form->LaShort, data.shorted, Comp::ShortCorrection},
                {m_form->ChBoLoad, m_form->LaLoad, data.load, Comp::LoadCorrection}};
    for (const auto &row : rows) {
        const QSignalBlocker quiet(row.box);
        row.box->setChecked((data.enabled & row.kind) != 0);
        row.held->setText(TraceSummary(row.trace));
    }
    if (data.standard.valid() &&
        data.standard.form == Comp::LoadStandard::Form::ResistanceReactance) {
        ShowField(m_form->EdLoadR, NumberText(data.standard.first));
        ShowField(m_form->EdLoadX, NumberText(data.standard.second));
    }
    ShowField(m_form->EdFixture, data.fixture);
}

void CompensationPanel::ShowRun(bool running) {
    m_form->PbComp->setVisible(running);
    m_form->BuStopComp->setVisible(running);
    for (QWidget *idle :
         {static_cast<QWidget *>(m_form->BuMeasureOpen),
          static_cast<QWidget *>(m_form->BuMeasureShort),
          static_cast<QWidget *>(m_form->BuMeasureLoad),
          static_cast<QWidget *>(m_form->BuClearComp), static_cast<QWidget *>(m_form->GrBoCompSpan),
          static_cast<QWidget *>(m_form->EdFixture)})
        idle->setEnabled(!running);
    if (running) ShowProgress(0, 1);
}

void CompensationPanel::ShowProgress(int done, int total) {
    m_form->PbComp->setRange(0, total > 0 ? total : 1);
    m_form->PbComp->setValue(done);
}

} // namespace Main
