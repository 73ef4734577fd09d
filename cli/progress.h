// How far a run has come, on standard error: a bar redrawn in place while it is a terminal, a
// line per tenth of the run otherwise (a log keeps a few lines, not one per reading).
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace Cli {

class Progress {
public:
    // write takes each piece of text as it is due; terminal: whether it goes to one.
    Progress(QString label, bool terminal, std::function<void(const QByteArray &)> write);

    // done of total (total > 0) reached.
    void update(qint64 done, qint64 total);
    // Ends the bar's line on a terminal; nothing otherwise.
    void finish();

    // The bar as it stands for done of total: "[#####.....]  50 % (5/10)".
    static QString Bar(qint64 done, qint64 total);

private:
    QString m_label;
    bool m_terminal;
    std::function<void(const QByteArray &)> m_write;
    int m_lastTenth = -1; // the last tenth reported as a line
    qint64 m_lastDone = -1;
    bool m_drawn = false;
};

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

} // namespace Cli
