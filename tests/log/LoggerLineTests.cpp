#include "LogCapture.h"
#include "platform/TimeOfDay.h"

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace
{
    void* const p = reinterpret_cast<void*> (std::uintptr_t { 0x0012F5A0 });

    std::string pointerText (const void* pointer)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%016llX", (unsigned long long) reinterpret_cast<std::uintptr_t> (pointer));
        return text;
    }

    // Every line and its line feed as they reach fd 2.
    std::string captureStderr (const std::function<void()>& writeLines)
    {
        int fds[2];
        EXPECT_EQ (::pipe (fds), 0);
        const int saved = ::dup (STDERR_FILENO);
        ::dup2 (fds[1], STDERR_FILENO);
        ::close (fds[1]);

        writeLines();

        ::dup2 (saved, STDERR_FILENO);
        ::close (saved);

        std::string result;
        char chunk[4096];
        ssize_t n;

        while ((n = ::read (fds[0], chunk, sizeof (chunk))) > 0)
            result.append (chunk, (std::size_t) n);

        ::close (fds[0]);
        return result;
    }

    bool isValidUtf8 (const std::string& s)
    {
        return juce::CharPointer_UTF8::isValidString (s.data(), (int) s.size());
    }
}

TEST_F (LoggerTest, WorkedExamples)
{
    char name[] = "Gain";
    tbLogger.logDispatcherCall (8, 3, 0, name, 0.0f);
    tbLogger.logDispatcherReturn (8, name, 0);
    tbLogger.logDispatcherCall (43, 0, 512, nullptr, 44100.0f);
    tbLogger.logDispatcherReturn (43, nullptr, 0);

    ERect rect { 0, 0, 200, 300 };
    ERect* rectPointer = &rect;
    tbLogger.logDispatcherReturn (13, &rectPointer, 1);

    char canDo[] = "sendVstEvents";
    tbLogger.logDispatcherCall (51, 0, 0, canDo, 0.0f);
    tbLogger.logAudioMasterCall (0, 5, 0, nullptr, 0.75f);
    tbLogger.logAudioMasterReturn (1, nullptr, 2300);
    tbLogger.logProcess (reinterpret_cast<float**> (p), reinterpret_cast<float**> (0x0012F5B0), 512, true);
    tbLogger.logSetParameter (2, 0.5f);
    tbLogger.logGetParameter (2);
    tbLogger.logDispatcherCall (0, 0, 0, nullptr, 0.0f);

    const auto lines = CapturedLines::take();
    const std::vector<std::string> expected {
        prefix() + "effGetParamName parameter=3 ",
        prefix() + "effGetParamName returned name=Gain",
        prefix() + "effSetBlockSizeAndSampleRate blockSize=512 sampleRate=44100.000000 ",
        prefix() + "effEditGetRect returned long=1 rect=top(0), left(0), bottom(200), right(300) ",
        prefix() + "effCanDo text=sendVstEvents ",
        prefix() + "audioMasterAutomate index=5 value=0.750000 ",
        prefix() + "audioMasterVersion returned version=2300 ",
        prefix() + "processReplacing(inputs:000000000012F5A0, outputs:000000000012F5B0, sampleFrames:512)",
        prefix() + "setParameter(index: 2, parameter: 0.500000)",
        prefix() + "getParameter(index: 2)",
        prefix() + "effOpen ",
    };
    EXPECT_EQ (lines, expected);

    // The real channel: each line with one line feed, byte for byte.
    tbLogger.setLineSink (nullptr);
    const auto written = captureStderr ([&]
    {
        tbLogger.logDispatcherCall (8, 3, 0, name, 0.0f);
        tbLogger.logDispatcherReturn (8, name, 0);
        tbLogger.logSetParameter (2, 0.5f);
    });
    EXPECT_EQ (written, expected[0] + "\n" + expected[1] + "\n" + expected[8] + "\n");
}

