// Main window construction and start-up, the window's size and the switching of its panels.
#include "ui/main_window.h"

#include "core/session.h"
#include "export/recorder.h"
#include "ui/calibration_panel.h"
#include "ui/condense.h"
#include "ui/graph_panel.h"
#include "ui/key_panel.h"
#include "ui/main_state.h"
#include "ui/message_box.h"
#include "ui/pictures.h"
#include "ui/window_geometry.h"
#include "ui_main_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <QWindow>

namespace Main {

namespace {

constexpr int CompactWidth = 390;
constexpr int WideWidth = 1233;
constexpr int CompactHeight = 390;
constexpr int KeysHeight = 605;
constexpr int PanelHeight = 722;

QIcon WindowIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64})
        icon.addPixmap(Framework::RenderPicture(QStringLiteral(":/ui/impedix.svg"), {side, side}));
    return icon;
}

} // namespace

// The session outlives the window: it stops polling, as it did when the window owned it, and
// keeps no path to the message box that goes with the window.
Tb_tok::~Tb_tok() {
    m_core->Close();
    m_core->SetMessageSink(nullptr);
}

Tb_tok::Tb_tok(Core::Session &core, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_messages(std::make_unique<Framework::MessageBoxSink>()), m_core(&core), tmr(core.tmr),
      ui(std::make_unique<Ui::Tb_tok>()) {
    m_core->SetMessageSink(m_messages.get());
    ui->setupUi(this);
    move(6, 116);
    setWindowIcon(WindowIcon());
    for (QLabel *text : {ui->i_par1, ui->i_par2})
        Framework::Condense(text, QFont::SemiCondensed);
    Framework::Condense(ui->i_com, QFont::Condensed);
    Framework::Condense(ui->i_devace, QFont::Condensed);
    // The status line runs to some 85 characters and must be read whole in the compact window.
    QFont statusFont = ui->status->font();
    statusFont.setStretch(QFont::Condensed);
    statusFont.setPointSizeF(7.0);
    ui->status->setFont(statusFont);

    const struct {
        QLabel *picture;
        const char *resource;
    } circuits[] = {{ui->i_cs, ":/ui/circuit_cs.svg"},
                    {ui->i_ls, ":/ui/circuit_ls.svg"},
                    {ui->i_cp, ":/ui/circuit_cp.svg"},
                    {ui->i_lp, ":/ui/circuit_lp.svg"}};
    for (const auto &circuit : circuits)
        circuit.picture->setPixmap(Framework::RenderPicture(QString::fromLatin1(circuit.resource),
                                                            circuit.picture->size()));
    ui->ToolButton1->setIcon(QIcon(
        Framework::RenderPicture(QStringLiteral(":/ui/search.svg"), ui->ToolButton1->iconSize())));

    ConnectCycle();
    ConnectPanels();
    ConnectSearch();
    ConnectParameters();
    ConnectFrequency();
    ConnectConditions();
    ConnectKeys();
    ConnectLinkWatch();
    ConnectSweep();
    ConnectRecording();
    ConnectCalibration();
    ConnectExport();
    ConnectPlans();
    ConnectSwept();
    ConnectRunControl();
    ConnectShortcuts();
    ConnectRemote();
    ConnectCompensation();
    ConnectSorting();
    ConnectViews();
    ConnectLibrary();
    ShowControlTips();

    FormCreate();
    SearchInstrument();
    LoadFixture(); // the found model's data for the fixture, when kept
    // The frequency window is the start's, whatever the search found; the sweep shares it.
    m_core->TakeStartingValues();
    InitSweepPanel();
}

void Tb_tok::FormCreate() {
    ArrangeWindow();
    LoadCalibrationTable();
}

// Closing ends the program; polling stops at once so that no request goes out on the way. While
// a recording runs the window asks first (no, the default, keeps it open).
void Tb_tok::closeEvent(QCloseEvent *event) {
    if (m_core->Recorder().isRecording() &&
        !m_core->Ask(QStringLiteral("Идёт запись в файл\n%1\nОстановить запись и закрыть окно?")
                         .arg(QDir::toNativeSeparators(m_core->RecordingPath())),
                     QStringLiteral("Закрыть"), QStringLiteral("Отмена"))) {
        event->ignore();
        return;
    }
    if (m_settingsUsed) KeepSettings();
    m_core->Close();
    QMainWindow::closeEvent(event);
}

void Tb_tok::ConnectPanels() {
    connect(ui->ChBoKey, &QCheckBox::clicked, this, [this] { ChBoKeyClick(); });
    connect(ui->ChBoGraph, &QCheckBox::clicked, this, [this] { ChBoGraphClick(); });
    connect(ui->ChBoClb, &QCheckBox::clicked, this, [this] { ChBoClbClick(); });
}

// The window opens at the designed size for the panels that are ticked, as much of it as the
// screen holds, and can be resized and maximised from there down to what its controls need. The
// frame and title bar are the window manager's, so the sizes are those of the window's own area.
void Tb_tok::ArrangeWindow() {
    const int bars = ui->ToolBar1->height() + ui->status->height();
    int height = bars + CompactHeight;
    int width = CompactWidth;
    if (ui->ChBoKey->isChecked()) height = bars + KeysHeight;
    // The graph and the calibration panel share one place; their click handlers keep at most
    // one of them ticked.
    const bool side = ui->ChBoClb->isChecked() || ui->ChBoGraph->isChecked();
    if (side) {
        height = bars + PanelHeight;
        width = WideWidth;
    }
    const QSize least = LeastWindowSize(ui->ChBoKey->isChecked(), side, bars);
    setMinimumSize(least);
    if (isMaximized() || isFullScreen()) {
        PlaceSidePanels();
        return;
    }
    const QWindow *handle = windowHandle();
    const QMargins frame = isVisible() && handle ? handle->frameMargins() : AssumedWindowFrame;
    const QScreen *shown = screen();
    const QRect available =
        shown ? shown->availableGeometry() : QRect(pos(), QSize(width, height).grownBy(frame));
    // pos() is where the frame stands (the designed place), the window's own area inside it.
    const QRect wanted(pos() + QPoint(frame.left(), frame.top()), QSize(width, height));
    const QRect place = FitOnScreen(wanted, frame, available, least);
    resize(place.size());
    move(place.topLeft() - QPoint(frame.left(), frame.top()));
    PlaceSidePanels();
}

// The side panels take the room the window has beside the left part.
void Tb_tok::PlaceSidePanels() {
    // The central widget is all above the status bar; a hidden window lays it out only once shown.
    const QRect place = SidePanelPlace(size() - QSize(0, ui->status->height()));
    for (QWidget *panel : {static_cast<QWidget *>(ui->PaGraph), static_cast<QWidget *>(ui->PaClb)})
        panel->setGeometry(place);
}

void Tb_tok::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    PlaceSidePanels();
}

void Tb_tok::ChBoKeyClick() {
    ui->PaKey->setVisible(ui->ChBoKey->isChecked());
    ArrangeWindow();
}

void Tb_tok::ChBoGraphClick() {
    ShowSidePanel(ui->ChBoGraph, ui->PaGraph, ui->ChBoClb, ui->PaClb);
}

void Tb_tok::ChBoClbClick() {
    ShowSidePanel(ui->ChBoClb, ui->PaClb, ui->ChBoGraph, ui->PaGraph);
}

// The graph and the calibration panel share one place: ticking one puts the other away, and
// unticking the other box runs its own handler.
void Tb_tok::ShowSidePanel(QCheckBox *box, QWidget *panel, QCheckBox *otherBox,
                           QWidget *otherPanel) {
    if (box->isChecked()) {
        panel->show();
        otherPanel->hide();
        if (otherBox->isChecked()) otherBox->click(); // unticks it and runs its handler
    } else {
        panel->hide();
    }
    ArrangeWindow();
}

} // namespace Main
