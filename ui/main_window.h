// The main window Tb_tok of unit Main: the designed form, start-up, panel switching and the
// handlers of every control. The implementation is split by concern into main_window_*.cpp.
#pragma once

#include "compensation/correction.h"
#include "core/sweep_context.h"
#include "export/csv.h"
#include "fit/circuit_fit.h"
#include "sweep/reference_trace.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_planner.h"
#include "ui/file_dialog.h"
#include "ui/sweep_views.h"
#include "ui/up_down.h"

#include <QList>
#include <QMainWindow>
#include <QPointF>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace Chart {
struct MarkerSpot;
}

namespace Ui {
class Tb_tok;
}

namespace Library {
class SweepLibrary;
struct KeptSweep;
struct Outcome;
} // namespace Library

namespace Core {
class Session;
class SweepKeeper;
class MessageSink;
struct TickResult;
struct SearchResult;
struct PortChoice;
} // namespace Core

namespace Main {

class CompensationPanel;
struct FitOutcome;
class FitRunner;
class LibraryPanel;
class SortPanel;
class SweepViewsPanel;

class Tb_tok : public QMainWindow {
    Q_OBJECT

public:
    // core: the program's measuring session, which the window shows and drives. It must outlive
    // the window; other front ends (the SCPI server) may act on it beside the window.
    explicit Tb_tok(Core::Session &core, QWidget *parent = nullptr);
    ~Tb_tok() override;

    // The session the window shows (not owned).
    Core::Session &Session() const { return *m_core; }

    // Takes what the program's settings keep (window geometry, print size, export folder) and
    // keeps them again on closing; without it the window neither reads nor writes settings.
    void UseSettings();

private:
    std::unique_ptr<Core::MessageSink> m_messages; // the message box, for the core's messages
    Core::Session *const m_core;                   // not owned

public:
    // "SCPI: N" in the status bar while N remote clients are connected; hidden at 0.
    void ShowRemoteClients(int count);
    // Asked before a condition control sends: true while a run of a SCPI client holds them.
    void GuardClientRuns(std::function<bool()> clientRunGoing);

    QTimer &tmr; // the core's measurement timer: 40 ms from the end of one tick to the next

    // Window and panels (main_window.cpp)
    void ArrangeWindow();
    void ChBoKeyClick();
    void ChBoGraphClick();
    void ChBoClbClick();

    // Calibration panel (main_window_calibration.cpp)
    void LoadCalibrationTable();
    void BuStartClbClick();
    void BuOpenFileClick();
    void BuSaveFileClick();
    void StGrClbSelectCell(int ACol, int ARow);
    void EdAverDChange();

    // Port choice and instrument search (main_window_search.cpp)
    bool SearchInstrument();
    void ToolButton1Click();
    void i_comChange(int index);
    bool i_comPathTyped(const QString &typed);
    void ShowPortChoice(const Core::PortChoice &choice, const QString &path);

    // Measurement cycle (main_window_cycle.cpp)
    void tmrTimer();
    QString StatusLine() const;

    // State of the line (main_window_link.cpp): silence shown on the readouts and in the status
    // line, a lost port reopened, reasons for ports that cannot be opened.
    void ShowLinkState(const Core::TickResult &result);
    void ShowPortResult(const QString &text);

    // Parameter choice and equivalent circuit (main_window_params.cpp)
    void b_par1Change(int index);
    void b_par2Change(int index);
    void b_aparClick();
    void b_serialClick();
    void b_paralClick();

    // Test conditions (main_window_frequency.cpp, main_window_conditions.cpp)
    void i_freqChange();
    void ApplyTypedFrequency();
    void RestoreFrequencyField();
    void ShowCurrentFrequency();
    void ShowFrequencyBound(const QString &text); // empty: nothing said
    void b_freq_stepClick(Framework::UpDown::Direction direction);
    void b_freq_incrClick(Framework::UpDown::Direction direction);
    void b_bias_softClick(Framework::UpDown::Direction direction);
    void b_bias_hardClick(Framework::UpDown::Direction direction);
    void RadioButton1Click(bool selected);
    void RadioButton2Click(bool selected);
    void b_avponClick();
    void i_diapChange(int index);
    void i_diapEnter();
    void b_levelChange(int index);
    void RadioButton3Click(bool selected);
    void RadioButton4Click(bool selected);
    void b_initClick();
    void Button1Click();

