#include "ui/print_size_dialog.h"

#include "ui/print_text.h"
#include "ui_print_size_dialog.h"

#include <QPushButton>

namespace Main {

namespace {

PrintSizeHandler &Handler() {
    static PrintSizeHandler handler;
    return handler;
}

} // namespace

PrintSizeDialog::PrintSizeDialog(const QSize &size, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::PrintSizeDialog>()) {
    ui->setupUi(this);
    for (QSpinBox *side : {ui->SbWidth, ui->SbHeight}) {
        side->setRange(LeastPrintSide, GreatestPrintSide);
        side->setSuffix(QStringLiteral(" пикс."));
    }
    const QSize start = UsablePrintSize(size);
    ui->SbWidth->setValue(start.width());
    ui->SbHeight->setValue(start.height());
    ui->CbPreset->addItem(QStringLiteral("свой"));
    for (const PrintPreset &preset : PrintPresets()) {
        ui->CbPreset->addItem(preset.name, preset.size);
        if (preset.size == start) ui->CbPreset->setCurrentIndex(ui->CbPreset->count() - 1);
    }
    ui->BbPrintSize->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    ui->BbPrintSize->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(ui->CbPreset, &QComboBox::activated, this, &PrintSizeDialog::takePreset);
    connect(ui->BbPrintSize, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->BbPrintSize, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PrintSizeDialog::~PrintSizeDialog() = default;

void PrintSizeDialog::takePreset(int index) {
    const QSize size = ui->CbPreset->itemData(index).toSize();
    if (!size.isValid()) return;
    ui->SbWidth->setValue(size.width());
    ui->SbHeight->setValue(size.height());
}

QSize PrintSizeDialog::chosen() const {
    return QSize(ui->SbWidth->value(), ui->SbHeight->value());
}

std::optional<QSize> AskPrintSize(QWidget *parent, const QSize &size) {
    if (Handler()) return Handler()(size);
    PrintSizeDialog dialog(size, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosen();
}

void SetPrintSizeHandler(PrintSizeHandler handler) {
    Handler() = std::move(handler);
}

} // namespace Main
