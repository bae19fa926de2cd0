// Many threads calling through the logger while the control window's thread
// changes switches, resets counters and renames it. Run under ThreadSanitizer
// as well: no lock is taken, so every shared access must be atomic.
#include "LogCapture.h"
#include "log/CallStatistics.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

namespace
{
    constexpr auto meddlingTime = std::chrono::milliseconds (500);
    constexpr int numCallers = 8;
    constexpr int minIterations = 200;

    const char* const names[] = { "A.so", "Much longer plug-in name.so", "\xC3\xA9t\xC3\xA9.so" };

    std::atomic<int> linesSeen { 0 };
    std::atomic<int> badLines { 0 };

    bool isKnownName (const std::string& name)
    {
        for (auto* n : names)
            if (name == n)
                return true;

        return name == "MyDelay.dll";
    }

    // Every text the callers' calls can produce, under any switches.
    const std::set<std::string> knownTexts {
        "effGetParamName ", "effGetParamName parameter=3 ", "effGetParamName returned name=Gain",
        "effEditGetRect ", "effEditGetRect returned long=1 rect=top(1), left(2), bottom(3), right(4) ",
        "audioMasterAutomate ", "audioMasterAutomate index=5 value=0.750000 ",
        "audioMasterGetVendorString ", "audioMasterGetVendorString returned bool=1 bool=Vendor",
        "process", "process(inputs:0000000000000000, outputs:0000000000000000, sampleFrames:64)",
        "processReplacing", "processReplacing(inputs:0000000000000000, outputs:0000000000000000, sampleFrames:64)",
        "processDoubleReplacing", "processDoubleReplacing(inputs:0000000000000000, outputs:0000000000000000, sampleFrames:64)",
        "setParameter", "setParameter(index: 1, parameter: 0.250000)",
        "getParameter", "getParameter(index: 1)"
    };

    bool isKnownText (const std::string& text)
    {
        if (knownTexts.count (text) != 0)
            return true;

        // A duration follows the line's own last blank, or adds one: "(12.3 us)" or " (12.3 us)".
        const auto open = text.rfind (" (");

        if (open == std::string::npos || text.compare (text.size() - 4, 4, " us)") != 0)
            return false;

        return knownTexts.count (text.substr (0, open + 1)) != 0 || knownTexts.count (text.substr (0, open)) != 0;
    }

    // Checks every line as it arrives: a whole prefix, a known name, a known text.
    void checkingSink (const char* text, std::size_t length)
    {
        const std::string line (text, length);
        const auto parsed = parseLine (line);
        linesSeen.fetch_add (1);

        if (std::strlen (text) != length || ! parsed.ok || ! isKnownName (parsed.name) || ! isKnownText (parsed.text))
        {
            if (badLines.fetch_add (1) < 5)
                ADD_FAILURE() << "torn or unknown line: " << line;
        }
    }

    std::atomic<int> totalIterations { 0 };

    void callEverything (const std::atomic<bool>& stop)
    {
        char name[] = "Gain";
        char vendor[] = "Vendor";
        ERect rect { 1, 2, 3, 4 };
        ERect* rectPointer = &rect;

        int i = 0;

        for (; i < minIterations || ! stop.load(); ++i)
        {
            auto started = tbLogger.logDispatcherCall (8, 3, 0, name, 0.0f);
            tbLogger.logDispatcherReturn (8, name, 0, 0, 0, started);
            started = tbLogger.logDispatcherCall (13, 0, 0, &rectPointer, 0.0f);
            tbLogger.logDispatcherReturn (13, &rectPointer, 1, 0, 0, started);
            started = tbLogger.logAudioMasterCall (0, 5, 0, nullptr, 0.75f);
            tbLogger.logAudioMasterReturn (0, nullptr, 0, 0, 0, started);
            started = tbLogger.logAudioMasterCall (32, 0, 0, vendor, 0.0f);
            tbLogger.logAudioMasterReturn (32, vendor, 1, 0, 0, started);
            tbLogger.logProcessEnd (functionProcess, 64, tbLogger.logProcess (nullptr, nullptr, 64, false));
            tbLogger.logProcessEnd (functionProcessReplacing, 64, tbLogger.logProcess (nullptr, nullptr, 64, true));
            tbLogger.logProcessEnd (functionProcessDoubleReplacing, 64,
                                    tbLogger.logProcessDoubleReplacing (nullptr, nullptr, 64));
            tbLogger.logCallEnd (functionSetParameter, tbLogger.logSetParameter (1, 0.25f));
            tbLogger.logCallEnd (functionGetParameter, tbLogger.logGetParameter (1));
        }

        totalIterations.fetch_add (i);
    }

