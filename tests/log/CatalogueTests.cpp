#include "LogCapture.h"
#include "log/CallStatistics.h"

#include <cstring>
#include <set>

namespace
{
    void expectRow (const OpCodeDescriptor& row, const char* name, const char* returnName, const char* indexName,
                    const char* valueName, bool pointerIsOutput, int kind, const char* pointerName, const char* optName)
    {
        auto same = [] (const char* a, const char* b) { return a == nullptr ? b == nullptr : (b != nullptr && std::strcmp (a, b) == 0); };
        EXPECT_STREQ (row.name, name);
        EXPECT_TRUE (same (row.returnName, returnName)) << name;
        EXPECT_TRUE (same (row.indexName, indexName)) << name;
        EXPECT_TRUE (same (row.valueName, valueName)) << name;
        EXPECT_EQ (row.pointerIsOutput, pointerIsOutput) << name;
        EXPECT_EQ (row.pointerKind, kind) << name;
        EXPECT_TRUE (same (row.pointerName, pointerName)) << name;
        EXPECT_TRUE (same (row.optName, optName)) << name;
    }

    template <typename Function>
    void forEachEntry (Function&& function)
    {
        for (int group = 0; group < numOpCodeGroups; ++group)
            for (int index = 0; index < TBLogger::getNumOpCodes (group); ++index)
                function (group, index);
    }

    int countEnabled()
    {
        int enabled = 0;
        forEachEntry ([&] (int g, int i) { enabled += TBLogger::isOpCodeEnabled (g, i) ? 1 : 0; });
        return enabled;
    }
}

TEST (Catalogue, GroupsAndNames)
{
    EXPECT_EQ (TBLogger::getNumOpCodes (groupAEffectFunctions), 7);
    EXPECT_EQ (TBLogger::getNumOpCodes (groupDispatcher), 77);
    EXPECT_EQ (TBLogger::getNumOpCodes (groupAudioMaster), 50);
    EXPECT_EQ (TBLogger::getNumOpCodes (-1), 0);
    EXPECT_EQ (TBLogger::getNumOpCodes (3), 0);

    EXPECT_STREQ (opCodeGroups[0].name, "vstAEffectFunctions");
    EXPECT_STREQ (opCodeGroups[1].name, "vstDispatcherOpCodes");
    EXPECT_STREQ (opCodeGroups[2].name, "vstAudioMasterOpCodes");

    EXPECT_EQ (TBLogger::getOpCodeName (0, 3), "processReplacing");
    EXPECT_EQ (TBLogger::getOpCodeName (0, 6), "processDoubleReplacing");
    EXPECT_EQ (TBLogger::getOpCodeName (1, 5), "GetProgramName");
    EXPECT_EQ (TBLogger::getOpCodeName (2, 5), "ThereIsNoSuchOpCode");
    EXPECT_EQ (TBLogger::getOpCodeName (3, 0), "unknown");
    EXPECT_EQ (TBLogger::getOpCodeName (-1, 0), "unknown");
    EXPECT_EQ (TBLogger::getOpCodeName (1, 76), "BeginLoadProgram");
    EXPECT_EQ (TBLogger::getOpCodeName (2, 49), "GetInputSpeakerArrangement");

    // Entries outside a group are refused rather than read or written out of bounds.
    tbLogger.initialise ("x.so");
    TBLogger::setOpCodeEnabled (false, groupDispatcher, 77);
    TBLogger::setOpCodeEnabled (false, groupAEffectFunctions, -1);
    EXPECT_EQ (TBLogger::getOpCodeName (2, 50), "unknown");
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupAudioMaster, 50));
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 77), 0);
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupAudioMaster, 0)); // the row after the dispatcher's
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 76));
    juce::Logger::setCurrentLogger (nullptr);
}