    // Frequency sweep and graph (main_window_sweep.cpp, main_window_graph.cpp)
    void ChBoFClick();
    void bgrafClick();
    void p1onClick();
    void p2onClick();
    void PrepareSweepGraph();
    void RedrawGraph();

    // Run control beside START (main_window_run.cpp): "Стоп" ends any run where it is; the
    // progress k / N; a finished run drawn again for another parameter or circuit.
    void BuStopSweepClick();
    void ShowRunProgress();
    void RedrawTakenRun();

    // What a run sweeps (main_window_swept.cpp): b_swept's choice; START over a bias or level run
    // going stops it.
    void b_sweptChange(int index);
    Sweep::Quantity SweptQuantity() const;

    // Point plans, reference and markers (main_window_plans.cpp)
    enum class DeviationView { Off, Delta, Percent };
    void BuListFileClick();
    void ChBoLogAxisClick();
    void HoldReference();
    void ClearReference();
    void ShowDeviation(DeviationView view);
    void PlaceExtremeMarkers();
    void PlaceResonanceMarker();
    const Sweep::ReferenceTrace &Reference() const { return m_reference; }

    // Equivalent-circuit fit of the taken points (main_window_fit.cpp): model is a model's name,
    // "auto" or a circuit string. The fit runs off the window's thread (FitRunning until its
    // result is shown in its dialog and its curves over the points); none while another runs.
    void FitSweep(const QString &model);
    // "Схема…": asks for a circuit string (the last one typed in this session first).
    void AskCircuit();
    // Fits text as a circuit string; one that does not parse is said with its position.
    void FitCircuitString(const QString &text);
    void ClearFit();
    const std::optional<Fit::FitResult> &FitShown() const { return m_fit; }
    bool FitRunning() const;

    // Recording to a CSV file (main_window_record.cpp)
    void b_recordClick(bool checked);
    // Appends every accepted frame to path from now on; false, with a message, when the file
    // cannot be opened or written. A file with other columns is kept, and a message names the
    // file beside it that the recording goes to.
    bool StartRecording(const QString &path, Export::CsvDialect dialect = Export::CommaDialect());
    void StopRecording();

    // Fixture compensation (main_window_compensation.cpp): the panel PaComp in a window of its
    // own, opened by the tool-bar button b_compensation; the status bar's LaCompensation.
    void b_compensationClick();
    void BuMeasureCompClick(Comp::Kind kind);
    void ChBoCompClick();
    void BuStopCompClick();
    void BuClearCompClick();
    void EdLoadStandardChange();
    void EdFixtureChange();
    // The fixture's file for the found meter, when there is one; a damaged one is said.
    void LoadFixture();

    // Sorting parts (main_window_sorting.cpp): the panel PaSort in a window of its own, opened by
    // the tool-bar button b_sorting. A plan applied is kept for the next run (SortPlanPath).
    void b_sortingClick();
    bool ApplySortFields(); // false, said on the panel, for a plan that cannot be used
    void ChBoSortOnClick(bool on);
    void BuSortNowClick();
    void BuSortLogClick();

    // The library of kept sweeps (main_window_library.cpp): the panel PaLibrary in a window of its
    // own, opened by the tool-bar button b_library. The program hands the library and the keeper
    // that keeps each run in it (both outlive the window); a window without them (or with a
    // library that was refused) keeps and writes nothing.
    void UseLibrary(Library::SweepLibrary *library, Core::SweepKeeper *keeper);
    void b_libraryClick();
    void RefreshLibrary();
    bool ReopenKept(qint64 id); // as the current sweep; false, said, while a run goes
    bool UseKeptAsReference(qint64 id);
    bool ImportSweepFile(const QString &path); // read and kept; a refusal said on the panel
    void BuLibImportClick();
    void BuLibDeleteClick(); // asks first