TEST_F (LoggerTest, FreeTextLinesAndTheLineBeforeInitialise)
{
    tbLogger.logLine ("Tattlebox timer reset after 1.5 s");
    juce::Logger::writeToLog ("from JUCE");
    tbLogger.logLine (nullptr);
    EXPECT_EQ (texts(), (std::vector<std::string> { "Tattlebox timer reset after 1.5 s", "from JUCE", "(null)" }));

    // A logger that was never initialised: empty name, no time, no call lines, but counting.
    TBLogger fresh;
    fresh.setLineSink (CapturedLines::sink);
    fresh.logLine ("DLL_PROCESS_ATTACH");
    fresh.logDispatcherCall (0, 0, 0, nullptr, 0.0f);
    EXPECT_EQ (CapturedLines::take(), (std::vector<std::string> { threadPrefix() + ":DLL_PROCESS_ATTACH" }));
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 0), 1);
    EXPECT_EQ (fresh.getName(), "");

    // Destroying a logger that is current leaves no dangling current logger.
    {
        TBLogger current;
        current.initialise ("y.so");
        EXPECT_EQ (juce::Logger::getCurrentLogger(), &current);
    }
    EXPECT_EQ (juce::Logger::getCurrentLogger(), nullptr);
}

TEST_F (LoggerTest, Switches)
{
    char text[] = "filled";

    tbLogger.logParameters = false;
    tbLogger.logDispatcherCall (0, 1, 2, nullptr, 0.0f);
    tbLogger.logAudioMasterCall (7, 0, 3, nullptr, 0.0f);
    tbLogger.logProcess (nullptr, nullptr, 64, false);
    tbLogger.logSetParameter (1, 0.25f);
    tbLogger.logAudioMasterReturn (7, nullptr, 42); // return lines ignore logParameters
    EXPECT_EQ (texts(), (std::vector<std::string> { "effOpen ", "audioMasterGetTime ", "process", "setParameter",
                                                    "audioMasterGetTime returned TimeInfo=42 " }));
    tbLogger.logParameters = true;

    tbLogger.logReturnParameters = false;
    tbLogger.logDispatcherReturn (5, text, 0);
    tbLogger.logAudioMasterReturn (1, nullptr, 2400);
    EXPECT_TRUE (texts().empty());
    tbLogger.logReturnParameters = true;

    // loggingOn off: counted, not written; free text still written, with the time where asked.
    tbLogger.loggingOn = false;
    tbLogger.logTime = true;
    tbLogger.logDispatcherCall (8, 1, 0, nullptr, 0.0f);
    tbLogger.logDispatcherReturn (8, text, 0);
    tbLogger.logGetParameter (1);
    tbLogger.logLine ("still here");
    auto lines = CapturedLines::take();
    ASSERT_EQ (lines.size(), 1u);
    const auto parsed = parseLine (lines[0]);
    EXPECT_TRUE (parsed.ok && parsed.hasTime) << lines[0];
    EXPECT_EQ (lines[0].substr (13), prefix() + "still here");
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 8), 1);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionGetParameter), 1);
    tbLogger.loggingOn = true;
    tbLogger.logTime = false;

    // The group entries are master switches for dispatcher and audioMaster lines.
    TBLogger::setAllOpCodesEnabled (false);
    TBLogger::setOpCodeEnabled (true, groupDispatcher, 0);
    TBLogger::setOpCodeEnabled (true, groupAudioMaster, 1);
    tbLogger.logDispatcherCall (0, 0, 0, nullptr, 0.0f);
    tbLogger.logAudioMasterCall (1, 0, 0, nullptr, 0.0f);
    tbLogger.logAudioMasterReturn (1, nullptr, 2400);
    EXPECT_TRUE (texts().empty());
    TBLogger::setOpCodeEnabled (true, groupAEffectFunctions, functionAudioMaster);
    tbLogger.logAudioMasterCall (1, 0, 0, nullptr, 0.0f);
    tbLogger.logAudioMasterReturn (1, nullptr, 2400);
    tbLogger.logDispatcherCall (0, 0, 0, nullptr, 0.0f);
    EXPECT_EQ (texts(), (std::vector<std::string> { "audioMasterVersion ", "audioMasterVersion returned version=2400 " }));

    // Per-function flags of the other four entries.
    TBLogger::setOpCodeEnabled (true, groupAEffectFunctions, functionProcessReplacing);
    tbLogger.logProcess (nullptr, nullptr, 1, false);
    tbLogger.logProcess (nullptr, nullptr, 1, true);
    tbLogger.logSetParameter (0, 0.0f);
    EXPECT_EQ (texts(), (std::vector<std::string> { "processReplacing(inputs:0000000000000000, outputs:0000000000000000, sampleFrames:1)" }));
}

