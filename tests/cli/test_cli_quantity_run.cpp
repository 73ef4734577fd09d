// sweep over the DC bias or the test level on the command line: its options and their clashes,
// volts read into the planner's millivolts, the planner's and the session's refusals in English,
// and the JSON lines of such a run.
#include "cli/invocation.h"
#include "cli/quantity_run.h"
#include "cli/records.h"
#include "sweep/sweep_store.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <vector>

using namespace Cli;

namespace {

constexpr int KT41 = 0, KT44 = 2; // bias steps of 100 mV and 10 mV

using Millivolts = std::vector<std::int32_t>;

} // namespace

Q_DECLARE_METATYPE(Millivolts)

class TestCliQuantityRun : public QObject {
    Q_OBJECT

private slots:
    // Every clash is refused on the command line, before a port is opened, naming both options.
    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");     // what the message must hold; empty: accepted
        QTest::addColumn<int>("quantity");      // Sweep::Quantity of an accepted line
        QTest::addColumn<Millivolts>("values"); // --bias: start, stop, points; else the list
        QTest::addColumn<int>("hz");            // the held frequency; 0: the meter's own

        const int bias = int(Sweep::Quantity::Bias), level = int(Sweep::Quantity::Level);
        QTest::newRow("bias range") << QStringList{"sweep", "--bias", "0:40:41"} << "" << bias
                                    << Millivolts{0, 40000, 41} << 0;
        QTest::newRow("bias range, fractions and spaces")
            << QStringList{"sweep", "--bias", " 0.25: 12.5 :3", "--frequency", "1000"} << "" << bias
            << Millivolts{250, 12500, 3} << 1000;
        QTest::newRow("bias list") << QStringList{"sweep", "--bias-list", "0,1.5,20,0.001"} << ""
                                   << bias << Millivolts{0, 1500, 20000, 1} << 0;
        QTest::newRow("level list")
            << QStringList{"sweep", "--level-list", "1,0.5,0.1,0.05,0.01,0.005", "--format", "json"}
            << "" << level << Millivolts{1000, 500, 100, 50, 10, 5} << 0;
        // Beyond the source, too few points, a level not offered: the planner's, after the search.
        QTest::newRow("bias beyond the source, for the planner")
            << QStringList{"sweep", "--bias-list", "45,1"} << "" << bias << Millivolts{45000, 1000}
            << 0;
        QTest::newRow("level not offered, for the planner")
            << QStringList{"sweep", "--level-list", "0.2,1"} << "" << level << Millivolts{200, 1000}
            << 0;

