// Export of a sweep from the chart's context menu: the menu a right click opens, the taken points
// as CSV in both dialects read back to the stored values, under a non-ASCII name, during and
// after a run, with the side file of conditions and fit when asked (the table's bytes the same),
// the clipboard, PNG and SVG drawn for print at the size chosen (the chart on screen untouched),
// nothing written and a message when no point is taken, and a failed write that says why and
// leaves the old file alone.
#include "core/main_state.h"
#include "core/sweep_context.h"
#include "export/sweep_csv.h"
#include "fit/fit_report.h"
#include "link/models.h"
#include "sweep/sweep_store.h"
#include "tests/common/peer.h"
#include "tests/export/csv_reader.h"
#include "tests/export/file_size_limit.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/file_dialog.h"
#include "ui/print_size_dialog.h"
#include "ui/print_text.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGraphicsView>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>

using namespace TestWindow;
using namespace TestPeer;

namespace {

const QString SaveData = QStringLiteral("Сохранить данные (CSV)…");
const QString SavePng = QStringLiteral("Сохранить график (PNG)…");
const QString SaveSvg = QStringLiteral("Сохранить график (SVG)…");
const QString Copy = QStringLiteral("Копировать");
const QString NoPoint = QStringLiteral("Нет данных: ни одна точка графика ещё не измерена.");

Chart::SweepChart *Grafik(Main::Tb_tok &w) {
    return Find<Chart::SweepChart>(w, "grafik");
}

// A right click on the plot, as the chart's view receives it; the menu it opens, if any.
QMenu *OpenMenu(Main::Tb_tok &w) {
    QWidget *plot = Grafik(w)->findChild<QGraphicsView *>()->viewport();
    const QPoint at(400, 300);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, plot->mapToGlobal(at));
    QApplication::sendEvent(plot, &click);
    return w.findChild<QMenu *>(QStringLiteral("grafikMenu"));
}

QStringList ItemTexts(const QMenu &menu) {
    QStringList texts;
    for (const QAction *action : menu.actions())
        if (!action->isSeparator()) texts << action->text();
    return texts;
}

// Picks item from a freshly opened menu; false when there was no menu or no such item.
bool Choose(Main::Tb_tok &w, const QString &item) {
    QMenu *menu = OpenMenu(w);
    if (menu == nullptr) return false;
    bool found = false;
    for (QAction *action : menu->actions()) {
        if (action->text() != item) continue;
        action->trigger();
        found = true;
        break;
    }
    menu->close();
    delete menu;
    return found;
}

// Answers every save dialog with path and filter, and keeps the requests.
struct SaveAnswers {
    QString path;
    int filter = 0;
    QList<Framework::SaveFileRequest> asked;

    SaveAnswers() {
        Framework::SetSaveFileHandler([this](const Framework::SaveFileRequest &request) {
            asked << request;
            return Framework::SaveFileChoice{path, filter};
        });
    }
    ~SaveAnswers() { Framework::SetSaveFileHandler({}); }
};

void StartRun(Main::Tb_tok &w, const QString &low, const QString &high, const QString &n,
              bool frequencySweep) {
    QCheckBox *f = Find<QCheckBox>(w, "ChBoF");
    if (f->isChecked() != frequencySweep) f->click();
    Find<QLineEdit>(w, "istart")->setText(low);
    Find<QLineEdit>(w, "istop")->setText(high);
    Find<QLineEdit>(w, "ikol")->setText(n);
    Find<QPushButton>(w, "bgraf")->click();
}

QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The table read back has the header and points 0..count-1 of the store: each point's raw
// values exactly, and C, L, R, X, |Y|, D, Q and the angle of Z agreeing with the values the
// chart stored for it.
void CompareWithStore(const CsvText::Table &table, int count, QChar decimalMark) {
    QVERIFY(table.wellFormed);
    QCOMPARE(table.records.size(), count + 1);
    const QStringList header = Export::SweepHeader();
    QCOMPARE(table.records.first(), header);
    QCOMPARE(header.at(5), QStringLiteral("R (Ohm)"));
    constexpr int SiExponents[Main::SweepParameterCount] = {-12, -9, -3, -9, -9, -3,
                                                            -3,  -9, 0,  0,  0};
    const struct {
        int column;
        int index;
    } agreeing[] = {{3, 0}, {4, 1}, {5, 2}, {8, 5}, {9, 7}, {10, 8}, {11, 9}, {12, 10}};
    for (int i = 0; i < count; ++i) {
        const QStringList &record = table.records.at(i + 1);
        QCOMPARE(record.size(), header.size());
        QCOMPARE(record.at(0).toInt(), i + 1);
        QCOMPARE(record.at(1).toDouble(), double(Main::SweepFrequencies[i]));
        QCOMPARE(record.at(2), QStringLiteral("series"));
        const auto number = [&](int column) {
            bool ok = false;
            const double value = CsvText::Number(record.at(column), decimalMark, &ok);
            return ok ? value : std::nan("");
        };
        for (const auto &pair : agreeing) {
            const double stored =
                Main::SweepSamples[pair.index][i] * std::pow(10.0, SiExponents[pair.index]);
            QVERIFY2(
                std::fabs(number(pair.column) - stored) <= 1e-5 * std::fabs(stored) + 1e-30,
                qPrintable(header.at(pair.column) + QLatin1String(": ") + record.at(pair.column)));
        }
        QCOMPARE(float(number(14)), Main::SweepMagnitudes[i]);
        QCOMPARE(float(number(15)), Main::SweepPhases[i]);
        QCOMPARE(record.at(16).toInt(), Main::SweepReportedFrequencies[i]);
        QVERIFY(Main::SweepReportedFrequencies[i] > 0);
    }
}

// SVG lengths as Qt writes them ("214.6mm") in CSS pixels.
double CssPixels(const QString &length) {
    if (length.endsWith(QLatin1String("mm"))) return length.chopped(2).toDouble() * 96.0 / 25.4;
    if (length.endsWith(QLatin1String("px"))) return length.chopped(2).toDouble();
    return length.toDouble();
}

} // namespace