    // Kept sweeps laid over the graph and the views (main_window_overlays.cpp): at most
    // Views::OverlaySet::Limit at once; false, said on the panel, for one more or an unreadable
    // one.
    bool SetOverlay(qint64 id, bool on);
    void ClearOverlays();
    const Views::OverlaySet &Overlays() const { return m_overlays; }
    // The Nyquist (tab 0) or Bode (tab 1) view in its window, showing the current sweep and the
    // overlaid ones.
    void ShowViews(int tab);

    // Export of the sweep from the chart's context menu (main_window_export.cpp)
    enum class GraphPicture { Png, Svg };
    void grafikContextPopup(const QPoint &pos);
    void SaveSweepData();
    void SaveGraphPicture(GraphPicture kind);
    void CopySweepData();
    void SaveViewPicture(GraphPicture kind); // the shown Nyquist or Bode view

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::Tb_tok> ui; // the designed form; tests reach controls by objectName

    void FormCreate();
    void ConnectPanels();
    void ShowSidePanel(QCheckBox *box, QWidget *panel, QCheckBox *otherBox, QWidget *otherPanel);
    void ConnectSearch();
    void ConnectParameters();
    void ConnectFrequency();
    void ConnectConditions();
    void ConnectKeys();
    void ConnectSweep();
    void InitSweepPanel();
    void ConnectRecording();
    void ConnectCalibration();
    void ShowCalibrationReadout();
    void ConnectExport();
    void ConnectPlans();
    void ConnectSwept();
    void ConnectRunControl();
    void ConnectShortcuts();
    void ShowControlTips();
    void PlaceSidePanels();
    void ShowStartButton();
    void StartQuantityRunFromFields();
    bool ReferenceMatches() const;
    const Sweep::ReferenceTrace &ExportedReference() const;
    void AddPlanActions(QMenu *menu);
    void AddFitActions(QMenu *menu);
    void ShowFitOutcome(const FitOutcome &outcome);
    void ShowFittedCurves(const bool shown[2], bool deviation);
    void ShowConnectionBreaks();
    bool PlanSweep();
    QString MarkerText(const Chart::MarkerSpot &spot, const Chart::MarkerSpot *first) const;
    QList<QPointF> ComparedPoints(int series, int parameter, const float *plotted) const;

    void ConnectCycle();
    void ConnectRemote();
    void ConnectCompensation();
    void ShowCompensation();
    void ShowCompensationStatus();
    std::vector<double> CompensationFrequencies();
    void ConnectSorting();
    void LoadSortPlan();
    void ShowSorting();
    void ShowSortResult();
    void ShowSortLimits(const bool shown[2], bool deviation);
    void ConnectLibrary();
    void ConnectViews();
    void ConnectLibraryPanel();
    void SayOnLibrary(const QString &text);
    bool LoadKept(qint64 id, Library::KeptSweep &sweep);
    bool LibraryChanged(const Library::Outcome &outcome);
    void ShowOverlays(const bool shown[2], bool deviation);
    // Lin or log value axes for the shown parameters (a log axis only where the parameter allows
    // it and no deviation is shown); returns which series are on a log axis.
    void ShowValueScale(const bool shown[2], bool deviation, bool logY[2]);
    void ShowLogLeftOut(int count); // 0: nothing said
    void ShowViewCurves();
    bool AcceptSweepFields();
    Sweep::Spacing ChosenSpacing() const;
    void FollowConditions();
    bool ClientRunRefuses(); // said in the status bar, the controls put back
    std::function<bool()> m_clientRunGoing;
    void SynchroniseControls();
    void ShowTick(const Core::TickResult &result);
    void ShowRange();
    void ShowReadouts();
    void ShowCircuitPicture();
    void ShowAutoRange(bool on);
    void ShowBias();
    void ShowFrequencyLine();
    bool ReadSweepField(QLineEdit *field, int &value);
    void SetMarkerRange(int last);
    void ShowRecording();
    bool SweepTaken();
    Framework::SaveFileChoice AskExportFile(const QString &caption, const QString &suffix,
                                            const QStringList &filters);
    bool SaveExport(const QString &path, const QByteArray &bytes);
    Core::SweepContext ExportContext() const;
    QString PrintTitleText() const;
    void RestoreGeometry();
    void KeepSettings();