TEST_F (LoggerTest, OpcodesOutsideTheTables)
{
    for (int opcode : { 77, -1, -2147483647 - 1, 1000 })
    {
        tbLogger.logDispatcherCall (opcode, 0, 0, nullptr, 0.0f);
        tbLogger.logDispatcherReturn (opcode, nullptr, 1);
    }

    for (int opcode : { 50, -1 })
    {
        tbLogger.logAudioMasterCall (opcode, 0, 0, nullptr, 0.0f);
        tbLogger.logAudioMasterReturn (opcode, nullptr, 1);
    }

    EXPECT_TRUE (texts().empty());
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionDispatcher), 0);
    EXPECT_EQ (TBLogger::getCallCount (groupAEffectFunctions, functionAudioMaster), 0);

    // The last rows are inside.
    tbLogger.logDispatcherCall (76, 0, 0, p, 0.0f);
    tbLogger.logAudioMasterCall (49, 0, 0, nullptr, 0.0f);
    EXPECT_EQ (texts(), (std::vector<std::string> { "effBeginLoadProgram patchChunkInfo=" + pointerText (p) + " ",
                                                    "audioMasterGetInputSpeakerArrangement " }));
}

TEST_F (LoggerTest, ReturnLines)
{
    // Close: a call line, never a return line.
    tbLogger.logDispatcherCall (1, 0, 0, nullptr, 0.0f);
    tbLogger.logDispatcherReturn (1, nullptr, 0);
    EXPECT_EQ (texts(), (std::vector<std::string> { "effClose " }));

    // GetChunk: the pointer is an input on the call line; the return has only the size.
    void* data = nullptr;
    tbLogger.logDispatcherCall (23, 1, 0, &data, 0.0f);
    tbLogger.logDispatcherReturn (23, &data, 4096);
    EXPECT_EQ (texts(), (std::vector<std::string> { "effGetChunk isPreset=1 data=" + pointerText (&data) + " ",
                                                    "effGetChunk returned dataSize=4096 " }));

    // audioMaster GetVendorString: result and text under the same label; a null text.
    char vendor[] = "Vendor";
    tbLogger.logAudioMasterReturn (32, vendor, 1);
    tbLogger.logDispatcherCall (51, 0, 0, nullptr, 0.0f);
    tbLogger.logDispatcherReturn (5, nullptr, 0);
    EXPECT_EQ (texts(), (std::vector<std::string> { "audioMasterGetVendorString returned bool=1 bool=Vendor",
                                                    "effCanDo text=(null) ", "effGetProgramName returned name=(null)" }));

    // EditGetRect falls back to the pointer when there is no rectangle.
    ERect* noRect = nullptr;
    ERect negative { -1, -32768, 32767, 0 };
    ERect* negativeRect = &negative;
    tbLogger.logDispatcherReturn (13, nullptr, 0);
    tbLogger.logDispatcherReturn (13, &noRect, 0);
    tbLogger.logDispatcherReturn (13, &negativeRect, -1);
    EXPECT_EQ (texts(), (std::vector<std::string> {
        "effEditGetRect returned long=0 rect=0000000000000000",
        "effEditGetRect returned long=0 rect=" + pointerText (&noRect),
        "effEditGetRect returned long=-1 rect=top(-1), left(-32768), bottom(32767), right(0) " }));

    // Full-width values and results; every call label in row order.
    tbLogger.logDispatcherCall (50, -7, INTPTR_MIN, p, -0.0f);
    tbLogger.logDispatcherReturn (50, p, INTPTR_MAX);
    tbLogger.logAudioMasterCall (4, 2, 1, nullptr, 0.0f);
    EXPECT_EQ (texts(), (std::vector<std::string> {
        "effVendorSpecific lArg1=-7 lArg2=-9223372036854775808 prtArg=" + pointerText (p) + " floatArg=-0.000000 ",
        "effVendorSpecific returned long=9223372036854775807 ",
        "audioMasterPinConnected pin index=2 isOutput=1 " }));
}

