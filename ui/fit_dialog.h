#pragma once
// The result of an equivalent-circuit fit: its text, a button that copies it and one that closes
// the dialog. Shown without a modal loop, so the window goes on polling while it is up.

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

private:
    std::unique_ptr<Ui::FitDialog> ui;
};

// Shows text in a FitDialog that deletes itself on closing (one at a time: a new result replaces
// the one shown), or hands it to the installed handler instead.
using FitResultHandler = std::function<void(const QString &text)>;
void ShowFitResult(QWidget *parent, const QString &text);
// An empty handler restores the dialog.
void SetFitResultHandler(FitResultHandler handler);

} // namespace Main
