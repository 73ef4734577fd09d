// Both CSV dialects of a recording and of a sweep table, opened by LibreOffice Calc as a lab in a
// German or a Russian locale opens them: headless, with the import options that fit each dialect
// ("," with English number recognition; ";" with the locale's own decimal comma). The sheet is
// saved as flat ODF and read back cell by cell: every number the number written, every text the
// text, every empty field an empty cell.
#include "export/recorder.h"
#include "export/save_file.h"
#include "export/sweep_csv.h"
#include "sweep/sweep_store.h"
#include "tests/export/csv_reader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace Export;

namespace {

// One cell as Calc keeps it.
struct Cell {
    enum Kind { Empty, Number, Text, Other } kind = Empty;
    double number = 0.0;
    QString text;
};
using Sheet = QList<QList<Cell>>;

// The text of a text:p element, with text:s runs of blanks.
QString ParagraphText(QXmlStreamReader &xml) {
    QString text;
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isCharacters()) text += xml.text();
        if (xml.isStartElement() && xml.name() == QLatin1String("s")) {
            const int count = xml.attributes().value(QLatin1String("text:c")).toInt();
            text += QString(count > 0 ? count : 1, QLatin1Char(' '));
        }
        if (xml.isEndElement() && xml.name() == QLatin1String("p")) break;
    }
    return text;
}

Cell ReadCell(QXmlStreamReader &xml) {
    Cell cell;
    const QStringView type = xml.attributes().value(QLatin1String("office:value-type"));
    if (type == QLatin1String("float")) {
        cell.kind = Cell::Number;
        cell.number = xml.attributes().value(QLatin1String("office:value")).toDouble();
    } else if (type == QLatin1String("string")) {
        cell.kind = Cell::Text;
    } else if (!type.isEmpty()) {
        cell.kind = Cell::Other; // a date, a time, a percentage: Calc took a text for one
        cell.text = type.toString();
    }
    QStringList paragraphs;
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isStartElement() && xml.name() == QLatin1String("p"))
            paragraphs << ParagraphText(xml);
        if (xml.isEndElement() && xml.name().endsWith(QLatin1String("table-cell"))) break;
    }
    if (cell.kind == Cell::Text) cell.text = paragraphs.join(QLatin1Char('\n'));
    return cell;
}

// The first sheet of a flat ODF spreadsheet, without trailing empty cells and rows.
Sheet ReadSheet(const QString &path) {
    QFile file(path);
    Sheet sheet;
    if (!file.open(QIODevice::ReadOnly)) return sheet;
    QXmlStreamReader xml(&file);
    QList<Cell> row;
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isStartElement() && xml.name() == QLatin1String("table-row")) {
            row.clear();
        } else if (xml.isStartElement() && xml.name().endsWith(QLatin1String("table-cell"))) {
            const int repeated =
                xml.attributes().value(QLatin1String("table:number-columns-repeated")).toInt();
            const Cell cell = ReadCell(xml);
            for (int n = 0; n < std::max(repeated, 1) && n < 1024; ++n)
                row << cell;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("table-row")) {
            while (!row.isEmpty() && row.last().kind == Cell::Empty)
                row.removeLast();
            sheet << row;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("table")) {
            break;
        }
    }
    while (!sheet.isEmpty() && sheet.last().isEmpty())
        sheet.removeLast();
    return sheet;
}

// A field the writer made of a number in dialect: -d[.ddd][e±xx], with its decimal mark.
bool IsNumberField(const QString &field, QChar decimalMark) {
    static const QRegularExpression comma(QStringLiteral(R"(^-?\d+(,\d+)?(e[+-]\d+)?$)"));
    static const QRegularExpression point(QStringLiteral(R"(^-?\d+(\.\d+)?(e[+-]\d+)?$)"));
    return (decimalMark == QLatin1Char(',') ? comma : point).match(field).hasMatch();
}

QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Frames of every kind a recording meets: a capacitor in either circuit, a pure resistance (no
// reactance: several values undefined), an inductor, the first model's name.
bool WriteRecording(const QString &path, CsvDialect dialect) {
    Recorder recorder;
    if (!recorder.start(path, dialect)) return false;
    const struct {
        const char *model;
        const char *range;
        bool series;
        float magnitude;
        float phase;
        int frequency;
        int bias;
    } frames[] = {{"KT-44", "1 kOm", true, 1591.565f, -1.5701f, 100000, 1600},
                  {"KT-44", "1 kOm", false, 1591.565f, -1.5701f, 100000, 1600},
                  {"KT-41", "10 MOm", false, 1.0e6f, 0.0f, 1000, 0},
                  {"KT-45", "1 Om", true, 0.0314159f, 1.5707f, 50000, -500},
                  {"KT-46", "100 Om", true, 123.456f, 0.25f, 25, 100}};
    for (const auto &f : frames) {
        FrameRecord frame;
        frame.model = QString::fromLatin1(f.model);
        frame.range = QString::fromLatin1(f.range);
        frame.seriesCircuit = f.series;
        frame.magnitude = f.magnitude;
        frame.phase = f.phase;
        frame.frequencyHz = f.frequency;
        frame.biasMillivolts = f.bias;
        if (!recorder.append(frame)) return false;
    }
    return true;
}

// A run of twelve points, some purely resistive, in both circuits.
bool WriteSweep(const QString &path, CsvDialect dialect) {
    auto store = std::make_unique<Main::SweepVariables>();
    store->SweepPoints = 12;
    store->SweepIndex = 11;
    for (int i = 0; i < 12; ++i) {
        store->SweepFrequencies[i] = float(1000 + 4000 * i);
        store->SweepMagnitudes[i] = 1591.565f / float(1 + i);
        store->SweepPhases[i] = i % 4 == 1 ? 0.0f : -1.5f + 0.25f * float(i);
        store->SweepReportedFrequencies[i] = 1000 + 4000 * i;
        store->SweepSeriesCircuits[i] = i % 3 != 0;
    }
    QString error;
    return SaveWhole(path, SweepCsv(*store, dialect), &error);
}

} // namespace

