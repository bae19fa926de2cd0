// The fixed vocabulary of the call log (names, labels, how to print each
// call) and the live per-entry state behind it: a call counter and an enable
// flag for each of the 134 entries. The state is shared by every thread that
// calls through Tattlebox, so it is made of relaxed atomics: no lock anywhere.
// The calls themselves are counted in CallStatistics' shards.
#pragma once

#include <atomic>
#include <cstdint>

enum OpCodeGroupIndex : int
{
    groupAEffectFunctions = 0,
    groupDispatcher = 1,
    groupAudioMaster = 2
};

constexpr int numOpCodeGroups = 3;
constexpr int numAEffectFunctions = 7;
constexpr int numDispatcherOpCodes = 77;
constexpr int numAudioMasterOpCodes = 50;

// Entries of the AEffect-functions group.
enum AEffectFunction : int
{
    functionDispatcher = 0,
    functionAudioMaster = 1,
    functionProcess = 2,
    functionProcessReplacing = 3,
    functionSetParameter = 4,
    functionGetParameter = 5,
    functionProcessDoubleReplacing = 6
};

// What a call's ptr argument points to.
enum PointerKind : std::int32_t
{
    kindNone = 0,
    kindString = 1,
    kindRect = 2,
    kindRectOut = 3,
    kindChunkOut = 4,
    kindOpaque = 5,
    kindEvents = 6,
    kindPinProperties = 7,
    kindParameterProperties = 8,
    kindTimeInfo = 9,
    kindWindow = 10,
    kindFileSelect = 11,
    kindAudioFiles = 12,
    kindOfflineTask = 13,
    kindVariableIo = 14,
    kindSpeakerArrangement = 15,
    kindMidiProgramName = 16,
    kindMidiProgramCategory = 17,
    kindMidiKeyName = 18,
    kindPatchChunkInfo = 19
};

// How to print one dispatcher or audioMaster opcode; a null label is not printed.
struct OpCodeDescriptor
{
    const char* name;
    const char* returnName;
    const char* indexName;
    const char* valueName;
    bool pointerIsOutput;
    std::int32_t pointerKind;
    const char* pointerName;
    const char* optName;
};

struct OpCodeState
{
    // Written only by resets and by tools that preset a count (tests, the
    // page renderer): an entry's count is this plus its shards' calls.
    std::atomic<std::uint64_t> callCount { 0 };
    std::atomic<bool> enabled { false };
};

struct OpCodeGroup
{
    std::int32_t count;
    const char* name;     // also the group's element name in the state file
    OpCodeState* states;
};

extern const char* const aEffectFunctionNames[numAEffectFunctions];
extern const OpCodeDescriptor dispatcherOpCodes[numDispatcherOpCodes];
extern const OpCodeDescriptor audioMasterOpCodes[numAudioMasterOpCodes];

extern OpCodeState aEffectFunctionStates[numAEffectFunctions];
extern OpCodeState dispatcherStates[numDispatcherOpCodes];
extern OpCodeState audioMasterStates[numAudioMasterOpCodes];

extern const OpCodeGroup opCodeGroups[numOpCodeGroups];