TEST (Catalogue, RowsAreConsistent)
{
    // Names are unique within a group (the state file finds entries by name),
    // and a pointer label goes with a pointer kind and nothing else.
    for (int group = 1; group <= 2; ++group)
    {
        const auto* rows = group == groupDispatcher ? dispatcherOpCodes : audioMasterOpCodes;
        std::set<std::string> names;

        for (int i = 0; i < TBLogger::getNumOpCodes (group); ++i)
        {
            ASSERT_NE (rows[i].name, nullptr);
            EXPECT_TRUE (names.insert (rows[i].name).second) << rows[i].name;
            EXPECT_EQ (rows[i].pointerKind != kindNone, rows[i].pointerName != nullptr) << rows[i].name;
            EXPECT_GE (rows[i].pointerKind, 0);
            EXPECT_LE (rows[i].pointerKind, kindPatchChunkInfo);
        }
    }
}

TEST (Catalogue, RowsThatShapeLines)
{
    expectRow (dispatcherOpCodes[8], "GetParamName", nullptr, "parameter", nullptr, true, kindString, "name", nullptr);
    expectRow (dispatcherOpCodes[13], "EditGetRect", "long", nullptr, nullptr, true, kindRectOut, "rect", nullptr);
    expectRow (dispatcherOpCodes[23], "GetChunk", "dataSize", "isPreset", nullptr, false, kindChunkOut, "data", nullptr);
    expectRow (dispatcherOpCodes[29], "GetProgramNameIndexed", "bool", "index", "category", true, kindString, "text", nullptr);
    expectRow (dispatcherOpCodes[43], "SetBlockSizeAndSampleRate", nullptr, nullptr, "blockSize", false, kindNone, nullptr, "sampleRate");
    expectRow (dispatcherOpCodes[50], "VendorSpecific", "long", "lArg1", "lArg2", false, kindOpaque, "prtArg", "floatArg");
    expectRow (dispatcherOpCodes[59], "EditKeyDown", "long", "character", "virt", false, kindNone, nullptr, "modifier");
    expectRow (dispatcherOpCodes[70], "ShellGetNextPlugin", "uniqueID", nullptr, nullptr, true, kindString, "name", nullptr);
    expectRow (audioMasterOpCodes[0], "Automate", nullptr, "index", nullptr, false, kindNone, nullptr, "value");
    expectRow (audioMasterOpCodes[4], "PinConnected", "connected", "pin index", "isOutput", false, kindNone, nullptr, nullptr);
    expectRow (audioMasterOpCodes[20], "GetPreviousPlug", "effect", nullptr, "inpuPin", false, kindNone, nullptr, nullptr);
    expectRow (audioMasterOpCodes[32], "GetVendorString", "bool", nullptr, nullptr, true, kindString, "bool", nullptr);
    expectRow (audioMasterOpCodes[45], "OpenFileSelector", "bool", nullptr, nullptr, false, kindFileSelect, "VstFileSelect*", nullptr);
    expectRow (audioMasterOpCodes[47], "EditFile", nullptr, nullptr, nullptr, false, kindString, "xml", nullptr);

    // Output pointers decide which line shows a pointer: 5-8, 13, 29, 45-48, 70; 32, 33.
    std::vector<int> outputs;

    for (int i = 0; i < numDispatcherOpCodes; ++i)
        if (dispatcherOpCodes[i].pointerIsOutput)
            outputs.push_back (i);

    for (int i = 0; i < numAudioMasterOpCodes; ++i)
        if (audioMasterOpCodes[i].pointerIsOutput)
            outputs.push_back (100 + i);

    EXPECT_EQ (outputs, (std::vector<int> { 5, 6, 7, 8, 13, 29, 45, 46, 47, 48, 70, 132, 133 }));
}

TEST (Catalogue, InitialiseEnablesAndZeroesAll134Entries)
{
    TBLogger::setAllOpCodesEnabled (false);
    dispatcherStates[3].callCount = 7;
    aEffectFunctionStates[5].callCount = 9;

    tbLogger.initialise ("x.so");

    int entries = 0;
    forEachEntry ([&] (int g, int i)
    {
        ++entries;
        EXPECT_TRUE (TBLogger::isOpCodeEnabled (g, i));
        EXPECT_EQ (TBLogger::getCallCount (g, i), 0);
    });
    EXPECT_EQ (entries, 134);
    juce::Logger::setCurrentLogger (nullptr);
}

