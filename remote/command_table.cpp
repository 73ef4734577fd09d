// Matching of headers against the command table's patterns.
#include "remote/command_table.h"

namespace Remote {

namespace {

bool Matches(const Pattern &pattern, int p, const QVector<QByteArray> &nodes, int n) {
    if (p == pattern.size()) return n == nodes.size();
    const PatternNode &node = pattern[p];
    if (n < nodes.size() && (nodes[n] == node.shortForm || nodes[n] == node.longForm) &&
        Matches(pattern, p + 1, nodes, n + 1))
        return true;
    return node.optional && Matches(pattern, p + 1, nodes, n);
}

} // namespace

Pattern ParsePattern(const char *text) {
    Pattern pattern;
    bool optional = false;
    PatternNode node;
    auto finish = [&]() {
        if (node.longForm.isEmpty()) return;
        node.optional = optional;
        pattern.append(node);
        node = PatternNode();
    };
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '[') {
            finish();
            optional = true;
        } else if (*c == ']') {
            finish();
            optional = false;
        } else if (*c == ':') {
            finish();
        } else {
            if (!(*c >= 'a' && *c <= 'z')) node.shortForm.append(*c);
            node.longForm.append(static_cast<char>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c));
        }
    }
    finish();
    return pattern;
}

bool MatchPattern(const Pattern &pattern, const QVector<QByteArray> &nodes) {
    return Matches(pattern, 0, nodes, 0);
}

} // namespace Remote