    // The control window's part: flips everything it can, until told to stop.
    void meddle (bool resetCounters)
    {
        const auto end = std::chrono::steady_clock::now() + meddlingTime;

        for (int round = 0; round < 100 || std::chrono::steady_clock::now() < end; ++round)
        {
            tbLogger.setName (juce::String::fromUTF8 (names[round % 3]));
            tbLogger.logParameters = (round & 1) != 0;
            tbLogger.logReturnParameters = (round & 2) != 0;
            tbLogger.logTime = (round & 4) != 0;
            tbLogger.loggingOn = (round % 7) != 0;
            tbLogger.timeCalls = (round & 16) != 0;

            if (round % 11 == 0)
                callStatistics::noteSampleRateSet ((round & 32) != 0 ? 48000.0f : 44100.0f);
            TBLogger::toggleAllOpCodesEnabled();
            TBLogger::setOpCodeEnabled ((round & 8) != 0, groupDispatcher, 13);

            if (round % 5 == 0)
                TBLogger::setAllOpCodesEnabled (true);

            if (resetCounters && round % 3 == 0)
                TBLogger::resetAllCallCounts();

            tbLogger.getName();
            std::this_thread::sleep_for (std::chrono::microseconds (20));
        }
    }

    void runAll (bool resetCounters)
    {
        linesSeen = 0;
        badLines = 0;
        totalIterations = 0;
        std::atomic<bool> stop { false };
        std::vector<std::thread> callers;

        for (int i = 0; i < numCallers; ++i)
            callers.emplace_back (callEverything, std::cref (stop));

        meddle (resetCounters);
        stop = true;

        for (auto& t : callers)
            t.join();

        EXPECT_EQ (badLines.load(), 0);
        EXPECT_GT (linesSeen.load(), 0);
        std::printf ("%d calls of each kind per thread on average, %d lines\n", totalIterations.load() / numCallers, linesSeen.load());
    }
}

class LoggerConcurrency : public LoggerTest
{
protected:
    void SetUp() override
    {
        LoggerTest::SetUp();
        tbLogger.setLineSink (checkingSink);
    }
};

TEST_F (LoggerConcurrency, LinesStayWholeWhileEverythingChanges)
{
    runAll (true);
}

TEST_F (LoggerConcurrency, NoCallGoesUncounted)
{
    runAll (false);

    const int calls = totalIterations.load();
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionDispatcher), 2 * calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionAudioMaster), 2 * calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionProcess), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionProcessReplacing), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionSetParameter), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionGetParameter), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionProcessDoubleReplacing), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 8), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 13), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAudioMaster, 0), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupAudioMaster, 32), calls);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 0), 0);

    // Timing went on and off: some calls were timed, never more than were made.
    const auto timed = callStatistics::timingOf (groupDispatcher, 8).timedCalls;
    EXPECT_GT (timed, 0u);
    EXPECT_LE (timed, (std::uint32_t) calls);
    EXPECT_LE (callStatistics::sumLoad (functionProcessReplacing).blocks, (std::uint32_t) calls);
}

// The unload line stays last while other threads go on calling: a host that
// exits without Close may still run its audio threads.
TEST (LoggerFinalLine, NothingIsWrittenAfterIt)
{
    TBLogger logger; // its own: the library's logger must stay open for the other tests
    logger.setLineSink (CapturedLines::sink);
    CapturedLines::take();
    std::atomic<bool> stop { false };
    std::atomic<int> written { 0 };
    std::vector<std::thread> callers;

    for (int i = 0; i < 4; ++i)
        callers.emplace_back ([&]
        {
            while (! stop)
            {
                logger.logLine ("call");
                ++written;
            }
        });

    while (written < 1000)
        std::this_thread::yield();

    logger.logFinalLine ("DLL_PROCESS_DETACH");
    std::this_thread::sleep_for (std::chrono::milliseconds (20));
    stop = true;

    for (auto& t : callers)
        t.join();

    const auto lines = CapturedLines::take();
    ASSERT_FALSE (lines.empty());
    EXPECT_EQ (parseLine (lines.back()).text, "DLL_PROCESS_DETACH");
    EXPECT_EQ (std::count_if (lines.begin(), lines.end(), [] (auto& l) { return parseLine (l).text == "DLL_PROCESS_DETACH"; }), 1);
    EXPECT_GE (lines.size(), 1000u);
}
