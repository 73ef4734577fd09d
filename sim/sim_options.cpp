// Parsing of the simulated meter's command line.
#include "sim/sim_options.h"

#include <cmath>

namespace Sim {

namespace {

constexpr int MaxThinkMs = 10000;

class Parser {
public:
    explicit Parser(const QStringList &arguments) : m_arguments(arguments) {}

    std::optional<Options> run(QString *error);

private:
    bool option(const QString &argument);
    bool takeValue(const QString &name, QString *value);
    bool fail(const QString &why) {
        m_error = why;
        return false;
    }

    const QStringList &m_arguments;
    int m_next = 0;
    QString m_inlineValue;
    bool m_hasInlineValue = false;
    bool m_parallel = false;
    Options m_options;
    QString m_error;
};

std::optional<Options> Parser::run(QString *error) {
    while (m_next < m_arguments.size()) {
        if (!option(m_arguments.at(m_next++))) {
            if (error) *error = m_error;
            return std::nullopt;
        }
    }
    m_options.dut.parallel = m_parallel;
    return m_options;
}

bool Parser::takeValue(const QString &name, QString *value) {
    if (m_hasInlineValue) {
        *value = m_inlineValue;
        return true;
    }
    if (m_next >= m_arguments.size())
        return fail(QStringLiteral("option %1 needs a value").arg(name));
    *value = m_arguments.at(m_next++);
    return true;
}

bool Parser::option(const QString &argument) {
    if (!argument.startsWith(QLatin1String("--")))
        return fail(QStringLiteral("unexpected argument '%1'").arg(argument));
    QString name = argument;
    const int eq = argument.indexOf(QLatin1Char('='));
    m_hasInlineValue = eq >= 0;
    if (m_hasInlineValue) {
        name = argument.left(eq);
        m_inlineValue = argument.mid(eq + 1);
    }
    const bool isFlag = name == QLatin1String("--parallel") || name == QLatin1String("--paced") ||
                        name == QLatin1String("--help");
    if (isFlag && m_hasInlineValue)
        return fail(QStringLiteral("option %1 takes no value").arg(name));

    QString value;
    if (name == QLatin1String("--help")) {
        m_options.help = true;
    } else if (name == QLatin1String("--parallel")) {
        m_parallel = true;
    } else if (name == QLatin1String("--paced")) {
        m_options.paced = true;
    } else if (name == QLatin1String("--model")) {
        if (!takeValue(name, &value)) return false;
        m_options.modelRow = findModel(value);
        if (m_options.modelRow < 0)
            return fail(
                QStringLiteral("unknown model '%1' (one of %2)").arg(value, modelNameList()));
    } else if (name == QLatin1String("--dut")) {
        if (!takeValue(name, &value)) return false;
        QString why;
        const std::optional<Component> dut = parseComponent(value, &why);
        if (!dut) return fail(why);
        m_options.dut = *dut;
    } else if (name == QLatin1String("--noise")) {
        if (!takeValue(name, &value)) return false;
        bool ok = false;
        m_options.noise = value.toDouble(&ok);
        if (!ok || !std::isfinite(m_options.noise) || m_options.noise < 0.0 ||
            m_options.noise > 1.0)
            return fail(
                QStringLiteral("--noise needs a fraction from 0 to 1, not '%1'").arg(value));
    } else if (name == QLatin1String("--think")) {
        if (!takeValue(name, &value)) return false;
        bool ok = false;
        m_options.thinkMs = value.toInt(&ok);
        if (!ok || m_options.thinkMs < 0 || m_options.thinkMs > MaxThinkMs)
            return fail(QStringLiteral("--think needs milliseconds from 0 to %1, not '%2'")
                            .arg(MaxThinkMs)
                            .arg(value));
    } else if (name == QLatin1String("--seed")) {
        if (!takeValue(name, &value)) return false;
        bool ok = false;
        m_options.seed = value.toUInt(&ok);
        if (!ok) return fail(QStringLiteral("--seed needs a whole number, not '%1'").arg(value));
    } else {
        return fail(QStringLiteral("unknown option '%1'").arg(name));
    }
    return true;
}

} // namespace

std::optional<Options> parseOptions(const QStringList &arguments, QString *error) {
    return Parser(arguments).run(error);
}

QString usageText(const QString &program) {
    return QStringLiteral(
               "Usage: %1 [options]\n"
               "Simulated LCR meter on a pseudo-terminal; prints the port path and serves it\n"
               "until interrupted.\n"
               "\n"
               "  --model NAME      KT-41, KT-43, KT-44, KT-45 or KT-46, or its identifier such\n"
               "                    as KT44 (default KT-44)\n"
               "  --dut DUT         component under test, e.g. C=100n,R=0.5 or L=10m,R=2\n"
               "                    (suffixes p n u mk m k M G; default C=100n,R=0.5)\n"
               "  --parallel        the elements are in parallel (default in series)\n"
               "  --noise FRACTION  relative Gaussian noise of |Z| and the phase (default 0)\n"
               "  --think MS        delay before each reply in milliseconds (default 3)\n"
               "  --paced           send replies byte by byte at 9600 Bd\n"
               "  --seed N          seed of the noise (default 1)\n"
               "  --help            show this text\n")
        .arg(program);
}

} // namespace Sim