class TestSpreadsheet : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_office;

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    // Every field of the CSV file against its cell in the sheet Calc made of it.
    static void CompareCells(const QByteArray &csv, const Sheet &sheet, CsvDialect dialect) {
        const CsvText::Table table = CsvText::Read(csv, dialect.separator);
        QVERIFY(table.wellFormed);
        QCOMPARE(sheet.size(), table.records.size());
        int numbers = 0, empties = 0;
        for (int r = 0; r < table.records.size(); ++r) {
            QStringList record = table.records.at(r);
            while (!record.isEmpty() && record.last().isEmpty())
                record.removeLast();
            const QList<Cell> &row = sheet.at(r);
            QCOMPARE(row.size(), record.size());
            for (int c = 0; c < record.size(); ++c) {
                const QString &field = record.at(c);
                const Cell &cell = row.at(c);
                const QByteArray where = QStringLiteral("row %1, column %2: \"%3\"")
                                             .arg(r + 1)
                                             .arg(c + 1)
                                             .arg(field)
                                             .toUtf8();
                if (field.isEmpty()) {
                    QVERIFY2(cell.kind == Cell::Empty, where.constData());
                    ++empties;
                } else if (IsNumberField(field, dialect.decimalMark)) {
                    QVERIFY2(cell.kind == Cell::Number, where.constData());
                    const double written = CsvText::Number(field, dialect.decimalMark);
                    QVERIFY2(cell.number == written,
                             (where + " read as " + QByteArray::number(cell.number, 'g', 17))
                                 .constData());
                    ++numbers;
                } else {
                    QVERIFY2(cell.kind == Cell::Text,
                             (where + " " + cell.text.toUtf8()).constData());
                    QCOMPARE(cell.text, field);
                }
            }
        }
        QVERIFY(numbers > 50); // the tables hold numbers, not only texts
        QVERIFY(empties > 0);  // and undefined values
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        QVERIFY2(!m_office.isEmpty(), "LibreOffice Calc is needed (libreoffice-calc-nogui)");
        for (const bool semicolon : {false, true}) {
            const CsvDialect dialect = semicolon ? SemicolonDialect() : CommaDialect();
            const QString tag = semicolon ? QStringLiteral("semicolon") : QStringLiteral("comma");
            QVERIFY(WriteRecording(Path(QStringLiteral("recording-%1.csv").arg(tag)), dialect));
            QVERIFY(WriteSweep(Path(QStringLiteral("sweep-%1.csv").arg(tag)), dialect));
        }
    }

    void cellForCell_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("semicolon");
        for (const char *locale : {"de_DE.UTF-8", "ru_RU.UTF-8"}) {
            QTest::addRow("%s, comma", locale) << QString::fromLatin1(locale) << false;
            QTest::addRow("%s, semicolon", locale) << QString::fromLatin1(locale) << true;
        }
    }
    void cellForCell() {
        QFETCH(QString, locale);
        QFETCH(bool, semicolon);
        const CsvDialect dialect = semicolon ? SemicolonDialect() : CommaDialect();
        const QString tag = semicolon ? QStringLiteral("semicolon") : QStringLiteral("comma");
        // Separator, quote, UTF-8, from line 1, standard columns, the language whose numbers
        // the dialect writes (English, or the locale's own), quoted fields not forced to text,
        // no detection of dates and other special numbers.
        const QString options = semicolon ? QStringLiteral("59,34,76,1,,0,false,false")
                                          : QStringLiteral("44,34,76,1,,1033,false,false");
        const QString out = Path(QStringLiteral("out-%1-%2").arg(locale, tag));
        QVERIFY(QDir().mkpath(out));
        const QStringList files{Path(QStringLiteral("recording-%1.csv").arg(tag)),
                                Path(QStringLiteral("sweep-%1.csv").arg(tag))};

        QProcess office;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), locale);
        environment.insert(QStringLiteral("LANG"), locale);
        office.setProcessEnvironment(environment);
        office.setProcessChannelMode(QProcess::MergedChannels);
        office.start(
            m_office,
            QStringList{QStringLiteral("-env:UserInstallation=") +
                            QUrl::fromLocalFile(Path(QStringLiteral("profile"))).toString(),
                        QStringLiteral("--headless"), QStringLiteral("--norestore"),
                        QStringLiteral("--convert-to"), QStringLiteral("fods"),
                        QStringLiteral("--infilter=CSV:") + options, QStringLiteral("--outdir"),
                        out} +
                files);
        QVERIFY(office.waitForStarted());
        QVERIFY2(office.waitForFinished(240000), "LibreOffice did not finish");
        const QByteArray said = office.readAll();
        QVERIFY2(office.exitStatus() == QProcess::NormalExit && office.exitCode() == 0,
                 said.constData());

        for (const QString &csv : files) {
            const QString sheet =
                QDir(out).filePath(QFileInfo(csv).completeBaseName() + QStringLiteral(".fods"));
            QVERIFY2(QFile::exists(sheet), said.constData());
            CompareCells(Contents(csv), ReadSheet(sheet), dialect);
            if (QTest::currentTestFailed()) return;
        }
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "test_spreadsheet.moc"
