// Commands that set the meter's test conditions and the client's choice of values.
#include "remote/session.h"

#include "remote/function_types.h"
#include "remote/meter_values.h"

#include <array>
#include <cmath>

namespace Remote {

namespace {

constexpr const char *SourceForms[] = {"INTernal", "EXTernal", nullptr};
constexpr const char *ApertureForms[] = {"SHORt", "MEDium", "LONG", nullptr};
constexpr const char *ApertureNames[] = {"SHOR", "MED", "LONG"};
constexpr const char *FormatForms[] = {"ASCii", nullptr};
constexpr const char *ListForms[] = {"LIST", nullptr};

} // namespace

void Session::frequencyCommand(const Parameters &p) {
    const ModelInfo model = instrument_.model();
    double hz = 0.0;
    if (!oneParameter(p) || !number(p[0], "HZ", model.lowestFrequency, model.highestFrequency, hz))
        return;
    const double rounded = std::round(hz);
    if (rounded < model.lowestFrequency || rounded > model.highestFrequency)
        return fail(DataOutOfRange);
    noteSetting(instrument_.setFrequency(static_cast<std::int32_t>(rounded)));
}

void Session::frequencyQuery(const Parameters &p) {
    if (noParameter(p)) answer(FormatNr3(instrument_.settings().frequency));
}

void Session::levelCommand(const Parameters &p) {
    double volts = 0.0;
    if (!oneParameter(p) ||
        !number(p[0], "V", Levels.back() / 1000.0, Levels.front() / 1000.0, volts))
        return;
    const int level = MatchLevel(volts);
    if (level < 0) return fail(DataOutOfRange);
    noteSetting(instrument_.setLevel(level));
}

void Session::levelQuery(const Parameters &p) {
    if (noParameter(p)) answer(FormatNr3(instrument_.settings().levelMillivolts / 1000.0));
}

void Session::biasLevelCommand(const Parameters &p) {
    double volts = 0.0;
    if (!oneParameter(p) || !number(p[0], "V", 0.0, HighestBias, volts)) return;
    if (volts < 0.0 || volts > HighestBias * (1 + 1e-9)) return fail(DataOutOfRange);
    const int step = std::max(1, instrument_.model().biasStepMillivolts);
    const long steps = std::lround(volts * 1000.0 / step);
    noteSetting(instrument_.setBiasLevel(static_cast<int>(steps * step)));
}

void Session::biasLevelQuery(const Parameters &p) {
    if (noParameter(p)) answer(FormatNr3(instrument_.settings().biasMillivolts / 1000.0));
}

void Session::biasStateCommand(const Parameters &p) {
    bool on = false;
    if (oneParameter(p) && boolean(p[0], on)) noteSetting(instrument_.setBiasState(on));
}

void Session::biasStateQuery(const Parameters &p) {
    if (noParameter(p)) answer(instrument_.settings().biasOn ? "1" : "0");
}

void Session::biasSourceCommand(const Parameters &p) {
    int source = 0;
    if (oneParameter(p) && mnemonic(p[0], SourceForms, source))
        noteSetting(instrument_.setBiasSource(source == 1));
}

void Session::biasSourceQuery(const Parameters &p) {
    if (noParameter(p)) answer(instrument_.settings().biasExternal ? "EXT" : "INT");
}

void Session::functionCommand(const Parameters &p) {
    if (!oneParameter(p)) return;
    const int type = FindFunctionType(p[0]);
    if (type < 0) return fail(IllegalParameterValue);
    function_ = type;
}

void Session::functionQuery(const Parameters &p) {
    if (noParameter(p)) answer(FunctionTypeName(function_));
}

void Session::rangeCommand(const Parameters &p) {
    double ohms = 0.0;
    if (!oneParameter(p) || !number(p[0], "OHM", RangeOhms.back(), RangeOhms.front(), ohms)) return;
    const int index = RangeFor(ohms);
    if (index < 0) return fail(DataOutOfRange);
    noteSetting(instrument_.setRange(index));
}

void Session::rangeQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    const int index = instrument_.settings().rangeIndex;
    answer(FormatNr3(index >= 0 && index < static_cast<int>(RangeOhms.size())
                         ? RangeOhms[static_cast<std::size_t>(index)]
                         : std::nan("")));
}

void Session::autoRangeCommand(const Parameters &p) {
    bool on = false;
    if (oneParameter(p) && boolean(p[0], on)) noteSetting(instrument_.setAutoRange(on));
}

void Session::autoRangeQuery(const Parameters &p) {
    if (noParameter(p)) answer(instrument_.settings().autoRange ? "1" : "0");
}

void Session::apertureCommand(const Parameters &p) {
    if (p.isEmpty()) return fail(MissingParameter);
    if (p.size() > 2) return fail(ParameterNotAllowed);
    int word = 0;
    if (!mnemonic(p[0], ApertureForms, word)) return;
    int count = averaging_;
    if (p.size() == 2) {
        double n = 0.0;
        if (!number(p[1], "", 1, MaxAveraging, n)) return;
        if (std::round(n) < 1 || std::round(n) > MaxAveraging) return fail(DataOutOfRange);
        count = static_cast<int>(std::round(n));
    }
    if (!noteSetting(instrument_.setSpeed(word != 0))) return;
    aperture_ = word;
    averaging_ = count;
}

void Session::apertureQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    // The window may have changed the speed since.
    const bool normal = instrument_.settings().normalSpeed;
    const int word = normal ? (aperture_ == 0 ? 1 : aperture_) : 0;
    answer(QByteArray(ApertureNames[word]) + ',' + QByteArray::number(averaging_));
}

void Session::formatCommand(const Parameters &p) {
    int format = 0;
    if (oneParameter(p)) mnemonic(p[0], FormatForms, format);
}

void Session::formatQuery(const Parameters &p) {
    if (noParameter(p)) answer("ASC");
}

void Session::pageCommand(const Parameters &p) {
    if (!oneParameter(p)) return;
    if (ParseNumber(p[0], "").error == 0) return fail(DataTypeError);
    listPage_ = ChooseMnemonic(ListForms, p[0]) == 0;
}

void Session::pageQuery(const Parameters &p) {
    if (noParameter(p)) answer(listPage_ ? "LIST" : "MEAS");
}

void Session::displayEnableCommand(const Parameters &p) {
    bool on = false;
    if (oneParameter(p)) boolean(p[0], on);
}

void Session::displayEnableQuery(const Parameters &p) {
    if (noParameter(p)) answer("1");
}

} // namespace Remote
