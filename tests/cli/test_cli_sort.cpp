// impedix-cli sort: the plan's options read by table (bins, boundaries, secondary expressions, the
// plan file under them, the refusals), then the program against a simulated batch of parts: one
// row per part with its verdict, and the exit status of --once.
#include "cli/invocation.h"
#include "cli/sort_options.h"
#include "tests/common/lost_answer.h"
#include "tests/common/process_outcome.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace Cli;

namespace {

constexpr int Generous = 60000; // ms; a guard against hanging, never a measured time

// "low:high;low:high", a side without a limit left empty.
QString LimitsText(const std::vector<Sort::Limits> &bins) {
    QStringList texts;
    for (const Sort::Limits &bin : bins)
        texts << QStringLiteral("%1:%2").arg(bin.low ? QString::number(*bin.low) : QString(),
                                             bin.high ? QString::number(*bin.high) : QString());
    return texts.join(QLatin1Char(';'));
}

// The program against the demo meter; a start-up whose identity answers were all lost on a busy
// machine is made once more, printed and counted (a second loss fails the test).
TestProcess::Outcome RunProgram(const QStringList &arguments) {
    TestProcess::Outcome outcome;
    do {
        QProcess program;
        program.setProcessEnvironment(TestProcess::WithoutDisplay());
        program.start(QStringLiteral(IMPEDIX_CLI_PATH), arguments);
        outcome = TestProcess::Finish(program, Generous);
    } while (outcome.code == ExitNoMeter &&
             outcome.err.contains(QLatin1String("no meter answered")) &&
             TestLostAnswer::MayStartAgain("impedix-cli sort", outcome.err));
    return outcome;
}

// The demo meter with a batch of parts of these capacitances (100 nF nominal, 0.5 Ohm ESR).
QStringList BatchRun(const QString &values, const QStringList &more) {
    return QStringList{QStringLiteral("sort"),
                       QStringLiteral("--demo"),
                       QStringLiteral("--demo-sim"),
                       QStringLiteral("--batch C=100n,R=0.5;values=%1;sit=15r;gap=6r").arg(values),
                       QStringLiteral("--nominal"),
                       QStringLiteral("100n"),
                       QStringLiteral("--bins"),
                       QStringLiteral("1%,5%")} +
           more;
}

} // namespace

