// The COMParator commands on the instrument's one comparator.
#include "remote/comparator_commands.h"

#include "remote/command_set.h"
#include "remote/scpi_parser.h"

#include <cmath>

namespace Remote {

namespace {

constexpr const char *ModeForms[] = {"ATOLerance", "PTOLerance", "SEQuence", nullptr};
constexpr const char *ModeNames[] = {"ATOL", "PTOL", "SEQ"};
constexpr Sort::Mode Modes[] = {Sort::Mode::AbsoluteTolerance, Sort::Mode::PercentTolerance,
                                Sort::Mode::Sequential};
constexpr int MaxBoundaries = Sort::MaxBins + 1;

} // namespace

bool ComparatorCommands::value(const QByteArray &text, double &v) {
    const Number n = ParseNumber(text, "");
    if (n.error != 0) {
        reply_.fail(n.error);
        return false;
    }
    if (n.kind != Number::Value) { // a comparator limit has no MIN or MAX
        reply_.fail(IllegalParameterValue);
        return false;
    }
    v = n.value;
    return true;
}

bool ComparatorCommands::limitPair(const Parameters &p, Sort::Limits &limits) {
    if (p.size() < 2) {
        reply_.fail(MissingParameter);
        return false;
    }
    if (p.size() > 2) {
        reply_.fail(ParameterNotAllowed);
        return false;
    }
    double low = 0.0;
    double high = 0.0;
    if (!value(p[0], low) || !value(p[1], high)) return false;
    limits = {low, high};
    return true;
}

void ComparatorCommands::apply(ComparatorSettings settings) {
    settings.function = state_.measure.function;
    if (const int code = ComparatorRefusal(settings)) return reply_.fail(code);
    const bool wasOn = instrument_.comparator().on;
    if (const int code = instrument_.setComparator(settings)) return reply_.fail(code);
    if (!wasOn && settings.on) state_.sortingBatch = instrument_.sortingBatch();
}

void ComparatorCommands::answerLimits(const Sort::Limits &limits) {
    reply_.answer(FormatNr3(limits.low.value_or(std::nan(""))) + ',' +
                  FormatNr3(limits.high.value_or(std::nan(""))));
}

void ComparatorCommands::stateCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    if (reply_.oneParameter(p) && reply_.boolean(p[0], settings.on)) apply(settings);
}

void ComparatorCommands::stateQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.comparator().on ? "1" : "0");
}

void ComparatorCommands::modeCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    int mode = 0;
    if (!reply_.oneParameter(p) || !reply_.mnemonic(p[0], ModeForms, mode)) return;
    settings.mode = Modes[mode];
    apply(settings);
}

void ComparatorCommands::modeQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    const Sort::Mode mode = instrument_.comparator().mode;
    for (int i = 0; i < 3; ++i)
        if (Modes[i] == mode) return reply_.answer(ModeNames[i]);
}

void ComparatorCommands::nominalCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    if (reply_.oneParameter(p) && value(p[0], settings.nominal)) apply(settings);
}

void ComparatorCommands::nominalQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(FormatNr3(instrument_.comparator().nominal));
}

// Bins are set from BIN1 up: a bin above one not set would hold every value below it.
void ComparatorCommands::toleranceBinCommand(int bin, const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    Sort::Limits limits;
    if (!limitPair(p, limits)) return;
    const auto index = static_cast<std::size_t>(bin - 1);
    if (index > settings.bins.size()) return reply_.fail(SettingsConflict);
    if (index == settings.bins.size())
        settings.bins.push_back(limits);
    else
        settings.bins[index] = limits;
    apply(settings);
}

void ComparatorCommands::toleranceBinQuery(int bin, const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    const ComparatorSettings settings = instrument_.comparator();
    const auto index = static_cast<std::size_t>(bin - 1);
    answerLimits(index < settings.bins.size() ? settings.bins[index] : Sort::Limits{});
}

void ComparatorCommands::sequenceCommand(const Parameters &p) {
    if (p.size() < 2) return reply_.fail(MissingParameter);
    if (p.size() > MaxBoundaries) return reply_.fail(ParameterNotAllowed);
    ComparatorSettings settings = instrument_.comparator();
    settings.boundaries.clear();
    for (const QByteArray &text : p) {
        double boundary = 0.0;
        if (!value(text, boundary)) return;
        settings.boundaries.push_back(boundary);
    }
    apply(settings);
}

void ComparatorCommands::sequenceQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    QByteArray text;
    for (double boundary : instrument_.comparator().boundaries) {
        if (!text.isEmpty()) text += ',';
        text += FormatNr3(boundary);
    }
    reply_.answer(text);
}

