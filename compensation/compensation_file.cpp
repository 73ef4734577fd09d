// Reading and writing a fixture's compensation file.
#include "compensation/compensation_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>

namespace Comp {

namespace {

constexpr char Title[] = "# Impedix fixture compensation";

QByteArray Number(double value) {
    return QByteArray::number(value, 'g', 17);
}

const char *FormName(LoadStandard::Form form) {
    switch (form) {
    case LoadStandard::Form::ResistanceReactance:
        return "R+X";
    case LoadStandard::Form::CapacitanceD:
        return "C+D";
    case LoadStandard::Form::InductanceQ:
        return "L+Q";
    }
    return "R+X";
}

std::optional<LoadStandard::Form> FormOf(const QByteArray &name) {
    if (name == "R+X") return LoadStandard::Form::ResistanceReactance;
    if (name == "C+D") return LoadStandard::Form::CapacitanceD;
    if (name == "L+Q") return LoadStandard::Form::InductanceQ;
    return std::nullopt;
}

struct Kinds {
    const char *name;
    unsigned kind;
    Trace Compensation::*trace;
};
constexpr Kinds KindTable[] = {{"open", OpenCorrection, &Compensation::open},
                               {"short", ShortCorrection, &Compensation::shorted},
                               {"load", LoadCorrection, &Compensation::load}};

bool ReadNumber(const QByteArray &text, double &into) {
    bool ok = false;
    into = text.toDouble(&ok);
    return ok && std::isfinite(into);
}

} // namespace

QByteArray FormatCompensation(const Compensation &c) {
    QByteArray text = QByteArray(Title) + "\n";
    text += "model " + c.model.toUtf8() + "\n";
    text += "fixture " + c.fixture.toUtf8() + "\n";
    text += "saved " + c.saved.toString(Qt::ISODate).toUtf8() + "\n";
    text += QByteArray("standard ") + FormName(c.standard.form) + " " + Number(c.standard.first) +
            " " + Number(c.standard.second) + "\n";
    for (const Kinds &k : KindTable)
        text += QByteArray(k.name) + ((c.enabled & k.kind) ? " on\n" : " off\n");
    text += "# kind frequency_hz re_z_ohm im_z_ohm\n";
    for (const Kinds &k : KindTable) {
        const Trace &t = c.*(k.trace);
        for (std::size_t i = 0; i < t.hz.size(); ++i)
            text += QByteArray(k.name) + " " + Number(t.hz[i]) + " " + Number(t.z[i].real()) + " " +
                    Number(t.z[i].imag()) + "\n";
    }
    return text;
}

ParsedCompensation ParseCompensation(const QByteArray &text, const QString &expectedModel) {
    ParsedCompensation out;
    const auto fail = [&out](int line, const QString &error) {
        ParsedCompensation refused;
        refused.line = line;
        refused.error = error;
        out = refused;
        return out;
    };
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != Title)
        return fail(1, QStringLiteral("not a compensation file"));
    Compensation &c = out.compensation;
    bool haveModel = false;
    for (int n = 1; n < lines.size(); ++n) {
        const int number = n + 1;
        const QByteArray line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QList<QByteArray> words = line.simplified().split(' ');
        const QByteArray &key = words.first();
        const QByteArray rest = line.mid(key.size()).trimmed();
        if (key == "model") {
            c.model = QString::fromUtf8(rest);
            haveModel = true;
        } else if (key == "fixture") {
            c.fixture = QString::fromUtf8(rest);
        } else if (key == "saved") {
            c.saved = QDateTime::fromString(QString::fromUtf8(rest), Qt::ISODate);
        } else if (key == "standard") {
            const auto form = words.size() == 4 ? FormOf(words[1]) : std::nullopt;
            if (!form || !ReadNumber(words[2], c.standard.first) ||
                !ReadNumber(words[3], c.standard.second))
                return fail(number, QStringLiteral("the standard is not \"R+X|C+D|L+Q A B\""));
            c.standard.form = *form;
            if (!c.standard.valid() && (c.standard.first != 0.0 || c.standard.second != 0.0))
                return fail(number, QStringLiteral("the load standard has no impedance"));
        } else {
            const Kinds *kind = nullptr;
            for (const Kinds &k : KindTable)
                if (key == k.name) kind = &k;
            if (!kind) return fail(number, QStringLiteral("unknown line"));
            if (words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
                if (words[1] == "on") c.enabled |= kind->kind;
                continue;
            }
            double hz = 0.0;
            double re = 0.0;
            double im = 0.0;
            if (words.size() != 4 || !ReadNumber(words[1], hz) || !(hz > 0.0) ||
                !ReadNumber(words[2], re) || !ReadNumber(words[3], im))
                return fail(number, QStringLiteral("a reading is not \"%1 HZ RE IM\" with finite "
                                                   "numbers")
                                        .arg(QLatin1String(kind->name)));
            (c.*(kind->trace)).Put(hz, Complex(re, im));
        }
    }
    if (!haveModel) return fail(1, QStringLiteral("no model line"));
    if (!expectedModel.isEmpty() && c.model != expectedModel)
        return fail(1, QStringLiteral("measured on %1, not on %2").arg(c.model, expectedModel));
    out.ok = true;
    return out;
}

QString CompensationPath(const QString &model, const QString &fixture) {
    QString name = fixture.isEmpty() ? QStringLiteral("default") : fixture;
    for (QChar &ch : name)
        if (!ch.isLetterOrNumber() && ch != QLatin1Char('-') && ch != QLatin1Char('_'))
            ch = QLatin1Char('_');
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(base).filePath(QStringLiteral("compensation/%1-%2.txt").arg(model, name));
}

bool SaveCompensation(const QString &path, const Compensation &c, QString *error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray text = FormatCompensation(c);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

ParsedCompensation LoadCompensation(const QString &path, const QString &expectedModel) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ParsedCompensation refused;
        refused.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return refused;
    }
    ParsedCompensation parsed = ParseCompensation(file.read(16 * 1024 * 1024), expectedModel);
    if (!parsed.ok)
        parsed.error =
            QStringLiteral("%1, line %2: %3").arg(path).arg(parsed.line).arg(parsed.error);
    return parsed;
}

} // namespace Comp
