// The command table: every header the server knows, its command and its query.
#include "remote/session.h"

namespace Remote {

const QVector<Session::Entry> &Session::Table() {
    using S = Session;
    static const QVector<Entry> table{
        {"*IDN", nullptr, &S::idnQuery},
        {"*RST", &S::rstCommand, nullptr},
        {"*CLS", &S::clsCommand, nullptr},
        {"*ESE", &S::eseCommand, &S::eseQuery},
        {"*ESR", nullptr, &S::esrQuery},
        {"*STB", nullptr, &S::stbQuery},
        {"*OPC", &S::opcCommand, &S::opcQuery},
        {"*WAI", &S::waiCommand, nullptr},
        {"*TRG", &S::trgCommand, nullptr},
        {"*TST", nullptr, &S::tstQuery},
        {"SYSTem:ERRor[:NEXT]", nullptr, &S::errorQuery},
        {"SYSTem:VERSion", nullptr, &S::versionQuery},
        {"[:SENSe]:FREQuency[:CW]", &S::frequencyCommand, &S::frequencyQuery},
        {"[:SOURce]:VOLTage[:LEVel]", &S::levelCommand, &S::levelQuery},
        {"[:SOURce]:CURRent[:LEVel]", nullptr, nullptr}, // the meter has no current mode
        {"[:SOURce]:BIAS:VOLTage[:LEVel]", &S::biasLevelCommand, &S::biasLevelQuery},
        {"[:SOURce]:BIAS:STATe", &S::biasStateCommand, &S::biasStateQuery},
        {"[:SOURce]:BIAS:SOURce", &S::biasSourceCommand, &S::biasSourceQuery},
        {"[:SENSe]:FUNCtion:IMPedance[:TYPE]", &S::functionCommand, &S::functionQuery},
        {"[:SENSe]:FUNCtion:IMPedance:RANGe[:VALue]", &S::rangeCommand, &S::rangeQuery},
        {"[:SENSe]:FUNCtion:IMPedance:RANGe:AUTO", &S::autoRangeCommand, &S::autoRangeQuery},
        {"[:SENSe]:APERture", &S::apertureCommand, &S::apertureQuery},
        {"FORMat[:DATA]", &S::formatCommand, &S::formatQuery},
        {"DISPlay:PAGE", &S::pageCommand, &S::pageQuery},
        {"DISPlay:ENABle", &S::displayEnableCommand, &S::displayEnableQuery},
        {"TRIGger:SOURce", &S::triggerSourceCommand, &S::triggerSourceQuery},
        {"TRIGger[:IMMediate]", &S::triggerCommand, nullptr},
        {"INITiate[:IMMediate]", &S::initiateCommand, nullptr},
        {"INITiate:CONTinuous", &S::continuousCommand, &S::continuousQuery},
        {"FETCh[:IMPedance][:FORMatted]", nullptr, &S::fetchQuery},
        {"ABORt", &S::abortCommand, nullptr},
        {"LIST:FREQuency", &S::listFrequencyCommand, &S::listFrequencyQuery},
        {"LIST:MODE", &S::listModeCommand, &S::listModeQuery},
        // Impedix's own: the sweep's plan, its last run and the fit of that run.
        {"SWEep:SPACing", &S::sweepSpacingCommand, &S::sweepSpacingQuery},
        {"SWEep:STARt", &S::sweepStartCommand, &S::sweepStartQuery},
        {"SWEep:STOP", &S::sweepStopCommand, &S::sweepStopQuery},
        {"SWEep:POINts", &S::sweepPointsCommand, &S::sweepPointsQuery},
        {"SWEep:DATA", nullptr, &S::sweepDataQuery},
        {"FIT", nullptr, &S::fitQuery},
    };
    return table;
}

} // namespace Remote
