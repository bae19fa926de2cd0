// What the probe target saw, read by the raw host through the probe's own
// export "probeState" (both load the same file, so they share one copy).
#pragma once

#include "vst/VstInterface.h"

struct ProbeState
{
    AEffect* record;                 // the probe's own AEffect
    AEffect* dispatcherEffect;       // effect argument of the last call of each slot
    AEffect* processEffect;
    AEffect* processReplacingEffect;
    AEffect* setParameterEffect;
    AEffect* getParameterEffect;
    AEffect* processDoubleEffect;
    std::int32_t lastOpcode, lastIndex;
    VstIntPtr lastValue;
    void* lastPtr;
    float lastOpt;
    std::int32_t setParameterIndex;
    float setParameterValue;
    VstIntPtr versionDuringEntry;    // what the host callback answered inside the entry
    int processCalls, processReplacingCalls;
};

using ProbeStateProc = ProbeState* (*)();

// Dispatcher results: every opcode without its own meaning answers this plus the opcode.
constexpr VstIntPtr probeResultBase = 0x5000;

// effVendorSpecific (50) with this index makes the probe call the host back
// with opcode `value` and return the host's answer.
constexpr std::int32_t probeCallbackIndex = 0x7462;

// getParameter(i) answers these bit patterns (a NaN with payload, -0, the smallest denormal).
constexpr std::uint32_t probeParameterBits[] = { 0x7fc12345u, 0x80000000u, 0x00000001u };