TEST (Catalogue, FlagOperations)
{
    tbLogger.initialise ("x.so");
    TBLogger::setOpCodeEnabled (false, groupDispatcher, 8);
    TBLogger::setOpCodeEnabled (false, groupAEffectFunctions, 5);
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupDispatcher, 8));
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 7));

    TBLogger::toggleAllOpCodesEnabled();
    EXPECT_EQ (countEnabled(), 2);
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 8));
    TBLogger::toggleAllOpCodesEnabled();
    EXPECT_EQ (countEnabled(), 132);
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupAEffectFunctions, 5));

    TBLogger::setAllOpCodesEnabled (false);
    EXPECT_EQ (countEnabled(), 0);
    TBLogger::setAllOpCodesEnabled (true);
    EXPECT_EQ (countEnabled(), 134);

    aEffectFunctionStates[2].callCount = 5;
    audioMasterStates[49].callCount = 5;
    TBLogger::setOpCodeEnabled (false, groupAudioMaster, 49);
    TBLogger::resetAllCallCounts();
    EXPECT_EQ (countEnabled(), 133);
    forEachEntry ([] (int g, int i) { EXPECT_EQ (TBLogger::getCallCount (g, i), 0); });

    // Non-positive counts touch nothing.
    dispatcherStates[0].callCount = 3;
    TBLogger::setOpCodeEnabled (false, groupDispatcher, 0);
    TBLogger::resetOpCodeStates (dispatcherStates, 0);
    TBLogger::resetCallCounts (dispatcherStates, -5);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 0), 3);
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupDispatcher, 0));
    juce::Logger::setCurrentLogger (nullptr);
}

TEST (Catalogue, CountersGoOnPast32Bits)
{
    tbLogger.initialise ("x.so");
    tbLogger.loggingOn = false;

    // Presets where 32-bit counters wrapped, one call more each.
    aEffectFunctionStates[functionGetParameter].callCount = 2147483647u;
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionGetParameter), 2147483647);
    tbLogger.logGetParameter (0);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionGetParameter), 2147483648);

    dispatcherStates[12].callCount = 0xffffffffu;
    tbLogger.logDispatcherCall (12, 0, 1, nullptr, 0.0f);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 12), 4294967296);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionDispatcher), 1);
    juce::Logger::setCurrentLogger (nullptr);
}

// Shards past 2^32 each: their sums, the group total and the summary line.
TEST_F (LoggerTest, CountsPast32BitsSumRight)
{
    using namespace callStatistics;
    const auto getParamName = entryOf (groupDispatcher, 8);
    auto& first = shards[0].entries[getParamName];
    auto& last = shards[numShards - 1].entries[getParamName];
    first.calls = first.timedCalls = 0xffffffffu;
    last.calls = last.timedCalls = 0x100000002u;
    first.totalNanoseconds = 0x200000001u * 1000u;
    dispatcherStates[12].callCount = 0x100000000u; // a preset: not part of the group's sum
    shards[0].entries[entryOf (groupDispatcher, 12)].calls = 1;
    shards[0].blocks[1].blocks = shards[0].blocks[1].overruns = 0xffffffffu;
    shards[numShards - 1].blocks[1].blocks = shards[numShards - 1].blocks[1].overruns = 2;

    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 8), 0x200000001);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionDispatcher), 0x200000002);
    EXPECT_EQ (sumLoad (functionProcessReplacing).blocks, 0x100000001u);
    EXPECT_EQ (sumLoad (functionProcessReplacing).overruns, 0x100000001u);

    tbLogger.writeSummary();
    EXPECT_EQ (texts(), (std::vector<std::string> {
        "Summary: dispatcher 8589934594 calls, 8589934593 timed, total 8589934593.0 us, max 0.0 us, average 1.0 us",
        "Summary: effGetParamName 8589934593 calls, total 8589934593.0 us, max 0.0 us, average 1.0 us",
        "Summary: effMainsChanged 4294967297 calls" }));
    TBLogger::resetAllCallCounts();
}