        const Millivolts none;
        const auto clash = [&](const char *name, const QStringList &arguments,
                               const QString &error) {
            QTest::newRow(name) << arguments << error << 0 << none << 0;
        };
        clash("bias and from", {"sweep", "--bias", "0:1:2", "--from", "25"},
              "--bias and --from exclude each other");
        clash("bias and to", {"sweep", "--bias", "0:1:2", "--to", "25"},
              "--bias and --to exclude each other");
        clash("bias list and points", {"sweep", "--bias-list", "0,1", "--points", "5"},
              "--bias-list and --points exclude each other");
        clash("level list and spacing", {"sweep", "--level-list", "1,0.1", "--spacing", "log"},
              "--level-list and --spacing exclude each other");
        clash("level list and list", {"sweep", "--level-list", "1,0.1", "--list", "standard"},
              "--level-list and --list exclude each other");
        clash("bias list and samples", {"sweep", "--bias-list", "0,1", "--samples", "3"},
              "--bias-list and --samples exclude each other");
        clash("bias and bias list", {"sweep", "--bias", "0:1:2", "--bias-list", "0,1"},
              "--bias and --bias-list exclude each other");
        clash("bias list and level list", {"sweep", "--bias-list", "0,1", "--level-list", "1,0.1"},
              "--bias-list and --level-list exclude each other");
        clash("fit", {"sweep", "--bias-list", "0,1", "--fit", "auto"},
              "--fit and --bias-list exclude each other: the fit is for frequency sweeps only");
        clash("bias range of two parts", {"sweep", "--bias", "0:40"},
              "--bias needs FROM:TO:POINTS");
        clash("bias range of words", {"sweep", "--bias", "a:b:3"}, "not \"a:b:3\"");
        clash("bias range, points not whole", {"sweep", "--bias", "0:1:2.5"}, "FROM:TO:POINTS");
        clash("bias range, negative points", {"sweep", "--bias", "0:1:-3"}, "FROM:TO:POINTS");
        clash("bias list entry empty", {"sweep", "--bias-list", "1,,2"}, "entry 2 is \"\"");
        clash("bias list entry in millivolts", {"sweep", "--bias-list", "1,500mV"},
              "entry 2 is \"500mV\"");
        clash("bias list beyond any number", {"sweep", "--bias-list", "1,1e300"}, "entry 2");
        clash("level between millivolts", {"sweep", "--level-list", "1,0.0051"},
              "entry 2 is \"0.0051\"");
        clash("held frequency not whole", {"sweep", "--bias-list", "0,1", "--frequency", "1e3.5"},
              "--frequency needs a frequency in whole hertz");
    }
    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const Invocation invocation = ParseInvocation(arguments);
        if (!error.isEmpty()) {
            QVERIFY2(invocation.error.contains(error), qPrintable(invocation.error));
            return;
        }
        QVERIFY2(invocation.error.isEmpty(), qPrintable(invocation.error));
        QFETCH(int, quantity);
        QFETCH(Millivolts, values);
        QFETCH(int, hz);
        const QuantityRunPlan &plan = invocation.quantityRun;
        QCOMPARE(int(plan.quantity), quantity);
        const Sweep::Request request = QuantityRequest(plan);
        QCOMPARE(int(request.quantity), quantity);
        if (plan.option == QLatin1String("--bias")) {
            QCOMPARE(request.spacing, Sweep::Spacing::Linear);
            QCOMPARE((Millivolts{request.start, request.stop, request.points}), values);
        } else {
            QCOMPARE(request.spacing, Sweep::Spacing::List);
            QCOMPARE(request.list, values);
        }
        QCOMPARE(invocation.conditions.frequencyHz.value_or(0), hz);
        QVERIFY(!invocation.sweep.frequencyMode);
    }

    // A frequency run's lines are taken as before: no bias or level run comes of them.
    void frequencyRunsStayFrequencyRuns() {
        for (const QStringList &arguments :
             {QStringList{"sweep", "--from", "25", "--to", "100", "--points", "5"},
              QStringList{"sweep", "--samples", "3", "--frequency", "1000"}}) {
            const Invocation invocation = ParseInvocation(arguments);
            QVERIFY2(invocation.error.isEmpty(), qPrintable(invocation.error));
            QVERIFY(!invocation.quantityRun.asked());
        }
    }

    // The planner's refusals, each naming the option as typed and what the model takes.
    void plannerRefusals_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::newRow("whole source on the first model")
            << QStringList{"--bias", "0:40:41"} << KT41 << "";
        QTest::newRow("a step of the first model rounds")
            << QStringList{"--bias-list", "0.04,0.06"} << KT41 << "";
        QTest::newRow("beyond the source")
            << QStringList{"--bias", "0:45:10"} << KT44
            << "--bias 0:45:10: 45 V is outside the KT-44's bias source: 0 to 40 V in "
               "steps of 0.01 V";
        QTest::newRow("below the source")
            << QStringList{"--bias", "-1:4:10"} << KT41
            << "--bias -1:4:10: -1 V is outside the KT-41's bias source: 0 to 40 V in "
               "steps of 0.1 V";
        QTest::newRow("list entry beyond the source")
            << QStringList{"--bias-list", "1,2,40.5"} << KT44
            << "--bias-list 1,2,40.5: entry 3, 40.5 V, is outside the KT-44's bias "
               "source: 0 to 40 V in steps of 0.01 V";
        QTest::newRow("one point") << QStringList{"--bias", "0:40:1"} << KT44
                                   << "--bias 0:40:1: a run has 2 to 256 points, not 1";
        QTest::newRow("too many points") << QStringList{"--bias", "0:40:257"} << KT44
                                         << "--bias 0:40:257: a run has 2 to 256 points, not 257";
        QTest::newRow("a list of one") << QStringList{"--bias-list", "5"} << KT44
                                       << "--bias-list 5: a run has 2 to 256 points, not 1";
        QTest::newRow("level not offered")
            << QStringList{"--level-list", "1,0.2"} << KT44
            << "--level-list 1,0.2: entry 2, 0.2 V, is not one of the KT-44's levels: 1, 0.5, "
               "0.1, 0.05, 0.01, 0.005 V";
        QTest::newRow("levels") << QStringList{"--level-list", "0.005,1"} << KT44 << "";
    }
    void plannerRefusals() {
        QFETCH(QStringList, arguments);
        QFETCH(int, model);
        QFETCH(QString, message);
        const Invocation invocation = ParseInvocation(QStringList{"sweep"} + arguments);
        QVERIFY2(invocation.error.isEmpty(), qPrintable(invocation.error));
        QCOMPARE(CheckQuantityRun(invocation.quantityRun, model), message);
        // The session refuses a run the planner refused in the same words.
        Core::Session::RunAnswer answer;
        const Sweep::Plan plan =
            Sweep::PlanRun(QuantityRequest(invocation.quantityRun), Device::CapabilitiesOf(model));
        if (!plan.ok()) {
            answer.refused = Core::Session::RunRefusal::Planner;
            answer.verdict = plan.refusal;
        }
        QCOMPARE(RunAnswerText(answer, invocation.quantityRun, model), message);
    }

    void sessionRefusals() {
        const QuantityRunPlan plan = *ReadVoltList(QStringLiteral("--bias-list"), "0,1", nullptr);
        Core::Session::RunAnswer answer;
        answer.refused = Core::Session::RunRefusal::ExternalBias;
        QCOMPARE(RunAnswerText(answer, plan, KT44),
                 QString("--bias-list: the meter's external bias source is selected; a bias run "
                         "needs the internal one"));
        answer.refused = Core::Session::RunRefusal::NoMeter;
        QVERIFY(RunAnswerText(answer, plan, KT44).startsWith("--bias-list: no meter"));
        QCOMPARE(BiasLeftText(0, 12300, true),
                 QString("the bias could not be set back to 0 V: the line to the meter is lost; "
                         "the part may still be charged to 12.3 V"));
        QVERIFY(BiasLeftText(1500, 20000, false).contains("to 1.5 V: the meter did not answer"));
    }

    // A bias run's lines carry the planned and the reported bias in volts, a level run's the
    // level; a frequency run's carry neither.
    void sweepJsonOfBiasAndLevelRuns() {
        Main::SweepVariables store;
        store.SweepPoints = 2;
        store.SweepIndex = 1;
        store.SweepQuantity = Sweep::Quantity::Bias;
        for (int i = 0; i < 2; ++i) {
            store.SweepFrequencies[i] = 1000.0f;
            store.SweepReportedFrequencies[i] = 1000;
            store.SweepMagnitudes[i] = 10.0f;
        }
        store.SweepSettings[0] = 12300;
        store.SweepSettings[1] = 40000;
        store.SweepReportedBiases[0] = 12290;
        store.SweepReportedBiases[1] = 40000;
        QList<QByteArray> lines = SweepJson(store, true).split('\n');
        QCOMPARE(lines.size(), 3);
        QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
        QCOMPARE(first.value("bias_v").toDouble(), 12.3);
        QCOMPARE(first.value("reported_bias_v").toDouble(), 12.29);
        QCOMPARE(first.value("frequency_hz").toDouble(), 1000.0);
        QVERIFY(!first.contains("level_v"));
        QCOMPARE(QJsonDocument::fromJson(lines.at(1)).object().value("bias_v").toDouble(), 40.0);

        store.SweepQuantity = Sweep::Quantity::Level;
        store.SweepSettings[0] = 5;
        first = QJsonDocument::fromJson(SweepJson(store, true).split('\n').at(0)).object();
        QCOMPARE(first.value("level_v").toDouble(), 0.005);
        QVERIFY(!first.contains("bias_v") && !first.contains("reported_bias_v"));

        store.SweepQuantity = Sweep::Quantity::Frequency;
        first = QJsonDocument::fromJson(SweepJson(store, true).split('\n').at(0)).object();
        QVERIFY(!first.contains("bias_v") && !first.contains("level_v"));
    }
};

QTEST_GUILESS_MAIN(TestCliQuantityRun)
#include "test_cli_quantity_run.moc"
