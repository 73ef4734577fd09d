// The size of a chart picture for a report: presets and width × height in pixels. Tests install
// a handler instead of the dialog.
#pragma once

#include <QDialog>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class PrintSizeDialog;
}

namespace Main {

class PrintSizeDialog : public QDialog {
    Q_OBJECT
public:
    PrintSizeDialog(const QSize &size, QWidget *parent = nullptr);
    ~PrintSizeDialog() override;
    QSize chosen() const;

private:
    void takePreset(int index);
    std::unique_ptr<Ui::PrintSizeDialog> ui;
};

// The size chosen starting from size, or nothing when cancelled.
std::optional<QSize> AskPrintSize(QWidget *parent, const QSize &size);

using PrintSizeHandler = std::function<std::optional<QSize>(const QSize &offered)>;
// An empty handler restores the dialog.
void SetPrintSizeHandler(PrintSizeHandler handler);

} // namespace Main
