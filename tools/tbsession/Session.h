// The one scripted session tbsession runs on an effect, the same on every
// system: set-up, queries, parameter and program pass, editor rectangle,
// resume, processing, suspend, close.
#pragma once

#include "vst/VstInterface.h"

#include <cstdio>
#include <functional>
#include <string>

namespace tbsession
{

struct SessionSettings
{
    int blocks = 16;
    std::FILE* dump = nullptr;          // raw float32 output (float64 in double precision), or none
    std::function<void()> betweenSteps; // e.g. pumping the host thread's messages
    bool midi = false;                  // events before the first block: two notes and a SysEx
    bool doublePrecision = false;       // processDoubleReplacing where the plug-in offers it
    bool closeFromThread = false;       // effClose from a second thread, this one pumping meanwhile
    int chunks = 0;                     // effSetChunk calls before resume, each with a chunk of its own
};

// Main thread. Answers audioMasterVersion with 2400, everything else with 0.
VstIntPtr hostCallback (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);

// Main thread. Prints "key: value" summary lines on stdout; the effect is
// closed (and gone) when this returns.
void runSession (AEffect* effect, const SessionSettings& settings);

// Main thread. One summary line, flushed at once so that the lines before a
// crash are kept.
void printLine (const char* key, const std::string& value);

} // namespace tbsession
