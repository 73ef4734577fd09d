#pragma once
// The result of an equivalent-circuit fit: its text, the chart of its residuals under it, a button
// that copies the text and one that closes the dialog. Shown without a modal loop, so the window
// goes on polling while it is up.

#include "ui/fit_residuals.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class FitDialog;
}

namespace Main {

class FitDialog : public QDialog {
    Q_OBJECT

public:
    explicit FitDialog(const QString &text, QWidget *parent = nullptr);
    ~FitDialog() override;

    QString text() const;
    void copyText(); // to the clipboard
    void setResiduals(const std::vector<FitResidual> &residuals);

private:
    std::unique_ptr<Ui::FitDialog> ui;
};

// Shows text and the residuals in a FitDialog that deletes itself on closing (one at a time: a new
// result replaces the one shown), or hands the text to the installed handler instead.
using FitResultHandler = std::function<void(const QString &text)>;
void ShowFitResult(QWidget *parent, const QString &text,
                   const std::vector<FitResidual> &residuals = {});
// An empty handler restores the dialog.
void SetFitResultHandler(FitResultHandler handler);

} // namespace Main