class TestSweepExport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Path(const QString &name) const { return m_dir.filePath(name); }
    QSize m_printSize{1200, 750}; // the size the print dialog answers
    QList<QSize> m_printOffered;  // what it was offered each time

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        Main::SetPrintSizeHandler([this](const QSize &offered) {
            m_printOffered << offered;
            return std::optional<QSize>(m_printSize);
        });
    }
    void cleanupTestCase() { Main::SetPrintSizeHandler({}); }

    // A right click anywhere on the chart, also on its labels, opens the four items.
    void menuOnRightClick() {
        Fixture f;
        Main::Tb_tok &w = f.Start();
        Find<QCheckBox>(w, "ChBoGraph")->click();
        QMenu *menu = OpenMenu(w);
        QVERIFY(menu != nullptr);
        QVERIFY(menu->isVisible());
        // The export items first; the comparison items follow them.
        QCOMPARE(ItemTexts(*menu).mid(0, 4), (QStringList{SaveData, SavePng, SaveSvg, Copy}));
        menu->close();
        delete menu;

        QLabel *label = Find<QLabel>(w, "ip1sr");
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                                label->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(label, &click);
        menu = w.findChild<QMenu *>(QStringLiteral("grafikMenu"));
        QVERIFY(menu != nullptr);
        delete menu;
    }

    // A frequency sweep over the simulated meter, saved in both dialects under a Cyrillic name
    // and read back to what the store holds.
    void csvOfAFinishedRun() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        QVERIFY(TickWithFrame(w));
        StartRun(w, QStringLiteral("50000"), QStringLiteral("100000"), QStringLiteral("10"), true);
        for (int i = 0; i < 10; ++i)
            QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        QVERIFY(Main::SweepSamples[0][0] != Main::SweepSamples[0][9]); // the points differ

        SaveAnswers answers;
        answers.path = Path(QStringLiteral("замер.csv"));
        QVERIFY(Choose(w, SaveData));
        QCOMPARE(answers.asked.size(), 1);
        QCOMPARE(answers.asked.first().filters,
                 (QStringList{QStringLiteral("CSV (*.csv)"), QStringLiteral("CSV (;) (*.csv)"),
                              QStringLiteral("CSV + условия и подбор (*.csv)"),
                              QStringLiteral("CSV (;) + условия и подбор (*.csv)")}));
        QVERIFY(answers.asked.first().suggestedPath.endsWith(QLatin1String(".csv")));
        const QByteArray comma = Contents(answers.path);
        CompareWithStore(CsvText::Read(comma), 10, QLatin1Char('.'));
        QCOMPARE(CsvText::Read(comma).records.at(10).at(1), QStringLiteral("100000"));

        answers.path = Path(QStringLiteral("замер (;).csv"));
        answers.filter = 1;
        QVERIFY(Choose(w, SaveData));
        const QByteArray semicolon = Contents(answers.path);
        QVERIFY(!CsvText::Read(semicolon, QLatin1Char(';'))
                     .records.at(1)
                     .join(QString())
                     .contains(QLatin1Char('.')));
        CompareWithStore(CsvText::Read(semicolon, QLatin1Char(';')), 10, QLatin1Char(','));
        // The next dialog offers the folder used last.
        QVERIFY(Choose(w, SavePng));
        QCOMPARE(QFileInfo(answers.asked.last().suggestedPath).absolutePath(), m_dir.path());
        QVERIFY(f.messages.isEmpty());
    }

    // The filters with conditions write the same table and beside it the side file: the meter,
    // the run, its conditions and, once a fit is made, the fit as the command line prints it. A
    // file of the user's at the side file's name is left alone and the failure said.
    void csvWithSideFile() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        QVERIFY(TickWithFrame(w));
        QComboBox *level = Find<QComboBox>(w, "b_level");
        level->setCurrentIndex(1);
        emit level->activated(1);
        QVERIFY(TickWithFrame(w));
        StartRun(w, QStringLiteral("50000"), QStringLiteral("100000"), QStringLiteral("10"), true);
        for (int i = 0; i < 10; ++i)
            QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);

        SaveAnswers answers;
        for (int filter : {0, 1, 2, 3}) {
            answers.path = Path(QStringLiteral("side%1.csv").arg(filter));
            answers.filter = filter;
            QVERIFY(Choose(w, SaveData));
            QCOMPARE(QFileInfo::exists(Core::SideFilePath(answers.path)), filter >= 2);
        }
        QCOMPARE(Contents(Path(QStringLiteral("side2.csv"))),
                 Contents(Path(QStringLiteral("side0.csv"))));
        QCOMPARE(Contents(Path(QStringLiteral("side3.csv"))),
                 Contents(Path(QStringLiteral("side1.csv"))));
        const auto side = [&](const QString &csv) {
            return QJsonDocument::fromJson(Contents(Core::SideFilePath(Path(csv)))).object();
        };
        QJsonObject context = side(QStringLiteral("side2.csv"));
        QCOMPARE(context.value(QStringLiteral("data_file")).toString(),
                 QStringLiteral("side2.csv"));
        QCOMPARE(context.value(QStringLiteral("model")).toString(), Device::ModelName(2));
        QCOMPARE(context.value(QStringLiteral("swept")).toString(), QStringLiteral("frequency"));
        QCOMPARE(context.value(QStringLiteral("points")).toInt(), 10);
        QCOMPARE(context.value(QStringLiteral("interrupted")).toBool(), false);
        const QJsonObject conditions = context.value(QStringLiteral("conditions")).toObject();
        QCOMPARE(conditions.value(QStringLiteral("circuit")).toString(), QStringLiteral("series"));
        QCOMPARE(conditions.value(QStringLiteral("level_v")).toDouble(),
                 Main::LevelList[1] / 1000.0);
        QVERIFY(!context.contains(QStringLiteral("fit")));

        w.FitSweep(QStringLiteral("auto"));
        QVERIFY(QTest::qWaitFor([&w] { return !w.FitRunning(); }, 60000)); // a deadline, not a pace
        QVERIFY(w.FitShown().has_value());
        answers.path = Path(QStringLiteral("side2.csv"));
        answers.filter = 2;
        QVERIFY(Choose(w, SaveData));
        context = side(QStringLiteral("side2.csv"));
        QCOMPARE(context.value(QStringLiteral("fit")).toObject(), Fit::FitToJson(*w.FitShown()));
        QCOMPARE(Contents(answers.path), Contents(Path(QStringLiteral("side0.csv"))));
        f.messages.clear();

        answers.path = Path(QStringLiteral("theirs.csv"));
        {
            QFile theirs(Core::SideFilePath(answers.path));
            QVERIFY(theirs.open(QIODevice::WriteOnly));
            theirs.write("{\"mine\": true}\n");
        }
        QVERIFY(Choose(w, SaveData));
        QCOMPARE(Contents(Core::SideFilePath(answers.path)), QByteArray("{\"mine\": true}\n"));
        QCOMPARE(Contents(answers.path), Contents(Path(QStringLiteral("side0.csv"))));
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.messages.first().startsWith(QStringLiteral("Файл условий не сохранён:")),
                 qPrintable(f.messages.first()));
    }

    // During a run the points taken so far; the clipboard gets the same table, comma-separated.
    void duringARunAndClipboard() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        StartRun(w, QStringLiteral("1000"), QString(), QStringLiteral("5"), false);
        for (int i = 0; i < 3; ++i) {
            scripted.magnitude = 100.0f * float(i + 1);
            QVERIFY(TickForPoint(w));
        }
        QVERIFY(Main::SweepRunning);
        SaveAnswers answers;
        answers.path = Path(QStringLiteral("часть.csv"));
        QVERIFY(Choose(w, SaveData));
        CompareWithStore(CsvText::Read(Contents(answers.path)), 3, QLatin1Char('.'));

        QVERIFY(Choose(w, Copy));
        const QString copied = QGuiApplication::clipboard()->text();
        if (copied.isEmpty()) QSKIP("this platform plugin keeps no clipboard");
        CompareWithStore(CsvText::Read(copied.toUtf8()), 3, QLatin1Char('.'));
        QCOMPARE(copied.toUtf8(), Contents(answers.path));

        QVERIFY(TickForPoint(w));
        QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        QVERIFY(Choose(w, Copy));
        CompareWithStore(CsvText::Read(QGuiApplication::clipboard()->text().toUtf8()), 5,
                         QLatin1Char('.'));
        QVERIFY(f.messages.isEmpty());
    }

    // Before the first point of a run nothing is written or copied, and the user is told; also
    // when an earlier run left its points.
    void noPointTaken() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        SaveAnswers answers;
        answers.path = Path(QStringLiteral("пусто.csv"));
        const QString earlier = QStringLiteral("earlier text");
        QGuiApplication::clipboard()->setText(earlier);
        const QStringList items{SaveData, SavePng, SaveSvg, Copy};
        for (const QString &item : items)
            QVERIFY(Choose(w, item));
        QCOMPARE(f.messages, QStringList(4, NoPoint));

        StartRun(w, QStringLiteral("1000"), QString(), QStringLiteral("2"), false);
        QVERIFY(TickForPoint(w));
        QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        StartRun(w, QStringLiteral("1000"), QString(), QStringLiteral("3"), false);
        f.messages.clear();
        for (const QString &item : items)
            QVERIFY(Choose(w, item));
        QCOMPARE(f.messages, QStringList(4, NoPoint));
        QVERIFY(answers.asked.isEmpty());
        QVERIFY(!QFile::exists(answers.path));
        QCOMPARE(QGuiApplication::clipboard()->text(), earlier);
    }

    // PNG and SVG drawn for print at the size chosen (offered again next time): a light ground,
    // the title line with the date, the curves as vectors in the SVG; the chart on screen is the
    // same picture before and after.
    void pictures() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Find<QCheckBox>(w, "ChBoGraph")->click();
        StartRun(w, QStringLiteral("1000"), QString(), QStringLiteral("4"), false);
        for (int i = 0; i < 4; ++i) {
            scripted.magnitude = 100.0f * float(1 + i * i);
            QVERIFY(TickForPoint(w));
        }
        QCOMPARE(Grafik(w)->size(), QSize(811, 605));
        (void)Grafik(w)->grab(); // the track bar's first painting differs from later ones
        const QImage onScreen = Grafik(w)->grab().toImage();
        const QSize size = m_printSize;
        m_printOffered.clear();

        SaveAnswers answers;
        answers.path = Path(QStringLiteral("график.png"));
        QVERIFY(Choose(w, SavePng));
        QCOMPARE(answers.asked.last().filters, QStringList{QStringLiteral("PNG (*.png)")});
        const QImage image(answers.path, "PNG");
        QCOMPARE(image.size(), size);
        QCOMPARE(image.pixel(2, 2), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(size.width() - 3, size.height() - 3), qRgb(255, 255, 255));
        std::set<QRgb> colours;
        int dark = 0;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3) {
                colours.insert(image.pixel(x, y));
                dark += qGray(image.pixel(x, y)) < 64;
            }
        QVERIFY2(colours.size() > 3, "the picture holds more than a background");
        QVERIFY2(dark < image.width() * image.height() / 9 / 10, "the ground is light");
        QCOMPARE(Grafik(w)->size(), QSize(811, 605));
        QCOMPARE(Grafik(w)->grab().toImage(), onScreen);

        answers.path = Path(QStringLiteral("график.svg"));
        QVERIFY(Choose(w, SaveSvg));
        QCOMPARE(answers.asked.last().filters, QStringList{QStringLiteral("SVG (*.svg)")});
        QCOMPARE(m_printOffered, (QList<QSize>{Main::DefaultPrintSize, size}));
        const QByteArray svg = Contents(answers.path);
        QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QCOMPARE(renderer.viewBox(), QRect(QPoint(0, 0), size));
        QXmlStreamReader xml(svg);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QLatin1String("svg"));
        const QXmlStreamAttributes root = xml.attributes();
        QVERIFY(qAbs(CssPixels(root.value(QLatin1String("width")).toString()) - size.width()) <
                0.5);
        QVERIFY(qAbs(CssPixels(root.value(QLatin1String("height")).toString()) - size.height()) <
                0.5);
        QCOMPARE(root.value(QLatin1String("viewBox")).toString(),
                 QStringLiteral("0 0 %1 %2").arg(size.width()).arg(size.height()));
        int shapes = 0;
        QStringList texts;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) continue;
            if (xml.name() == QLatin1String("path") || xml.name() == QLatin1String("polyline"))
                ++shapes;
            else if (xml.name() == QLatin1String("text"))
                texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(shapes > 0);
        const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
        QVERIFY2(texts.filter(today).size() == 1, qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY(f.messages.isEmpty());
    }

    // A folder that is not there, and a disk that fills up: the reason is shown, an earlier file
    // of that name keeps its contents; a cancelled dialog writes nothing and says nothing.
    void failedWrites() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        StartRun(w, QStringLiteral("1000"), QString(), QStringLiteral("40"), false);
        for (int i = 0; i < 40; ++i)
            QVERIFY(TickForPoint(w));
        SaveAnswers answers;

        answers.path = QString();
        for (const QString &item : {SaveData, SavePng, SaveSvg})
            QVERIFY(Choose(w, item));
        QVERIFY(f.messages.isEmpty());

        answers.path = Path(QStringLiteral("нет/замер.csv"));
        for (const QString &item : {SaveData, SavePng, SaveSvg})
            QVERIFY(Choose(w, item));
        QCOMPARE(f.messages.size(), 3);
        for (const QString &message : f.messages) {
            QVERIFY2(message.startsWith(QStringLiteral("Файл не сохранён:\n") +
                                        QDir::toNativeSeparators(answers.path) +
                                        QStringLiteral("\n\n")),
                     qPrintable(message));
            QVERIFY(!message.endsWith(QLatin1Char('\n'))); // a reason follows
        }
        QVERIFY(!QFileInfo::exists(Path(QStringLiteral("нет"))));

        f.messages.clear();
        answers.path = Path(QStringLiteral("полный.csv"));
        {
            QFile earlier(answers.path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier\r\n");
        }
        for (const QString &item : {SaveData, SavePng, SaveSvg}) {
            const TestDisk::FileSizeLimit limit(200);
            QVERIFY(Choose(w, item));
        }
        QCOMPARE(f.messages.size(), 3);
        for (const QString &message : f.messages)
            QVERIFY2(message.startsWith(QStringLiteral("Файл не сохранён:")) &&
                         message.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))),
                     qPrintable(message));
        QCOMPARE(Contents(answers.path), QByteArray("earlier\r\n"));
    }
};

QTEST_MAIN(TestSweepExport)
#include "test_sweep_export.moc"
