// Builds the sorting panel from its form, reads its plan fields and shows what the core reports.
#include "ui/sort_panel.h"

#include "ui_sort_panel.h"

#include "sorting/plan_file.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidgetItem>

namespace Main {

namespace {

QString Cell(const QTableWidget *table, int row, int column) {
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

void SetCell(QTableWidget *table, int row, int column, const QString &text) {
    QTableWidgetItem *item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(text);
}

} // namespace

SortPanel::SortPanel(QWidget *parent) : QFrame(parent), m_form(std::make_unique<Ui::SortPanel>()) {
    m_form->setupUi(this);
    for (int q = 0; q < 14; ++q) {
        m_form->CbSortPrimary->addItem(Sort::QuantityName(q));
        m_form->CbSortSecondary->addItem(Sort::QuantityName(q));
    }
    QTableWidget *bins = m_form->TwSortBins;
    bins->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // All nine rows at once, nothing to scroll.
    bins->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bins->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bins->setFixedHeight(bins->horizontalHeader()->sizeHint().height() +
                         bins->rowCount() * bins->verticalHeader()->defaultSectionSize() +
                         2 * bins->frameWidth());
    m_form->LaSortProblem->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_form->LaSortProblem->hide();
    ShowPlan(Sort::Plan{});
    ShowVerdict({}, Sort::Plan{});
    ShowCounts({}, Sort::Plan{});
}

SortPanel::~SortPanel() = default;

PlanFields SortPanel::Fields() const {
    PlanFields fields;
    fields.primary = m_form->CbSortPrimary->currentIndex();
    fields.mode = m_form->CbSortMode->currentIndex();
    fields.nominal = m_form->EdSortNominal->text();
    const QTableWidget *bins = m_form->TwSortBins;
    for (int row = 0; row < bins->rowCount(); ++row)
        fields.bins.append({Cell(bins, row, 0), Cell(bins, row, 1)});
    fields.secondary = m_form->CbSortSecondary->currentIndex();
    fields.secondaryLow = m_form->EdSortSecLow->text();
    fields.secondaryHigh = m_form->EdSortSecHigh->text();
    fields.aux = m_form->ChBoSortAux->isChecked();
    return fields;
}

void SortPanel::ShowPlan(const Sort::Plan &plan) {
    // The same plan again (the counts reset, the comparator switched) leaves typing alone.
    const QByteArray text = Sort::WritePlanText(plan, {});
    if (text == m_shownPlan) return;
    m_shownPlan = text;
    const PlanFields fields = PlanToFields(plan);
    m_form->CbSortPrimary->setCurrentIndex(fields.primary);
    m_form->CbSortMode->setCurrentIndex(fields.mode);
    m_form->EdSortNominal->setText(fields.nominal);
    QTableWidget *bins = m_form->TwSortBins;
    for (int row = 0; row < bins->rowCount(); ++row) {
        const bool held = row < fields.bins.size();
        SetCell(bins, row, 0, held ? fields.bins[row].first : QString());
        SetCell(bins, row, 1, held ? fields.bins[row].second : QString());
    }
    m_form->CbSortSecondary->setCurrentIndex(fields.secondary);
    m_form->EdSortSecLow->setText(fields.secondaryLow);
    m_form->EdSortSecHigh->setText(fields.secondaryHigh);
    m_form->ChBoSortAux->setChecked(fields.aux);
}

void SortPanel::ShowVerdict(const Sort::Verdict &verdict, const Sort::Plan &plan) {
    QLabel *label = m_form->LaVerdict;
    label->setText(VerdictText(verdict, plan));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, VerdictColour(verdict));
    palette.setColor(QPalette::WindowText, verdict.counts() ? Qt::white : Qt::black);
    label->setPalette(palette);
}

void SortPanel::ShowCounts(const Sort::Counts &counts, const Sort::Plan &plan) {
    QString rows;
    for (const auto &row : CountRows(counts, plan))
        rows += QStringLiteral("<tr><td>%1</td><td align=\"right\">&nbsp;&nbsp;%2</td></tr>")
                    .arg(row.first.toHtmlEscaped(), row.second.toHtmlEscaped());
    m_form->LaSortCounts->setText(QStringLiteral("<table>%1</table>").arg(rows));
}

void SortPanel::ShowSorting(bool on) {
    const QSignalBlocker quiet(m_form->ChBoSortOn);
    m_form->ChBoSortOn->setChecked(on);
}

void SortPanel::ShowProblem(const QString &problem) {
    m_form->LaSortProblem->setText(problem);
    m_form->LaSortProblem->setVisible(!problem.isEmpty());
}

} // namespace Main
