#include "OpCodeCatalogue.h"
#include "TBLogger.h"
#include "CallStatistics.h"

// Names and rows are constant data: nothing to construct at load time. Rows
// are indexed by opcode number, as the VST 2 interface numbers them.
const char* const aEffectFunctionNames[numAEffectFunctions] =
{
    "dispatcher", "audioMaster", "process", "processReplacing", "setParameter", "getParameter",
    "processDoubleReplacing"
};

// Fields: name, returnName, indexName, valueName, pointerIsOutput, pointerKind, pointerName, optName.
const OpCodeDescriptor dispatcherOpCodes[numDispatcherOpCodes] =
{
    { "Open", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 0
    { "Close", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 1
    { "SetProgram", nullptr, nullptr, "program", false, kindNone, nullptr, nullptr }, // 2
    { "GetProgram", "program", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 3
    { "SetProgramName", nullptr, nullptr, nullptr, false, kindString, "name", nullptr }, // 4
    { "GetProgramName", nullptr, nullptr, nullptr, true, kindString, "name", nullptr }, // 5
    { "GetParamLabel", nullptr, "parameter", nullptr, true, kindString, "label", nullptr }, // 6
    { "GetParamDisplay", nullptr, "parameter", nullptr, true, kindString, "value", nullptr }, // 7
    { "GetParamName", nullptr, "parameter", nullptr, true, kindString, "name", nullptr }, // 8
    { "GetVu", "level", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 9
    { "SetSampleRate", nullptr, nullptr, nullptr, false, kindNone, nullptr, "sampleRate" }, // 10
    { "SetBlockSize", nullptr, nullptr, "blockSize", false, kindNone, nullptr, nullptr }, // 11
    { "MainsChanged", nullptr, nullptr, "state", false, kindNone, nullptr, nullptr }, // 12
    { "EditGetRect", "long", nullptr, nullptr, true, kindRectOut, "rect", nullptr }, // 13
    { "EditOpen", "long", nullptr, nullptr, false, kindOpaque, "window", nullptr }, // 14
    { "EditClose", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 15
    { "EditDraw", nullptr, nullptr, nullptr, false, kindRect, "rect", nullptr }, // 16
    { "EditMouse", "long", "x", "y", false, kindNone, nullptr, nullptr }, // 17
    { "EditKey", "long", nullptr, "keyCode", false, kindNone, nullptr, nullptr }, // 18
    { "EditIdle", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 19
    { "EditTop", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 20
    { "EditSleep", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 21
    { "Identify", "CCONST", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 22
    { "GetChunk", "dataSize", "isPreset", nullptr, false, kindChunkOut, "data", nullptr }, // 23
    { "SetChunk", "long", "isPreset", "byteSize", false, kindOpaque, "data", nullptr }, // 24
    { "ProcessEvents", "long", nullptr, nullptr, false, kindEvents, "events", nullptr }, // 25
    { "CanBeAutomated", "bool", "parameter", nullptr, false, kindNone, nullptr, nullptr }, // 26
    { "String2Parameter", "bool", "parameter", nullptr, false, kindString, "text", nullptr }, // 27
    { "GetNumProgramCategories", "categories", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 28
    { "GetProgramNameIndexed", "bool", "index", "category", true, kindString, "text", nullptr }, // 29
    { "CopyProgram", "bool", "destination", nullptr, false, kindNone, nullptr, nullptr }, // 30
    { "ConnectInput", nullptr, "index", "state", false, kindNone, nullptr, nullptr }, // 31
    { "ConnectOutput", nullptr, "index", "state", false, kindNone, nullptr, nullptr }, // 32
    { "GetInputProperties", "bool", "index", nullptr, false, kindPinProperties, "properties", nullptr }, // 33
    { "GetOutputProperties", "bool", "index", nullptr, false, kindPinProperties, "properties", nullptr }, // 34
    { "GetPlugCategory", "category", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 35
    { "GetCurrentPosition", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 36
    { "GetDestinationBuffer", "float*", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 37
    { "OfflineNotify", "bool", "start", "numAudioFiles", false, kindAudioFiles, "audioFiles", nullptr }, // 38
    { "OfflinePrepare", "bool", nullptr, "count", false, kindOfflineTask, "offline", nullptr }, // 39
    { "OfflineRun", "bool", nullptr, "count", false, kindOfflineTask, "offline", nullptr }, // 40
    { "ProcessVarIo", "bool", nullptr, nullptr, false, kindVariableIo, "varIo", nullptr }, // 41
    { "SetSpeakerArrangement", "bool", nullptr, "pluginInput", false, kindSpeakerArrangement, "pluginOutput", nullptr }, // 42
    { "SetBlockSizeAndSampleRate", nullptr, nullptr, "blockSize", false, kindNone, nullptr, "sampleRate" }, // 43
    { "SetBypass", "bool", nullptr, "onOff", false, kindNone, nullptr, nullptr }, // 44
    { "GetEffectName", "bool", nullptr, nullptr, true, kindString, "name", nullptr }, // 45
    { "GetErrorText", "bool", nullptr, nullptr, true, kindString, "text", nullptr }, // 46
    { "GetVendorString", "bool", nullptr, nullptr, true, kindString, "text", nullptr }, // 47
    { "GetProductString", "bool", nullptr, nullptr, true, kindString, "text", nullptr }, // 48
    { "GetVendorVersion", "version", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 49
    { "VendorSpecific", "long", "lArg1", "lArg2", false, kindOpaque, "prtArg", "floatArg" }, // 50
    { "CanDo", "long", nullptr, nullptr, false, kindString, "text", nullptr }, // 51
    { "GetTailSize", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 52
    { "Idle", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 53
    { "GetIcon", "void*", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 54
    { "SetViewPosition", "bool", "x", "y", false, kindNone, nullptr, nullptr }, // 55
    { "GetParameterProperties", "bool", "index", nullptr, false, kindParameterProperties, "properties", nullptr }, // 56
    { "KeysRequired", "bool", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 57
    { "GetVstVersion", "version", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 58
    { "EditKeyDown", "long", "character", "virt", false, kindNone, nullptr, "modifier" }, // 59
    { "EditKeyUp", "long", "character", "virt", false, kindNone, nullptr, "modifier" }, // 60
    { "SetEditKnobMode", "long", nullptr, "value", false, kindNone, nullptr, nullptr }, // 61
    { "GetMidiProgramName", "programIndexes", "MidiChannel", nullptr, false, kindMidiProgramName, "program", nullptr }, // 62
    { "GetCurrentMidiProgram", "programIndex", nullptr, nullptr, false, kindMidiProgramName, "program", nullptr }, // 63
    { "GetMidiProgramCategory", "categoryIndexes", nullptr, nullptr, false, kindMidiProgramCategory, "category", nullptr }, // 64
    { "HasMidiProgramsChanged", "bool", "MidiChannel", nullptr, false, kindNone, nullptr, nullptr }, // 65
    { "GetMidiKeyName", "bool", nullptr, nullptr, false, kindMidiKeyName, "key", nullptr }, // 66
    { "BeginSetProgram", "bool", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 67
    { "EndSetProgram", "bool", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 68
    { "GetSpeakerArrangement", "bool", nullptr, "pluginInput", false, kindSpeakerArrangement, "pluginOutput", nullptr }, // 69
    { "ShellGetNextPlugin", "uniqueID", nullptr, nullptr, true, kindString, "name", nullptr }, // 70
    { "StartProcess", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 71
    { "StopProcess", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 72
    { "SetTotalSampleToProcess", "long", nullptr, "value", false, kindNone, nullptr, nullptr }, // 73
    { "SetPanLaw", "bool", nullptr, "type", false, kindNone, nullptr, "gain" }, // 74
    { "BeginLoadBank", "long", nullptr, nullptr, false, kindPatchChunkInfo, "patchChunkInfo", nullptr }, // 75
    { "BeginLoadProgram", "long", nullptr, nullptr, false, kindPatchChunkInfo, "patchChunkInfo", nullptr }, // 76
};

const OpCodeDescriptor audioMasterOpCodes[numAudioMasterOpCodes] =
{
    { "Automate", nullptr, "index", nullptr, false, kindNone, nullptr, "value" }, // 0
    { "Version", "version", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 1
    { "CurrentId", "Unique ID", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 2
    { "Idle", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 3
    { "PinConnected", "connected", "pin index", "isOutput", false, kindNone, nullptr, nullptr }, // 4
    { "ThereIsNoSuchOpCode", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 5
    { "WantMidi", nullptr, nullptr, "filter", false, kindNone, nullptr, nullptr }, // 6
    { "GetTime", "TimeInfo", nullptr, "filter", false, kindNone, nullptr, nullptr }, // 7
    { "ProcessEvents", "bool", nullptr, nullptr, false, kindEvents, "events", nullptr }, // 8
    { "SetTime", nullptr, nullptr, "filter", false, kindTimeInfo, "TimeInfo", nullptr }, // 9
    { "TempoAt", "tempo", nullptr, "pos", false, kindNone, nullptr, nullptr }, // 10
    { "GetNumAutomatableParameters", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 11
    { "GetParameterQuantization", "long", nullptr, "index", false, kindNone, nullptr, nullptr }, // 12
    { "IOChanged", "bool", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 13
    { "NeedIdle", "bool", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 14
    { "SizeWindow", "bool", "width", "height", false, kindNone, nullptr, nullptr }, // 15
    { "GetSampleRate", "sampleRate", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 16
    { "GetBlockSize", "blockSize", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 17
    { "GetInputLatency", "latency", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 18
    { "GetOutputLatency", "latency", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 19
    { "GetPreviousPlug", "effect", nullptr, "inpuPin", false, kindNone, nullptr, nullptr }, // 20
    { "GetNextPlug", "effect", nullptr, "outputPin", false, kindNone, nullptr, nullptr }, // 21
    { "WillReplaceOrAccumulate", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 22
    { "GetCurrentProcessLevel", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 23
    { "GetAutomationState", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 24
    { "OfflineStart", "bool", "numNewAudioFiles", "numAudioFiles", false, kindAudioFiles, "audioFiles", nullptr }, // 25
    { "OfflineRead", "bool", "readSource", "option", false, kindOfflineTask, "offline", nullptr }, // 26
    { "OfflineWrite", "bool", nullptr, "option", false, kindOfflineTask, "offline", nullptr }, // 27
    { "OfflineGetCurrentPass", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 28
    { "OfflineGetCurrentMetaPass", "long", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 29
    { "SetOutputSampleRate", nullptr, nullptr, nullptr, false, kindNone, nullptr, "sampleRate" }, // 30
    { "GetSpeakerArrangement", nullptr, nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 31
    { "GetVendorString", "bool", nullptr, nullptr, true, kindString, "bool", nullptr }, // 32
    { "GetProductString", "bool", nullptr, nullptr, true, kindString, "bool", nullptr }, // 33
    { "GetVendorVersion", "version", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 34
    { "VendorSpecific", "long", "lArg1", "lArg2", false, kindOpaque, "prtArg", "floatArg" }, // 35
    { "SetIcon", nullptr, nullptr, nullptr, false, kindOpaque, "icon", nullptr }, // 36
    { "CanDo", "long", nullptr, nullptr, false, kindString, "bool", nullptr }, // 37
    { "GetLanguage", "language", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 38
    { "OpenWindow", "bool", nullptr, nullptr, false, kindWindow, "window", nullptr }, // 39
    { "CloseWindow", "bool", nullptr, nullptr, false, kindWindow, "window", nullptr }, // 40
    { "GetDirectory", "plugDir", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 41
    { "UpdateDisplay", "bool", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 42
    { "BeginEdit", "bool", "index", nullptr, false, kindNone, nullptr, nullptr }, // 43
    { "EndEdit", "bool", "index", nullptr, false, kindNone, nullptr, nullptr }, // 44
    { "OpenFileSelector", "bool", nullptr, nullptr, false, kindFileSelect, "VstFileSelect*", nullptr }, // 45
    { "CloseFileSelector", "bool", nullptr, nullptr, false, kindFileSelect, "VstFileSelect*", nullptr }, // 46
    { "EditFile", nullptr, nullptr, nullptr, false, kindString, "xml", nullptr }, // 47
    { "GetChunkFile", "bool", nullptr, nullptr, false, kindOpaque, "nativePath", nullptr }, // 48
    { "GetInputSpeakerArrangement", "speakerArrangement", nullptr, nullptr, false, kindNone, nullptr, nullptr }, // 49
};

// Constant-initialised (std::atomic's constructor is constexpr): every counter
// 0 and every flag off from the moment the library is mapped.
OpCodeState aEffectFunctionStates[numAEffectFunctions];
OpCodeState dispatcherStates[numDispatcherOpCodes];
OpCodeState audioMasterStates[numAudioMasterOpCodes];

const OpCodeGroup opCodeGroups[numOpCodeGroups] =
{
    { numAEffectFunctions, "vstAEffectFunctions", aEffectFunctionStates },
    { numDispatcherOpCodes, "vstDispatcherOpCodes", dispatcherStates },
    { numAudioMasterOpCodes, "vstAudioMasterOpCodes", audioMasterStates }
};

namespace
{
    bool isValidGroup (int group) noexcept
    {
        return group >= 0 && group < numOpCodeGroups;
    }

    bool isValidEntry (int group, int index) noexcept
    {
        return isValidGroup (group) && index >= 0 && index < opCodeGroups[group].count;
    }

    // Only for a valid entry. Callers are meant to pass valid entries; the
    // operations still check, as a bad one would write outside the arrays.
    OpCodeState& stateOf (int group, int index) noexcept
    {
        return opCodeGroups[group].states[index];
    }

    // The statistics' first entry for a group's state array.
    int firstEntryOf (const OpCodeState* states) noexcept
    {
        for (int group = 0; group < numOpCodeGroups; ++group)
            if (states == opCodeGroups[group].states)
                return callStatistics::entryOf (group, 0);

        return -1;
    }

    void resetStatistics (const OpCodeState* states, int count) noexcept
    {
        const auto first = firstEntryOf (states);

        if (first >= 0 && count > 0)
            callStatistics::reset (first, std::min (count, callStatistics::numEntries - first));
    }

    template <typename Function>
    void forEachState (Function&& function) noexcept
    {
        for (const auto& group : opCodeGroups)
            for (int i = 0; i < group.count; ++i)
                function (group.states[i]);
    }
}

int TBLogger::getNumOpCodes (int group) noexcept
{
    return isValidGroup (group) ? opCodeGroups[group].count : 0;
}

juce::String TBLogger::getOpCodeName (int group, int index)
{
    if (! isValidEntry (group, index))
        return "unknown";

    switch (group)
    {
        case groupAEffectFunctions: return aEffectFunctionNames[index];
        case groupDispatcher:       return dispatcherOpCodes[index].name;
        default:                    return audioMasterOpCodes[index].name;
    }
}

std::int64_t TBLogger::getCallCount (int group, int index) noexcept
{
    // Signed, for the pages' arithmetic: 2^63 calls take centuries.
    if (! isValidEntry (group, index))
        return 0;

    const auto preset = stateOf (group, index).callCount.load (std::memory_order_relaxed);
    return static_cast<std::int64_t> (preset + callStatistics::callsOf (group, index));
}

bool TBLogger::isOpCodeEnabled (int group, int index) noexcept
{
    return isValidEntry (group, index) && stateOf (group, index).enabled.load (std::memory_order_relaxed);
}

void TBLogger::setOpCodeEnabled (bool enabled, int group, int index) noexcept
{
    if (isValidEntry (group, index))
        stateOf (group, index).enabled.store (enabled, std::memory_order_relaxed);
}

void TBLogger::setAllOpCodesEnabled (bool enabled) noexcept
{
    forEachState ([enabled] (OpCodeState& s) { s.enabled.store (enabled, std::memory_order_relaxed); });
}

void TBLogger::toggleAllOpCodesEnabled() noexcept
{
    // Flags are only written from the message thread, so load-then-store loses nothing.
    forEachState ([] (OpCodeState& s)
    {
        s.enabled.store (! s.enabled.load (std::memory_order_relaxed), std::memory_order_relaxed);
    });
}

void TBLogger::resetAllCallCounts() noexcept
{
    for (const auto& group : opCodeGroups)
        resetCallCounts (group.states, group.count);
}

void TBLogger::resetOpCodeStates (OpCodeState* states, int count) noexcept
{
    for (int i = 0; i < count; ++i)
    {
        states[i].callCount.store (0, std::memory_order_relaxed);
        states[i].enabled.store (true, std::memory_order_relaxed);
    }

    resetStatistics (states, count);
}

void TBLogger::resetCallCounts (OpCodeState* states, int count) noexcept
{
    for (int i = 0; i < count; ++i)
        states[i].callCount.store (0, std::memory_order_relaxed);

    resetStatistics (states, count);
}
