// Progress text: redrawn only when it changes, so a terminal sees a few writes per run.
#include "cli/progress.h"

#include <unistd.h>

namespace Cli {

namespace {

constexpr int BarWidth = 40;

int Percent(qint64 done, qint64 total) {
    return static_cast<int>(done * 100 / total);
}

} // namespace

Progress::Progress(QString label, bool terminal, std::function<void(const QByteArray &)> write)
    : m_label(std::move(label)), m_terminal(terminal), m_write(std::move(write)) {}

QString Progress::Bar(qint64 done, qint64 total) {
    const int filled = static_cast<int>(done * BarWidth / total);
    return QStringLiteral("[%1%2] %3 % (%4/%5)")
        .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('.')))
        .arg(Percent(done, total), 3)
        .arg(done)
        .arg(total);
}

void Progress::update(qint64 done, qint64 total) {
    if (total <= 0) return;
    done = qBound<qint64>(0, done, total);
    if (m_terminal) {
        if (done == m_lastDone) return;
        m_lastDone = done;
        m_write(
            (QLatin1Char('\r') + m_label + QLatin1String(": ") + Bar(done, total)).toLocal8Bit());
        m_drawn = true;
        return;
    }
    const int tenth = static_cast<int>(done * 10 / total);
    if (tenth <= m_lastTenth || tenth == 0) return;
    m_lastTenth = tenth;
    m_write(QStringLiteral("%1: %2 % (%3/%4)\n")
                .arg(m_label)
                .arg(tenth * 10)
                .arg(done)
                .arg(total)
                .toLocal8Bit());
}

void Progress::finish() {
    if (m_terminal && m_drawn) m_write("\n");
    m_drawn = false;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace Cli
