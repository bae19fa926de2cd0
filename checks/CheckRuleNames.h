// The rules "Check Calls" and "Check Audio" hold calls to, by name: the
// state file's key and the Checks page's title of each. A header alone, so
// that the logger can keep each rule's switch with its other options.
#pragma once

enum class CheckRule : int
{
    // The state a call finds.
    callBeforeOpen, openTwice, processWhileSuspended, setupWhileResumed, processBalance, editorState,
    // Blocks.
    blockSize, nullChannel, doublePrecision,
    // Threads.
    concurrentDispatcher, concurrentProcess, processDuringSetup, editorThread, processThreads, automationEcho,
    // Values.
    parameterIndex, parameterValue, editBalance,
    // Texts.
    targetText, hostText,
    // The record.
    recordWithoutIOChanged, ioChangedFromAudio,
    // The audio ("Check Audio").
    badSamples
};

constexpr int numCheckRules = (int) CheckRule::badSamples + 1;

struct CheckRuleInfo
{
    const char* key;   // the state file's attribute
    const char* title; // the Checks page's row
};

// In the order of CheckRule; the keys are the state file's, for good.
inline constexpr CheckRuleInfo checkRuleInfo[numCheckRules] = {
    { "callBeforeOpen",          "a call before effOpen" },
    { "openTwice",               "effOpen twice" },
    { "processWhileSuspended",   "processing while suspended" },
    { "setupWhileResumed",       "setup while resumed" },
    { "processBalance",          "StartProcess and StopProcess" },
    { "editorState",             "editor opened and closed" },
    { "blockSize",               "sampleFrames beyond the block size" },
    { "nullChannel",             "a null channel pointer" },
    { "doublePrecision",         "double precision not agreed" },
    { "concurrentDispatcher",    "two dispatcher calls at once" },
    { "concurrentProcess",       "two process calls at once" },
    { "processDuringSetup",      "processing during setup" },
    { "editorThread",            "editor calls from another thread" },
    { "processThreads",          "process calls from several threads (note)" },
    { "automationEcho",          "automation echo" },
    { "parameterIndex",          "parameter index out of range" },
    { "parameterValue",          "parameter value outside 0..1" },
    { "editBalance",             "BeginEdit and EndEdit" },
    { "targetText",              "texts the target writes" },
    { "hostText",                "texts the host writes" },
    { "recordWithoutIOChanged",  "record changed without IOChanged" },
    { "ioChangedFromAudio",      "IOChanged from the audio thread" },
    { "badSamples",              "NaN, infinite or denormal output" },
};