TEST_F (LoggerTest, LongContentIsCutAtTheLineLimit)
{
    std::string huge (65536, 'x');
    tbLogger.logDispatcherCall (51, 0, 0, huge.data(), 0.0f);
    tbLogger.logLine (huge.c_str());

    for (const auto& line : CapturedLines::take())
    {
        EXPECT_EQ (line.size(), 1023u);
        EXPECT_EQ (line.find (prefix()), 0u);
    }

    // Multi-byte characters are never split, at any alignment.
    for (const char* character : { "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5" })
    {
        for (int shift = 0; shift < 4; ++shift)
        {
            std::string text (shift, 'a');

            while (text.size() < 2000)
                text += character;

            tbLogger.logLine (text.c_str());
            const auto line = CapturedLines::take().at (0);
            EXPECT_LE (line.size(), 1023u);
            EXPECT_GT (line.size(), 1023u - std::strlen (character));
            EXPECT_TRUE (isValidUtf8 (line)) << shift;
        }
    }

    // The real channel takes the longest line whole.
    tbLogger.setLineSink (nullptr);
    const auto written = captureStderr ([&] { tbLogger.logLine (huge.c_str()); });
    EXPECT_EQ (written.size(), 1024u);
    EXPECT_EQ (written.back(), '\n');
}

TEST_F (LoggerTest, Names)
{
    EXPECT_EQ (tbLogger.getName(), "MyDelay.dll");
    tbLogger.setName (juce::String::fromUTF8 ("Synth \xC3\xA9.so"));
    EXPECT_EQ (tbLogger.getName(), juce::String::fromUTF8 ("Synth \xC3\xA9.so"));
    tbLogger.logLine ("x");
    EXPECT_EQ (CapturedLines::take().at (0), threadPrefix() + "Synth \xC3\xA9.so:x");

    // Longer than a file name can be: cut to 255 bytes, at a character boundary.
    tbLogger.setName (juce::String::repeatedString ("n", 300));
    EXPECT_EQ (tbLogger.getName(), juce::String::repeatedString ("n", 255));
    tbLogger.setName (juce::String::repeatedString ("n", 254) + juce::String::fromUTF8 ("\xC3\xA9"));
    EXPECT_EQ (tbLogger.getName(), juce::String::repeatedString ("n", 254));

    tbLogger.setName ({});
    tbLogger.logLine ("y");
    EXPECT_EQ (CapturedLines::take().at (0), threadPrefix() + ":y");
}

