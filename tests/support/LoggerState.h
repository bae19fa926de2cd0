// Everything of tbLogger's state that the state file keeps, as one list, so
// that a test (or the fuzzer) compares two states at a glance.
#pragma once

#include "log/TBLogger.h"

#include <vector>

namespace testsupport
{

// Every enable flag in group order, then the options in the file's order.
inline std::vector<bool> flagsAndOptions()
{
    std::vector<bool> all;

    for (int group = 0; group < numOpCodeGroups; ++group)
        for (int index = 0; index < TBLogger::getNumOpCodes (group); ++index)
            all.push_back (TBLogger::isOpCodeEnabled (group, index));

    all.push_back (tbLogger.logParameters);
    all.push_back (tbLogger.logReturnParameters);
    all.push_back (tbLogger.logTime);
    all.push_back (tbLogger.rememberTarget);
    all.push_back (tbLogger.logToDebugOutput);
    all.push_back (tbLogger.logToFile);
    all.push_back (tbLogger.decodeStructures);
    all.push_back (tbLogger.timeCalls);
    all.push_back (tbLogger.logSummary);
    return all;
}

} // namespace testsupport
