// The fit's result dialog and its facade.
#include "ui/fit_dialog.h"

#include "ui_fit_dialog.h"

#include "ui/residual_chart/residual_chart.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>

#include <utility>

namespace Main {

namespace {

FitResultHandler &InstalledHandler() {
    static FitResultHandler handler;
    return handler;
}

} // namespace

FitDialog::FitDialog(const QString &text, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::FitDialog>()) {
    ui->setupUi(this);
    // The text lines its columns up with spaces.
    ui->FitText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->FitText->setPlainText(text);
    connect(ui->BuCopy, &QPushButton::clicked, this, [this] { copyText(); });
    connect(ui->BuClose, &QPushButton::clicked, this, &QDialog::close);
}

FitDialog::~FitDialog() = default;

QString FitDialog::text() const {
    return ui->FitText->toPlainText();
}

void FitDialog::copyText() {
    QGuiApplication::clipboard()->setText(text());
}

void FitDialog::setResiduals(const std::vector<FitResidual> &residuals) {
    QList<QPointF> real, imaginary;
    for (const FitResidual &r : residuals) {
        real.append(QPointF(r.frequency, r.real));
        imaginary.append(QPointF(r.frequency, r.imaginary));
    }
    ui->ChResiduals->setResiduals(real, imaginary);
}

void ShowFitResult(QWidget *parent, const QString &text,
                   const std::vector<FitResidual> &residuals) {
    if (const FitResultHandler &handler = InstalledHandler()) {
        handler(text);
        return;
    }
    if (parent) {
        const auto shown = parent->findChildren<FitDialog *>(QString(), Qt::FindDirectChildrenOnly);
        for (FitDialog *old : shown)
            old->close();
    }
    auto *dialog = new FitDialog(text, parent);
    dialog->setResiduals(residuals);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void SetFitResultHandler(FitResultHandler handler) {
    InstalledHandler() = std::move(handler);
}

} // namespace Main