TEST_F (LoggerTest, TimePrefixIsLocalWallClock)
{
    tbLogger.logTime = true;

    auto now = [] {
        std::timespec t {};
        ::clock_gettime (CLOCK_REALTIME, &t);
        std::tm local {};
        ::localtime_r (&t.tv_sec, &local);
        char text[32];
        std::snprintf (text, sizeof (text), "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min, local.tm_sec, (int) (t.tv_nsec / 1000000));
        return std::string (text);
    };

    const auto before = now();
    tbLogger.logGetParameter (0);
    const auto after = now();
    const auto line = CapturedLines::take().at (0);
    const auto stamp = line.substr (0, 13);

    if (before <= after) // not across midnight
    {
        EXPECT_LE (before, stamp);
        EXPECT_LE (stamp, after);
    }

    EXPECT_EQ (line.substr (13), prefix() + "getParameter(index: 0)");
}

// Whatever a text holds, a call is one line: controls escaped, whole or not at all.
TEST_F (LoggerTest, TextsFromACallAreEscaped)
{
    char name[] = "Gain\n(1A2B) forged";
    char canDo[] = "receive\x1BVstMidiEvent";
    tbLogger.logDispatcherReturn (8, name, 0);
    tbLogger.logDispatcherCall (51, 0, 0, canDo, 0.0f);
    EXPECT_EQ (texts(), (std::vector<std::string> { "effGetParamName returned name=Gain\\n(1A2B) forged",
                                                    "effCanDo text=receive\\x1BVstMidiEvent " }));

    // The escape in exactly the room left, then with a byte too few.
    const auto room = TBLogger::maxLineLength - (prefix() + "effGetParamName returned name=").size();

    for (const auto fill : { room - 2, room - 1 })
    {
        auto text = std::string (fill, 'x') + "\n";
        tbLogger.logDispatcherReturn (8, text.data(), 0);
        const auto line = CapturedLines::take().at (0);
        EXPECT_EQ (line.substr (line.size() - 3), fill == room - 2 ? "x\\n" : "xxx");
        EXPECT_EQ (line.size(), fill == room - 2 ? 1023u : 1022u);
    }

    // Cut at the limit, the held-back duration still ends the line.
    tbLogger.timeCalls = true;
    std::string controls (1000, '\x1B');
    tbLogger.logDispatcherReturn (8, controls.data(), 0, 0, 0, tbLogger.logDispatcherCall (8, 0, 0, nullptr, 0.0f));
    tbLogger.timeCalls = false;
    const auto line = CapturedLines::take().back();
    const auto start = line.find ("name=") + 5, end = line.rfind (" (");
    EXPECT_EQ ((end - start) % 4, 0u) << line;
    EXPECT_EQ (line.substr (end - 4, 6), "\\x1B (");
    EXPECT_EQ (line.substr (line.size() - 4), " us)");
}

// Lines add the offset the last refresh looked up and ask the zone nothing:
// a changed zone shows only after a refresh.
TEST_F (LoggerTest, TheZoneIsLookedUpOnlyAtARefresh)
{
    const char* previous = std::getenv ("TZ");
    const std::string saved = previous != nullptr ? previous : "";
    tbLogger.logTime = true;

    const auto expectOffset = [] (int minutes)
    {
        const auto utcMinute = [] { return (int) (std::time (nullptr) / 60 % 1440); };
        const auto before = utcMinute();
        tbLogger.logLine ("x");
        const auto after = utcMinute();
        const auto line = CapturedLines::take().at (0);
        const auto shown = std::stoi (line.substr (0, 2)) * 60 + std::stoi (line.substr (3, 2));
        EXPECT_TRUE (shown == (before + minutes) % 1440 || shown == (after + minutes) % 1440) << line << " " << minutes;
    };

    ::setenv ("TZ", "UTC0", 1);
    ::tzset();
    refreshLocalTimeOffset();
    const auto lookUps = timeOfDayDetail::offsetLookUps.load();
    ::setenv ("TZ", "IST-5:30", 1);
    ::tzset();
    expectOffset (0);
    EXPECT_EQ (timeOfDayDetail::offsetLookUps.load(), lookUps);
    refreshLocalTimeOffset();
    expectOffset (330);

    if (previous != nullptr)
        ::setenv ("TZ", saved.c_str(), 1);
    else
        ::unsetenv ("TZ");

    ::tzset();
    refreshLocalTimeOffset();
}
