// The one start-up a test may make again: the link empties its input right before each read, so
// on a machine too busy to run the meter's thread (or the program's) in time, an identity answer
// can be lost. A start-up (a search, a window, a process) that lost it may be made once more;
// that restart is printed and counted, and a second one in the same test fails it, so a meter
// that loses answers now and then cannot pass by being asked again and again.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>

namespace TestLostAnswer {

struct Count {
    QByteArray test; // the test function and data row the restarts below belong to
    int inTest = 0;
    int inProcess = 0;
};

inline Count &Restarts() {
    static Count count;
    return count;
}

// Called when a start-up lost its answers (cause says how); true when it may be made again.
// False, with the test failed, when this test has already made one again.
inline bool MayStartAgain(const char *what, const QString &cause) {
    Count &count = Restarts();
    const QByteArray test =
        QByteArray(QTest::currentTestFunction()) + '(' + QByteArray(QTest::currentDataTag()) + ')';
    if (test != count.test) {
        count.test = test;
        count.inTest = 0;
    }
    ++count.inTest;
    ++count.inProcess;
    qWarning("LOST ANSWER: %s %s made again (%d in this test, %d in this process): %s",
             test.constData(), what, count.inTest, count.inProcess, qPrintable(cause.trimmed()));
    if (count.inTest <= 1) return true;
    QTest::qFail(qPrintable(QStringLiteral("%1 lost its answers a second time: %2")
                                .arg(QLatin1String(what), cause.trimmed())),
                 __FILE__, __LINE__);
    return false;
}

} // namespace TestLostAnswer
