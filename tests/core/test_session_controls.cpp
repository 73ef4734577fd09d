// The requests of a front end with its own controls, against a scripted meter: the fine and the
// coarse bias step on the wire, the frequency's decade-wise step within the window, the coarse
// step following a bias set elsewhere, the shown parameters, the calibration grid's marker and
// averaging count, and the sweep store cleared to the graph's start-up picture.
#include "link/calibration.h"
#include "link/calibration_table.h"
#include "sweep/sweep_store.h"
#include "tests/core/session_fixture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TestCore;
using TestPeer::Request;
using TestPeer::ScriptedMeter;

namespace {

// A session that has found a scripted KT-44 on COM1, its timer off and its requests taken.
struct Found : CleanState {
    Found() : host(meter.responder(), TestPeer::Timing()) {
        if (!host.start()) qFatal("no pseudo-terminal");
        Device::MapPort(1, host.slavePath());
        found = SearchUntilFound(session).found;
        session.tmr.stop();
        host.takeRequests();
    }
    ~Found() { ResetProgramState(); } // while the peer's terminal still exists

    // The command bytes of the next requests but polls (a search's last poll may be logged
    // late); a level sent after them shows where they end, so a request that was never sent
    // cannot be missed by waiting too little.
    QList<std::uint8_t> SentUntilMark() {
        session.SetLevel(0);
        QList<QByteArray> requests;
        QList<std::uint8_t> commands;
        for (;;) {
            if (requests.isEmpty()) requests = TestPeer::TakeRequests(host, 1, true);
            if (requests.isEmpty()) return commands << 0xFF; // no mark came: fails any comparison
            const QByteArray request = requests.takeFirst();
            const auto command = std::uint8_t(request.at(1));
            if (command == Device::Command::Level) return commands;
            commands << command;
            last = request;
        }
    }

    ScriptedMeter meter;
    Sim::PtyHost host;
    Core::Session session;
    bool found = false;
    QByteArray last; // the last request before the mark
};

QByteArray BiasRequest(int mv) {
    return Request(Device::Command::BiasVoltage, std::uint32_t(mv / 10), 2); // KT-44: 10 mV
}

} // namespace

class TestSessionControls : public QObject {
    Q_OBJECT

private slots:
    void fineBiasStep_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("to"); // -1: nothing sent, the bias stays
        QTest::newRow("up from 0") << 0 << true << 100;
        QTest::newRow("down at 0") << 0 << false << -1;
        QTest::newRow("up at the top") << 40000 << true << -1;
        QTest::newRow("up from 1000") << 1000 << true << 2000;
        QTest::newRow("down from 1000") << 1000 << false << 900;
    }
    void fineBiasStep() {
        QFETCH(int, from);
        QFETCH(bool, up);
        QFETCH(int, to);
        Found f;
        QVERIFY(f.found);
        Main::BiasSetting = from;
        QCOMPARE(f.session.StepBias(up), to >= 0);
        QCOMPARE(Main::BiasSetting, to >= 0 ? to : from);
        if (to < 0) {
            QCOMPARE(f.SentUntilMark(), QList<std::uint8_t>());
        } else {
            QCOMPARE(f.SentUntilMark(), QList<std::uint8_t>{Device::Command::BiasVoltage});
            QCOMPARE(f.last, BiasRequest(to));
        }
    }

    void coarseBiasStep() {
        Found f;
        QVERIFY(f.found);
        QVERIFY(f.session.SetBiasStep(4));
        QCOMPARE(Main::BiasStep, 4);
        QCOMPARE(Main::BiasSetting, 4000);
        QCOMPARE(f.SentUntilMark(), QList<std::uint8_t>{Device::Command::BiasVoltage});
        QCOMPARE(f.last, BiasRequest(4000));
        // A position off the list sends nothing and moves nothing.
        QVERIFY(!f.session.SetBiasStep(11));
        QVERIFY(!f.session.SetBiasStep(-1));
        QCOMPARE(Main::BiasStep, 4);
        QCOMPARE(f.SentUntilMark(), QList<std::uint8_t>());
    }

    // Above the window's top the step wraps to its bottom; the value sent is the one kept.
    void frequencyStepWraps() {
        Found f;
        QVERIFY(f.found);
        Main::FrequencyLow = 50000;
        Main::FrequencyHigh = 100000;
        Main::CurrentFrequency = 100000;
        f.session.StepFrequency(true);
        QCOMPARE(Main::CurrentFrequency, 50000);
        QCOMPARE(f.SentUntilMark(), QList<std::uint8_t>{Device::Command::Frequency});
        QCOMPARE(f.last, Request(Device::Command::Frequency, 50000, 4));
    }

    void coarseStepFollowsBiasSetElsewhere_data() {
        QTest::addColumn<int>("bias");
        QTest::addColumn<int>("step");
        QTest::newRow("0 keeps the step") << 0 << 3;
        QTest::newRow("2600") << 2600 << 2;
        QTest::newRow("40000") << 40000 << 10;
    }
    void coarseStepFollowsBiasSetElsewhere() {
        QFETCH(int, bias);
        QFETCH(int, step);
        const CleanState clean;
        Core::Session session;
        QSignalSpy changed(&session, &Core::Session::conditionsChanged);
        Main::BiasStep = 3;
        Main::BiasSetting = bias;
        session.AnnounceConditions();
        QCOMPARE(Main::BiasStep, step);
        QCOMPARE(changed.count(), 1);
    }

    void shownParametersAndCalibrationControls() {
        const CleanState clean;
        Core::Session session;
        session.SetShownParameter(0, 6);
        QCOMPARE(Main::Param1Index, 6);
        QCOMPARE(Main::Param2Index, 9);
        session.SetShownParameter(1, 10);
        QCOMPARE(Main::Param1Index, 6);
        QCOMPARE(Main::Param2Index, 10);

        session.SelectCalibrationCell(1, 0);
        QCOMPARE(Device::ClbTable().MarkerRow(), 0);
        QVERIFY(session.SetAveragingCount(QStringLiteral("7")));
        QCOMPARE(Device::ClbAverageCount, 7);
        QVERIFY(!session.SetAveragingCount(QStringLiteral("7x")));
        QVERIFY(!Device::ClbAverageValid);
        QCOMPARE(Device::ClbAverageCount, 7);
    }

    void clearSweepLeavesTheStartUpPicture() {
        const CleanState clean;
        Core::Session session;
        Main::SweepPoints = 5;
        Main::SweepRunning = true;
        Main::SweepIndex = 3;
        for (int i = 0; i < Main::SweepCapacity; ++i) {
            for (auto &row : Main::SweepSamples)
                row[i] = 1.0f;
            Main::PlotValues1[i] = Main::PlotValues2[i] = 2.0f;
        }
        Main::FrequencyLow = 1000;
        Main::FrequencyHigh = 2000;
        session.ClearSweep();
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Main::SweepIndex, 0);
        for (int i = 0; i < 5; ++i) {
            for (const auto &row : Main::SweepSamples)
                QCOMPARE(row[i], 0.0f);
            QCOMPARE(Main::PlotValues1[i], 0.0f);
            QCOMPARE(Main::PlotValues2[i], 0.0f);
        }
        QCOMPARE(Main::SweepFrequencies[0], 1000.0f);
        QCOMPARE(Main::SweepFrequencies[4], 2000.0f);
    }
};

QTEST_MAIN(TestSessionControls)
#include "test_session_controls.moc"