    void ConnectLinkWatch();
    void ShowMeter(const Core::SearchResult &found);
    QList<QWidget *> Readouts() const;

    bool m_frequencyEdited = false;       // i_freq holds typed text not yet applied
    QLabel *m_frequencyBound = nullptr;   // in the status bar after a bounded entry
    QLabel *m_logLeftOut = nullptr;       // in the status bar: points a log Y axis leaves out
    bool m_pointInHand = false;           // a redraw for the point the tick has just stored
    QList<QPointF> m_plotPoints[2];       // the points of each series, kept between redraws
    float m_plotFactor[2] = {1.0f, 1.0f}; // what each plotted value was divided by
    Sweep::ReferenceTrace m_reference;    // held from the menu; survives a new START
    Sweep::Quantity m_referenceQuantity = Sweep::Quantity::Frequency; // what its run swept
    std::vector<double> m_referenceAxis;    // its points' places along a bias or level axis (V)
    static constexpr int SweptChoices = 3;  // the entries of b_swept
    int m_sweptIndex = 0;                   // b_swept's entry the fields were typed for
    QString m_sweptFields[SweptChoices][2]; // istart and istop as last typed for each entry
    DeviationView m_deviation = DeviationView::Off;
    std::optional<Fit::FitResult> m_fit;     // drawn until a new START, a new fit or the reset
    FitRunner *m_fitRunner = nullptr;        // fits off the window's thread; made at the first
    QString m_lastCircuit;                   // the circuit string last asked for
    QString m_listPath;                      // the frequency list file of a list run
    std::vector<std::int32_t> m_plannedList; // read at START
    QLabel *m_remoteStatus = nullptr;        // permanent in the status bar while clients are on
    QLabel *m_recordStatus = nullptr;        // permanent in the status bar while recording
    QString m_exportFolder;                  // where the last export went
    QSize m_printSize;                       // of the chart's pictures, as last chosen
    bool m_settingsUsed = false;             // UseSettings: settings read and kept
    std::optional<Core::SweepContext> m_sweepContext; // the shown sweep's, once it has ended

    CompensationPanel *m_compPanel = nullptr; // a window of its own, the main window's child
    QLabel *m_compStatus = nullptr;           // permanent in the status bar while a kind is on
    SortPanel *m_sortPanel = nullptr;         // a window of its own, the main window's child

    Library::SweepLibrary *m_library = nullptr; // the program's, when it handed one
    LibraryPanel *m_libraryPanel = nullptr;     // a window of its own, the main window's child
    QLabel *m_libraryStatus = nullptr;          // permanent in the status bar: a run not kept
    SweepViewsPanel *m_viewsPanel = nullptr;    // likewise
    // An overlaid kept sweep: its points, and as the graph compares a held run (by frequency,
    // or along its bias or level axis).
    struct Overlaid {
        QString name;
        Exchange::SweepData data;
        Sweep::ReferenceTrace trace;
        std::vector<double> axis;
    };
    Views::OverlaySet m_overlays;
    std::map<qint64, Overlaid> m_overlaid;
    // What the overlays on the graph were last drawn for: a redraw during a run that changes none
    // of it leaves them as they are. Cleared when an overlay comes, goes or is renamed.
    struct OverlayView {
        QVector<qint64> ids;
        bool shown[2] = {};
        bool drawn = false; // the overlays' quantity matched and no deviation view
        int parameter[2] = {};
        float factor[2] = {};
        Sweep::Quantity quantity = Sweep::Quantity::Frequency;
        bool operator==(const OverlayView &o) const {
            return ids == o.ids && shown[0] == o.shown[0] && shown[1] == o.shown[1] &&
                   drawn == o.drawn && parameter[0] == o.parameter[0] &&
                   parameter[1] == o.parameter[1] && factor[0] == o.factor[0] &&
                   factor[1] == o.factor[1] && quantity == o.quantity;
        }
    };
    std::optional<OverlayView> m_overlayView;

    bool m_silent = false;     // readouts shown disabled: no frame for a while
    bool m_statusHeld = false; // the status shows a search or port result until a frame comes
};

} // namespace Main