void ComparatorCommands::secondaryCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    if (limitPair(p, settings.secondary)) apply(settings);
}

void ComparatorCommands::secondaryQuery(const Parameters &p) {
    if (reply_.noParameter(p)) answerLimits(instrument_.comparator().secondary);
}

void ComparatorCommands::auxBinCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    if (reply_.oneParameter(p) && reply_.boolean(p[0], settings.auxBin)) apply(settings);
}

void ComparatorCommands::auxBinQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.comparator().auxBin ? "1" : "0");
}

void ComparatorCommands::swapCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    if (reply_.oneParameter(p) && reply_.boolean(p[0], settings.swap)) apply(settings);
}

void ComparatorCommands::swapQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.comparator().swap ? "1" : "0");
}

// Every limit goes: the tolerance bins, the sequence's boundaries and the secondary limits.
void ComparatorCommands::clearBinsCommand(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    ComparatorSettings settings = instrument_.comparator();
    settings.bins.clear();
    settings.boundaries.clear();
    settings.secondary = {};
    apply(settings);
}

void ComparatorCommands::countingCommand(const Parameters &p) {
    ComparatorSettings settings = instrument_.comparator();
    if (reply_.oneParameter(p) && reply_.boolean(p[0], settings.counting)) apply(settings);
}

void ComparatorCommands::countingQuery(const Parameters &p) {
    if (reply_.noParameter(p)) reply_.answer(instrument_.comparator().counting ? "1" : "0");
}

void ComparatorCommands::countDataQuery(const Parameters &p) {
    if (!reply_.noParameter(p)) return;
    QByteArray text;
    for (std::int64_t count : instrument_.binCounters()) {
        if (!text.isEmpty()) text += ',';
        text += QByteArray::number(static_cast<qlonglong>(count));
    }
    reply_.answer(text);
}

void ComparatorCommands::countClearCommand(const Parameters &p) {
    if (reply_.noParameter(p)) instrument_.clearBinCounters();
}

const QVector<Entry> &ComparatorCommands::Table() {
    using G = ComparatorCommands;
    static const QVector<Entry> table{
        {"COMParator[:STATe]", &Call<&G::stateCommand>, &Call<&G::stateQuery>},
        {"COMParator:MODE", &Call<&G::modeCommand>, &Call<&G::modeQuery>},
        {"COMParator:TOLerance:NOMinal", &Call<&G::nominalCommand>, &Call<&G::nominalQuery>},
        {"COMParator:TOLerance:BIN1", &Call<&G::binCommand<1>>, &Call<&G::binQuery<1>>},
        {"COMParator:TOLerance:BIN2", &Call<&G::binCommand<2>>, &Call<&G::binQuery<2>>},
        {"COMParator:TOLerance:BIN3", &Call<&G::binCommand<3>>, &Call<&G::binQuery<3>>},
        {"COMParator:TOLerance:BIN4", &Call<&G::binCommand<4>>, &Call<&G::binQuery<4>>},
        {"COMParator:TOLerance:BIN5", &Call<&G::binCommand<5>>, &Call<&G::binQuery<5>>},
        {"COMParator:TOLerance:BIN6", &Call<&G::binCommand<6>>, &Call<&G::binQuery<6>>},
        {"COMParator:TOLerance:BIN7", &Call<&G::binCommand<7>>, &Call<&G::binQuery<7>>},
        {"COMParator:TOLerance:BIN8", &Call<&G::binCommand<8>>, &Call<&G::binQuery<8>>},
        {"COMParator:TOLerance:BIN9", &Call<&G::binCommand<9>>, &Call<&G::binQuery<9>>},
        {"COMParator:SEQuence:BIN", &Call<&G::sequenceCommand>, &Call<&G::sequenceQuery>},
        {"COMParator:SLIMit", &Call<&G::secondaryCommand>, &Call<&G::secondaryQuery>},
        {"COMParator:ABIN", &Call<&G::auxBinCommand>, &Call<&G::auxBinQuery>},
        {"COMParator:SWAP", &Call<&G::swapCommand>, &Call<&G::swapQuery>},
        {"COMParator:BIN:CLEar", &Call<&G::clearBinsCommand>, nullptr},
        {"COMParator:BIN:COUNt[:STATe]", &Call<&G::countingCommand>, &Call<&G::countingQuery>},
        {"COMParator:BIN:COUNt:DATA", nullptr, &Call<&G::countDataQuery>},
        {"COMParator:BIN:COUNt:CLEar", &Call<&G::countClearCommand>, nullptr},
    };
    return table;
}

} // namespace Remote