class TestCliSort : public QObject {
    Q_OBJECT

private slots:
    void bins_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mode"); // "%", "unit", or "" for refused
        QTest::addColumn<QString>("limits");
        QTest::newRow("symmetric percent") << "1%,2%,5%"
                                           << "%"
                                           << "-1:1;-2:2;-5:5";
        QTest::newRow("asymmetric and symmetric") << "-1%:+2%, 5%"
                                                  << "%"
                                                  << "-1:2;-5:5";
        QTest::newRow("one side open") << ":+2%,-3%:"
                                       << "%"
                                       << ":2;-3:";
        QTest::newRow("absolute") << "0.5,1"
                                  << "unit"
                                  << "-0.5:0.5;-1:1";
        QTest::newRow("absolute with a prefix") << "-5n:10n"
                                                << "unit"
                                                << "-5e-09:1e-08";
        QTest::newRow("nine bins") << "1%,2%,3%,4%,5%,6%,7%,8%,9%"
                                   << "%"
                                   << "-1:1;-2:2;-3:3;-4:4;-5:5;-6:6;-7:7;-8:8;-9:9";
        QTest::newRow("ten bins") << "1%,2%,3%,4%,5%,6%,7%,8%,9%,10%"
                                  << ""
                                  << "";
        QTest::newRow("percent and unit mixed") << "1%,0.5"
                                                << ""
                                                << "";
        QTest::newRow("mixed within a bin") << "-1%:2"
                                            << ""
                                            << "";
        QTest::newRow("a signed width") << "-1%"
                                        << ""
                                        << "";
        QTest::newRow("a width of 0") << "0%"
                                      << ""
                                      << "";
        QTest::newRow("low above high") << "2%:1%"
                                        << ""
                                        << "";
        QTest::newRow("no limit") << ":"
                                  << ""
                                  << "";
        QTest::newRow("three sides") << "1:2:3"
                                     << ""
                                     << "";
        QTest::newRow("an empty bin") << "1%,,2%"
                                      << ""
                                      << "";
        QTest::newRow("words") << "tight"
                               << ""
                               << "";
    }
    void bins() {
        QFETCH(QString, text);
        QFETCH(QString, mode);
        QFETCH(QString, limits);
        QString error;
        const std::optional<BinsText> bins = ReadBins(text, &error);
        QCOMPARE(bins.has_value(), !mode.isEmpty());
        if (!bins) {
            QVERIFY2(error.startsWith(QLatin1String("--bins")), qPrintable(error));
            return;
        }
        QCOMPARE(bins->mode, mode == QLatin1String("%") ? Sort::Mode::PercentTolerance
                                                        : Sort::Mode::AbsoluteTolerance);
        QCOMPARE(LimitsText(bins->bins), limits);
    }

    void boundaries_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count"); // 0: refused
        QTest::newRow("four") << "90,95,105,110" << 4;
        QTest::newRow("with prefixes") << "90n, 95n" << 2;
        QTest::newRow("ten") << "1,2,3,4,5,6,7,8,9,10" << 10;
        QTest::newRow("eleven") << "1,2,3,4,5,6,7,8,9,10,11" << 0;
        QTest::newRow("one") << "90" << 0;
        QTest::newRow("falling") << "95,90" << 0;
        QTest::newRow("equal") << "90,90" << 0;
        QTest::newRow("not numbers") << "a,b" << 0;
    }
    void boundaries() {
        QFETCH(QString, text);
        QFETCH(int, count);
        QString error;
        const std::optional<std::vector<double>> boundaries = ReadBoundaries(text, &error);
        QCOMPARE(boundaries ? int(boundaries->size()) : 0, count);
        if (!boundaries)
            QVERIFY2(error.startsWith(QLatin1String("--sequential")), qPrintable(error));
    }

    void secondary_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("quantity"); // empty: refused
        QTest::addColumn<double>("low");       // NaN: no limit
        QTest::addColumn<double>("high");
        const double none = std::nan("");
        QTest::newRow("high") << "D<=0.01"
                              << "D" << none << 0.01;
        QTest::newRow("low") << "Q>=50"
                             << "Q" << 50.0 << none;
        QTest::newRow("both") << "0.001<=D<=0.01"
                              << "D" << 0.001 << 0.01;
        QTest::newRow("blanks, case, prefix") << " 1m <= d <= 10m "
                                              << "D" << 0.001 << 0.01;
        QTest::newRow("limit on the left") << "0.1>=R"
                                           << "R" << none << 0.1;
        QTest::newRow("negative low") << "-5<=Fiz"
                                      << "Fiz" << -5.0 << none;
        QTest::newRow("a name alone") << "Q"
                                      << "Q" << none << none;
        QTest::newRow("strict") << "D<0.01"
                                << "" << none << none;
        QTest::newRow("equal") << "D==0.01"
                               << "" << none << none;
        QTest::newRow("not a number") << "D<=small"
                                      << "" << none << none;
        QTest::newRow("unknown quantity") << "Foo<=1"
                                          << "" << none << none;
        QTest::newRow("two low limits") << "1<=D>=2"
                                        << "" << none << none;
        QTest::newRow("low above high") << "0.01<=D<=0.001"
                                        << "" << none << none;
        QTest::newRow("no value") << "D<="
                                  << "" << none << none;
        QTest::newRow("no quantity") << "<=0.01"
                                     << "" << none << none;
    }
    void secondary() {
        QFETCH(QString, text);
        QFETCH(QString, quantity);
        QFETCH(double, low);
        QFETCH(double, high);
        QString error;
        const std::optional<SecondaryText> secondary = ReadSecondary(text, &error);
        QCOMPARE(secondary.has_value(), !quantity.isEmpty());
        if (!secondary) {
            QVERIFY2(error.startsWith(QLatin1String("--secondary")), qPrintable(error));
            return;
        }
        QCOMPARE(Sort::QuantityName(secondary->quantity), quantity);
        QCOMPARE(secondary->limits.low.has_value(), !std::isnan(low));
        QCOMPARE(secondary->limits.high.has_value(), !std::isnan(high));
        if (secondary->limits.low) QCOMPARE(*secondary->limits.low, low);
        if (secondary->limits.high) QCOMPARE(*secondary->limits.high, high);
    }

    // The whole command line: the plan file, the options over it, and what goes together.
    void invocation_data() {
        QTest::addColumn<QStringList>("arguments"); // "@plan" and "@bad": the files below
        QTest::addColumn<QString>("error");         // a part of the message; empty: accepted
        QTest::addColumn<int>("bins");
        QTest::addColumn<double>("nominal");
        QTest::newRow("percent bins")
            << QStringList{"--nominal", "100n", "--bins", "1%,5%"} << "" << 2 << 1e-7;
        QTest::newRow("sequential")
            << QStringList{"--primary", "R", "--sequential", "90,95,105"} << "" << 2 << 0.0;
        QTest::newRow("secondary alone") << QStringList{"--secondary", "Q>=50"} << "" << 0 << 0.0;
        QTest::newRow("the file") << QStringList{"--plan", "@plan"} << "" << 3 << 4.7e3;
        QTest::newRow("the file, bins over it")
            << QStringList{"--plan", "@plan", "--bins", "2%"} << "" << 1 << 4.7e3;
        QTest::newRow("the file, nominal over it")
            << QStringList{"--plan", "@plan", "--nominal", "1k"} << "" << 3 << 1e3;
        QTest::newRow("once now") << QStringList{"--secondary", "D<=0.01", "--once", "--now"} << ""
                                  << 0 << 0.0;
        QTest::newRow("nothing to sort by") << QStringList{} << "nothing to sort by" << 0 << 0.0;
        QTest::newRow("a name alone sorts nothing")
            << QStringList{"--secondary", "D"} << "nothing to sort by" << 0 << 0.0;
        QTest::newRow("bins without nominal")
            << QStringList{"--bins", "1%"} << "--bins needs the nominal" << 0 << 0.0;
        QTest::newRow("percent of a nominal 0")
            << QStringList{"--nominal", "0", "--bins", "1%"} << "nominal other than 0" << 0 << 0.0;
        QTest::newRow("bins and sequential")
            << QStringList{"--nominal", "1", "--bins", "1%", "--sequential", "1,2"}
            << "--bins and --sequential exclude each other" << 0 << 0.0;
        QTest::newRow("nominal with sequential")
            << QStringList{"--nominal", "1", "--sequential", "1,2"}
            << "--nominal does not go with sequential" << 0 << 0.0;
        QTest::newRow("unknown primary") << QStringList{"--primary", "Foo", "--secondary", "D<=1"}
                                         << "--primary takes one of C" << 0 << 0.0;
        QTest::newRow("nominal not a number")
            << QStringList{"--nominal", "lots", "--bins", "1%"} << "--nominal takes" << 0 << 0.0;
        QTest::newRow("open ohms 0")
            << QStringList{"--secondary", "D<=1", "--open-ohms", "0"} << "--open-ohms" << 0 << 0.0;
        QTest::newRow("stable polls 0") << QStringList{"--secondary", "D<=1", "--stable-polls", "0"}
                                        << "--stable-polls" << 0 << 0.0;
        QTest::newRow("stable polls 1001")
            << QStringList{"--secondary", "D<=1", "--stable-polls", "1001"} << "--stable-polls" << 0
            << 0.0;
        QTest::newRow("once and count")
            << QStringList{"--secondary", "D<=1", "--once", "--count", "3"}
            << "--once and --count exclude each other" << 0 << 0.0;
        QTest::newRow("now without once")
            << QStringList{"--secondary", "D<=1", "--now"} << "--now goes with --once" << 0 << 0.0;
        QTest::newRow("no such file")
            << QStringList{"--plan", "@missing"} << "no such file" << 0 << 0.0;
        QTest::newRow("a refused line")
            << QStringList{"--plan", "@bad"} << "line 2: mode" << 0 << 0.0;
        QTest::newRow("a condition as measure reads it")
            << QStringList{"--secondary", "D<=1", "--level", "3"} << "--level" << 0 << 0.0;
    }
    void invocation() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(int, bins);
        QFETCH(double, nominal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString plan = dir.filePath(QStringLiteral("plan.txt"));
        const QString bad = dir.filePath(QStringLiteral("bad.txt"));
        for (const auto &[path, text] :
             {std::pair{plan, QByteArray("primary = R\nmode = ptol\nnominal = 4.7k\n"
                                         "bin1 = -1, 1\nbin2 = -2, 2\nbin3 = ,5\n")},
              std::pair{bad, QByteArray("primary = R\nmode = tight\n")}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        arguments.replaceInStrings(QStringLiteral("@plan"), plan);
        arguments.replaceInStrings(QStringLiteral("@bad"), bad);
        arguments.replaceInStrings(QStringLiteral("@missing"), dir.filePath(QStringLiteral("no")));
        const Invocation invocation =
            ParseInvocation(QStringList{QStringLiteral("sort")} + arguments);
        QCOMPARE(invocation.command, Command::Sort);
        if (!error.isEmpty()) {
            QVERIFY2(invocation.error.contains(error), qPrintable(invocation.error));
            return;
        }
        QVERIFY2(invocation.error.isEmpty(), qPrintable(invocation.error));
        QCOMPARE(invocation.sort.plan.binCount(), bins);
        QCOMPARE(invocation.sort.plan.nominal, nominal);
    }

    // Three parts in bin 1, bin 2 and out, each counted once, then the counts on stderr.
    void sortsEachPartOnce() {
        const TestProcess::Outcome outcome =
            RunProgram(BatchRun(QStringLiteral("100n,103n,120n"), {"--count", "3"}));
        QVERIFY2(outcome.finished, qPrintable(outcome.err));
        QCOMPARE(outcome.code, ExitDone);
        QStringList lines = outcome.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.takeFirst().startsWith(QLatin1String("time,part,C (F),D,verdict,bin,")));
        const QStringList expected{"1,bin 1,1", "2,bin 2,2", "3,out,0"};
        for (int i = 0; i < 3; ++i) {
            const QStringList fields = lines[i].split(QLatin1Char(','));
            QCOMPARE(QStringList({fields[1], fields[4], fields[5]}).join(QLatin1Char(',')),
                     expected[i]);
            QCOMPARE(fields[6], QStringLiteral("contact"));
        }
        QVERIFY2(
            outcome.err.contains(QLatin1String(
                "sorted 3 parts: bin 1: 1, bin 2: 1, out: 1, secondary fail: 0; yield 66.7 %")),
            qPrintable(outcome.err));
    }

    // --once: the first part's verdict as the exit status; JSON lines carry SI values.
    void onceExitStatus() {
        const TestProcess::Outcome pass = RunProgram(BatchRun(QStringLiteral("100n"), {"--once"}));
        QVERIFY2(pass.finished, qPrintable(pass.err));
        QCOMPARE(pass.code, ExitDone);

        const TestProcess::Outcome out =
            RunProgram(BatchRun(QStringLiteral("120n,100n"), {"--once", "--format", "json"}));
        QVERIFY2(out.finished, qPrintable(out.err));
        QCOMPARE(out.code, ExitSortOut);
        const QStringList lines = out.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        const QJsonObject part = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(part.value(QStringLiteral("verdict")).toString(), QStringLiteral("out"));
        QCOMPARE(part.value(QStringLiteral("bin")).toInt(-1), 0);
        QCOMPARE(part.value(QStringLiteral("primary")).toString(), QStringLiteral("C"));
        const double farads = part.value(QStringLiteral("primary_value")).toDouble();
        QVERIFY2(std::abs(farads - 120e-9) < 1e-9, qPrintable(lines[0]));

        // In bin 1 with a D no part can have: a secondary failure, sorted at once with --now.
        const TestProcess::Outcome fail = RunProgram(
            BatchRun(QStringLiteral("100n"), {"--secondary", "D<=-1", "--once", "--now"}));
        QVERIFY2(fail.finished, qPrintable(fail.err));
        QCOMPARE(fail.code, ExitSortSecondaryFail);
        QVERIFY2(fail.out.contains(QLatin1String(",secondary fail,0,demand,")),
                 qPrintable(fail.out));
    }
};

QTEST_GUILESS_MAIN(TestCliSort)
#include "test_cli_sort.moc"
