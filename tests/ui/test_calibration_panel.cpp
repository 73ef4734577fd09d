// The calibration panel in the window: its layout, showing it, the table loaded at start-up and
// by "Open", saved by "Save", the grid's marker and rows, the corrected readout and the averaging
// run over a live meter, and the --table option.
#include "app/command_line.h"
#include "core/session.h"
#include "link/device.h"
#include "tests/common/peer.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"
#include "ui/message_box.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestWindow;
using namespace TestPeer;

namespace {

QTableView *Grid(Main::Tb_tok &w) {
    return Find<QTableView>(w, "StGrClb");
}

QString Caption(Main::Tb_tok &w) {
    return Find<QLabel>(w, "LaClbStage")->text();
}

// One tick that reads a frame, with the timer left off, so that no tick runs unless the test
// asks for it. On a busy machine an answer can come after the read gave up; the tick is made
// again, as polling does, until a frame came or the deadline passed.
void Tick(Main::Tb_tok &w) {
    const QDeadlineTimer deadline(10000);
    while (!w.Session().Tick().accepted && !deadline.hasExpired()) {
    }
    w.tmr.stop();
}

void ClickCell(QTableView *grid, int row, int column) {
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

bool WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

const QByteArray TwoRows("0\t1e9\t0,0005\r\r\n2e9\t3e9\t1\r\r\n\t\t\r\r\n");

} // namespace

class TestCalibrationPanel : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_previousDirectory;

private slots:
    // Every test runs in a directory of its own: the window reads DataBase.txt from there.
    void init() {
        QVERIFY(m_dir.isValid());
        m_previousDirectory = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QFile::remove(QStringLiteral("DataBase.txt"));
    }
    void cleanup() { QDir::setCurrent(m_previousDirectory); }

    void controlsAtTheirDesignedPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        QTest::newRow("Panel2") << "Panel2" << QRect(8, 8, 233, 57) << "";
        QTest::newRow("i_par2_clb") << "i_par2_clb" << QRect(16, 12, 0, 0) << "D  0.00000";
        QTest::newRow("BuStartClb") << "BuStartClb" << QRect(56, 80, 75, 25) << "Старт";
        QTest::newRow("LaClbStage")
            << "LaClbStage" << QRect(32, 112, 0, 0) << "Подключите меру емкости";
        QTest::newRow("Label8") << "Label8" << QRect(16, 152, 0, 0) << "Aver, D";
        QTest::newRow("EdAverD") << "EdAverD" << QRect(56, 144, 121, 28) << "5";
        QTest::newRow("StGrClb") << "StGrClb" << QRect(264, 8, 417, 673) << "";
        QTest::newRow("BuOpenFile") << "BuOpenFile" << QRect(704, 24, 75, 25) << "Open";
        QTest::newRow("BuSaveFile") << "BuSaveFile" << QRect(704, 64, 75, 25) << "Save";
    }
    void controlsAtTheirDesignedPlaces() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, text);
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QWidget *control = w.findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->pos(), place.topLeft());
        if (place.width() > 0) QCOMPARE(control->size(), place.size());
        QCOMPARE(control->property("text").toString(), text);
        QWidget *panel = Find<QWidget>(w, "PaClb");
        QVERIFY(panel->isAncestorOf(control));
        QVERIFY(panel->isHidden());
    }

    void gridHasTheDesignedColumns() {
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QTableView *grid = Grid(w);
        QCOMPARE(grid->model()->columnCount(), 4);
        for (int column = 0; column < 4; ++column)
            QCOMPARE(grid->columnWidth(column), 100);
        QCOMPARE(grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(grid->horizontalHeader()->isHidden() && grid->verticalHeader()->isHidden());
    }

    void tickingShowsThePanelAndPutsTheGraphAway() {
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        auto *graphBox = Find<QCheckBox>(w, "ChBoGraph");
        auto *clbBox = Find<QCheckBox>(w, "ChBoClb");
        QWidget *graph = Find<QWidget>(w, "PaGraph");
        QWidget *panel = Find<QWidget>(w, "PaClb");
        const int bars =
            Find<QWidget>(w, "ToolBar1")->height() + Find<QWidget>(w, "status")->height();
        graphBox->click();
        QVERIFY(!graph->isHidden());
        clbBox->click();
        QVERIFY(!graphBox->isChecked());
        QVERIFY(graph->isHidden());
        QVERIFY(!panel->isHidden());
        QCOMPARE(panel->geometry(), QRect(384, 32, 825, 689));
        QCOMPARE(w.size(), QSize(1233, bars + 722));
        graphBox->click(); // and the other way round
        QVERIFY(!clbBox->isChecked() && panel->isHidden() && !graph->isHidden());
        graphBox->click();
        QCOMPARE(w.size(), QSize(390, bars + 390));
    }

    void startupLoadsTheTableOfTheCurrentDirectory() {
        {
            Fixture fixture;
            Main::Tb_tok &w = fixture.Start();
            QCOMPARE(Grid(w)->model()->rowCount(), 1);
            QCOMPARE(Device::ClbTable().MarkerRow(), -1);
        }
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), TwoRows));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QAbstractItemModel *model = Grid(w)->model();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("   *****"));
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("0,0005"));
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("2e9"));
    }

    void selectingCellsMovesTheMarkerAndGrowsTheTable() {
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), TwoRows));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        Find<QCheckBox>(w, "ChBoClb")->click();
        QTableView *grid = Grid(w);
        ClickCell(grid, 1, 2);
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(Device::ClbTable().MarkerRow(), 1);
        QCOMPARE(grid->model()->index(0, 0).data().toString(), QString());
        ClickCell(grid, 2, 3); // the last row
        QCOMPARE(grid->model()->rowCount(), 4);
        QCOMPARE(Device::ClbTable().MarkerRow(), 2);
        // Typing into the new last row keeps the text as typed.
        ClickCell(grid, 3, 1);
        QCOMPARE(grid->model()->rowCount(), 5);
        grid->edit(grid->currentIndex());
        auto *editor = grid->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral(" 5,5"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Device::ClbTable().Cell(3, 1), QStringLiteral(" 5,5")); // committed queued
    }

    // A new window's grid has its cursor in the only row; clicking that cell selects it too.
    void clickingTheCurrentCellSelectsIt() {
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        Find<QCheckBox>(w, "ChBoClb")->click();
        QTableView *grid = Grid(w);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));
        QCOMPARE(Device::ClbTable().MarkerRow(), -1);
        ClickCell(grid, 0, 1);
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(Device::ClbTable().MarkerRow(), 0);
    }

    void correctedReadoutAndAveragingRun() {
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), TwoRows));
        ScriptedMeter meter; // 1000 ohm at -1.4 rad: C about 161.5 nF, D = cot 1.4 = 0.17248
        meter.phase = -1.4f;
        Fixture fixture;
        fixture.AddPeer(1, meter.responder());
        Main::Tb_tok &w = fixture.Start();
        Tick(w);
        QCOMPARE(Main::Param2Index, int(Device::ParD));
        auto *readout = Find<QLabel>(w, "i_par2_clb");
        QCOMPARE(readout->text(),
                 QString::fromLatin1(Device::CorrectedParameterText[Device::ParD]));
        QCOMPARE(Device::DCorrection, 0.0005f);
        QVERIFY(readout->text() != Find<QLabel>(w, "i_par2")->text());

        Find<QLineEdit>(w, "EdAverD")->setText(QStringLiteral("2"));
        Find<QPushButton>(w, "BuStartClb")->click();
        QCOMPARE(Caption(w), QStringLiteral("Идет калибровка D"));
        Tick(w);
        Find<QPushButton>(w, "BuStartClb")->click(); // ignored during the run
        QCOMPARE(Device::ClbSampleCount, 1.0f);
        Find<QCheckBox>(w, "ChBoClb")->click(); // showing and hiding the panel does not matter
        Find<QCheckBox>(w, "ChBoClb")->click();
        Tick(w);
        QCOMPARE(Device::ClbStage, Device::ClbIdle);
        const QString caption = Caption(w);
        QVERIFY2(caption.startsWith(QStringLiteral("Подключите меру емкости")),
                 qPrintable(caption));
        QVERIFY2(caption.contains(QStringLiteral("среднее D 0,1725, поправка -0,1725")),
                 qPrintable(caption));

        // An inductive part: parameter 2 is Q, and the panel shows the line of i_par2.
        meter.phase = 1.5f;
        Tick(w);
        QCOMPARE(Main::Param2Index, int(Device::ParQ));
        QCOMPARE(readout->text(), Find<QLabel>(w, "i_par2")->text());
    }

    void countThatIsNotANumberKeepsTheCycleRunning() {
        ScriptedMeter meter;
        Fixture fixture;
        fixture.AddPeer(1, meter.responder());
        Main::Tb_tok &w = fixture.Start();
        auto *count = Find<QLineEdit>(w, "EdAverD");
        QVERIFY(count->toolTip().isEmpty());
        count->setText(QStringLiteral("2"));
        Find<QPushButton>(w, "BuStartClb")->click();
        Tick(w);
        const QColor plain = count->palette().color(QPalette::Base);
        count->setText(QStringLiteral("2x"));
        QVERIFY(!count->toolTip().isEmpty());
        QVERIFY(count->palette().color(QPalette::Base) != plain);
        w.tmrTimer();
        QVERIFY(w.tmr.isActive()); // the tick ended normally and polling goes on
        w.tmr.stop();
        QCOMPARE(Device::ClbStage, Device::ClbRunning);
        QCOMPARE(Device::ClbSampleCount, 1.0f);
        QVERIFY(fixture.messages.isEmpty());
        count->setText(QStringLiteral("2"));
        QVERIFY(count->toolTip().isEmpty());
        QCOMPARE(count->palette().color(QPalette::Base), plain);
        Tick(w);
        QCOMPARE(Device::ClbStage, Device::ClbIdle);
    }

    void saveWritesTheTableAndOpenReloadsIt() {
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), TwoRows));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QVERIFY(Device::ClbTable().SetCell(1, 2, QString()));
        QVERIFY(Device::ClbTable().SetCell(1, 3, QStringLiteral("1 000\t2")));
        Find<QPushButton>(w, "BuSaveFile")->click();
        QVERIFY(fixture.messages.isEmpty());
        const QByteArray saved("0\t1e9\t0,0005\r\r\n2e9\t\t1 000 2\r\r\n\t\t\r\r\n");
        QCOMPARE(ReadAll(QStringLiteral("DataBase.txt")), saved);
        // Unsaved edits are lost on "Open"; the saved ones come back where they were.
        QVERIFY(Device::ClbTable().SetCell(0, 1, QStringLiteral("7")));
        Find<QPushButton>(w, "BuOpenFile")->click();
        QCOMPARE(Device::ClbTable().Rows(),
                 (QVector<Device::CalibrationRow>{
                     {"0", "1e9", "0,0005"}, {"2e9", "", "1 000 2"}, {"", "", ""}}));
    }

    void failedSaveIsReported() {
        QVERIFY(WriteAll(QStringLiteral("plain"), "x"));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        Device::CalibrationFilePath = QStringLiteral("plain/DataBase.txt");
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(fixture.messages.size(), 1);
        QVERIFY2(fixture.messages.first().contains(QStringLiteral("plain/DataBase.txt")),
                 qPrintable(fixture.messages.first()));
        QCOMPARE(ReadAll(QStringLiteral("plain")), QByteArray("x"));
    }

    // A table file that is there but was not read is named at start-up, and Save replaces it
    // only when the user says so.
    void unreadFileIsNamedAndKeptUntilTheUserChooses() {
        QByteArray big;
        while (big.size() <= Device::MaxCalibrationFileSize)
            big += "1000\t1200\t0,0003\r\r\n";
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), big));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QCOMPARE(fixture.messages.size(), 1);
        QVERIFY2(fixture.messages.first().contains(QStringLiteral("DataBase.txt")) &&
                     fixture.messages.first().contains(QStringLiteral("больше 4 МБ")),
                 qPrintable(fixture.messages.first()));

        // Asked, and no answer given: the file stays.
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(fixture.messages.size(), 2);
        QVERIFY2(fixture.messages.last().contains(QStringLiteral("не был прочитан")),
                 qPrintable(fixture.messages.last()));
        QCOMPARE(ReadAll(QStringLiteral("DataBase.txt")), big);
        QStringList questions;
        Framework::SetQuestionHandler([&questions](const QString &text) {
            questions << text;
            return false;
        });
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(questions.size(), 1);
        QCOMPARE(ReadAll(QStringLiteral("DataBase.txt")), big);
        // Replacing it is the user's choice.
        Framework::SetQuestionHandler([&questions](const QString &text) {
            questions << text;
            return true;
        });
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(questions.size(), 2);
        QCOMPARE(ReadAll(QStringLiteral("DataBase.txt")), QByteArray("\t\t\r\r\n"));
        // Now the file holds the table: no question the next time.
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(questions.size(), 2);
    }

    void fileChangedOnDiskIsNotReplacedUnasked() {
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), TwoRows));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QVERIFY(fixture.messages.isEmpty());
        const QByteArray theirs("5\t6\t7\r\r\n");
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), theirs));
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(fixture.messages.size(), 1);
        QVERIFY2(fixture.messages.first().contains(QStringLiteral("изменился после чтения")),
                 qPrintable(fixture.messages.first()));
        QCOMPARE(ReadAll(QStringLiteral("DataBase.txt")), theirs);
    }

    // A note after the third field is not among the rows: the save asks before it drops it.
    void fileHoldingMoreThanTheTableIsNotReplacedUnasked() {
        const QByteArray theirs("1000\t1200\t0,0003\tпосле калибровки\r\r\n");
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), theirs));
        Fixture fixture;
        Main::Tb_tok &w = fixture.Start();
        QVERIFY(fixture.messages.isEmpty());
        Find<QPushButton>(w, "BuSaveFile")->click();
        QCOMPARE(fixture.messages.size(), 1);
        QVERIFY2(fixture.messages.first().contains(QStringLiteral("которого нет в таблице")),
                 qPrintable(fixture.messages.first()));
        QCOMPARE(ReadAll(QStringLiteral("DataBase.txt")), theirs);
    }

    void tableOption() {
        using App::ParseCommandLine;
        QCOMPARE(ParseCommandLine({"--table", "clb.txt"}).tablePath, QStringLiteral("clb.txt"));
        QCOMPARE(ParseCommandLine({"--table=/a/b.txt", "--demo"}).tablePath,
                 QStringLiteral("/a/b.txt"));
        QCOMPARE(ParseCommandLine({}).tablePath, QString());
        QVERIFY(!ParseCommandLine({"--table"}).error.isEmpty());
        QVERIFY(!ParseCommandLine({"--table="}).error.isEmpty());
        QVERIFY(App::UsageText().contains(QLatin1String("--table PATH")));
    }
};

QTEST_MAIN(TestCalibrationPanel)
#include "test_calibration_panel.moc"
