// Header patterns as the command table writes them ("[:SENSe]:FREQuency[:CW]") and their
// matching against the mnemonics a client sent.
#pragma once

#include <QByteArray>
#include <QVector>

namespace Remote {

struct PatternNode {
    QByteArray shortForm; // the upper-case part
    QByteArray longForm;  // all of it, in upper case
    bool optional = false;
};

using Pattern = QVector<PatternNode>;

Pattern ParsePattern(const char *text);

// Whether nodes (upper case) spell the pattern, optional nodes left out or given.
bool MatchPattern(const Pattern &pattern, const QVector<QByteArray> &nodes);

} // namespace Remote
