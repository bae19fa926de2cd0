// The trace file: one complete event per timed call, in JSON the viewers and
// a strict parser read; calls made from inside a call lie within its span;
// a session cut before Close parses after the documented fix-up; a writer
// that falls behind says how many events it dropped.
#include "LogCapture.h"
#include "log/BackgroundWriter.h"
#include "log/CallStatistics.h"
#include "log/TraceFile.h"

#include <thread>

namespace
{
    class TraceFileTest : public LoggerTest
    {
    protected:
        void SetUp() override
        {
            LoggerTest::SetUp();
            folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("tb-trace", "", false);
            ASSERT_TRUE (folder.createDirectory());
            traceFile.setPlace (folder.getChildFile ("Tattlebox.trace.json"));
            tbLogger.timeCalls = true;
        }

        void TearDown() override
        {
            backgroundWriter.stop();
            traceFile.finish();
            folder.deleteRecursively();
            LoggerTest::TearDown();
        }

        juce::String fileText() const { return traceFile.getPlace().loadFileAsString(); }

        // The complete events of a parsed trace; a failure where it does not parse.
        static juce::Array<juce::var> completeEvents (const juce::String& text)
        {
            juce::var parsed;
            const auto result = juce::JSON::parse (text, parsed);
            EXPECT_TRUE (result.wasOk() && parsed.isArray()) << result.getErrorMessage() << "\n" << text.toStdString();
            juce::Array<juce::var> events;

            if (auto* all = parsed.getArray())
                for (auto& event : *all)
                    if (event["ph"] == juce::var ("X"))
                        events.add (event);

            return events;
        }

        juce::File folder;
    };

    // A session of the host and its target, as the thunks make it.
    void playCallsFromInsideCalls()
    {
        auto outer = tbLogger.logDispatcherCall (8, 3, 0, nullptr, 0.0f);           // effGetParamName
        auto inner = tbLogger.logAudioMasterCall (7, 0, 65536, nullptr, 0.0f);       // audioMasterGetTime
        tbLogger.logAudioMasterReturn (7, nullptr, 4096, 0, 65536, inner);
        tbLogger.logDispatcherReturn (8, nullptr, 1, 3, 0, outer);

        callStatistics::noteSampleRateSet (48000.0f);
        auto block = tbLogger.logProcess (nullptr, nullptr, 480, true);
        inner = tbLogger.logAudioMasterCall (0, 2, 0, nullptr, 0.5f);               // audioMasterAutomate
        tbLogger.logAudioMasterReturn (0, nullptr, 0, 2, 0, inner);
        tbLogger.logProcessEnd (functionProcessReplacing, 480, block);
        tbLogger.logCallEnd (functionSetParameter, tbLogger.logSetParameter (5, 0.25f), 5);
    }
}

TEST_F (TraceFileTest, EveryTimedCallIsOneEventAndInnerCallsLieWithinTheirCaller)
{
    ASSERT_TRUE (traceFile.start());
    ASSERT_TRUE (backgroundWriter.start());
    playCallsFromInsideCalls();

    tbLogger.timeCalls = false; // untimed calls leave no event
    tbLogger.logDispatcherReturn (8, nullptr, 1, 3, 0, tbLogger.logDispatcherCall (8, 3, 0, nullptr, 0.0f));

    backgroundWriter.stop();
    traceFile.finish();
    const auto text = fileText();
    EXPECT_TRUE (text.startsWith ("[\n{") && text.endsWith ("}\n]\n")) << text;
    const auto events = completeEvents (text);
    ASSERT_EQ (events.size(), 5);

    struct Expected { const char* name; const char* args; };
    const Expected expected[] = {
        { "audioMasterGetTime", "opcode=7 index=0 value=65536 result=4096" },
        { "effGetParamName", "opcode=8 index=3 value=0 result=1" },
        { "audioMasterAutomate", "opcode=0 index=2 value=0 result=0" },
        { "processReplacing", "sampleFrames=480 load=" },
        { "setParameter", "index=5" },
    };

    auto argsOf = [] (const juce::var& event)
    {
        juce::StringArray args;

        if (auto* object = event["args"].getDynamicObject())
            for (auto& property : object->getProperties())
                args.add (property.name.toString() + "=" + (property.name == juce::Identifier ("load") ? "" : property.value.toString()));

        return args.joinIntoString (" ");
    };

    for (int i = 0; i < 5; ++i)
    {
        const auto& event = events.getReference (i);
        SCOPED_TRACE (expected[i].name);
        EXPECT_EQ (event["name"].toString(), expected[i].name);
        EXPECT_EQ (argsOf (event), expected[i].args);
        EXPECT_EQ ((int) event["tid"], (int) currentThreadId());
        EXPECT_EQ ((int) event["pid"], (int) currentProcessId());
        EXPECT_GE ((double) event["dur"], 0.0);
    }

    // Inner (0, 2) within outer (1, 3), by the timestamps the viewers nest with.
    auto within = [&] (int inner, int outer)
    {
        const auto start = [&] (int i) { return (double) events.getReference (i)["ts"]; };
        const auto end = [&] (int i) { return start (i) + (double) events.getReference (i)["dur"]; };
        return start (outer) < start (inner) && end (inner) < end (outer);
    };

    EXPECT_TRUE (within (0, 1));
    EXPECT_TRUE (within (2, 3));
    EXPECT_FALSE (within (2, 1));
    const auto load = (double) events.getReference (3)["args"]["load"];
    EXPECT_TRUE (load > 0.0 && load < 1.0) << load;
    EXPECT_EQ (traceFile.getEventsWritten(), 5u);
}

TEST_F (TraceFileTest, ACutFileParsesAfterTheFixUpAndANewSessionStartsAnew)
{
    ASSERT_TRUE (traceFile.start());
    playCallsFromInsideCalls();
    traceFile.writePending (100); // the writer's round; no Close follows

    const auto cut = fileText();
    juce::var parsed;
    EXPECT_TRUE (juce::JSON::parse (cut, parsed).failed()) << "no \"]\" yet";

    // The fix-up README.md gives: drop a trailing comma, append "]".
    auto fixed = cut.trimEnd();
    fixed = (fixed.endsWithChar (',') ? fixed.dropLastCharacters (1) : fixed) + "]";
    EXPECT_EQ (completeEvents (fixed).size(), 5);

    // The session ends without Close; the next one truncates the file.
    traceFile.finish();
    ASSERT_TRUE (traceFile.start());
    tbLogger.logCallEnd (functionGetParameter, tbLogger.logGetParameter (1), 1);
    traceFile.finish();
    EXPECT_EQ (completeEvents (fileText()).size(), 1);
}

TEST_F (TraceFileTest, AWriterTooFarBehindDropsEventsAndSaysHowMany)
{
    ASSERT_TRUE (traceFile.start());
    const auto before = traceFile.getEventsDropped();
    constexpr int total = TraceRing::numSlots + 1000;

    for (int i = 0; i < total; ++i)
        tbLogger.logCallEnd (functionGetParameter, tbLogger.logGetParameter (i), i);

    traceFile.finish();
    const auto dropped = traceFile.getEventsDropped() - before;
    EXPECT_EQ (dropped, 1000u);
    EXPECT_EQ (completeEvents (fileText()).size(), TraceRing::numSlots);
    const auto lines = texts();
    EXPECT_EQ (std::count (lines.begin(), lines.end(), "1000 trace events dropped"), 1);
}

TEST_F (TraceFileTest, BesideTheStateFileWhichNamesItOnlyWhileOnAndOnlyWhileStarted)
{
    // Off, the state file stays as it was; on, it is kept and read back.
    for (const bool on : { false, true })
    {
        juce::XmlElement logger ("Logger");
        tbLogger.writeTrace = on;
        tbLogger.saveToXml (logger);
        const auto* parameters = logger.getChildByName ("Parameters");
        ASSERT_NE (parameters, nullptr);
        EXPECT_EQ (parameters->hasAttribute ("writeTrace"), on);
        tbLogger.writeTrace = false; // as start-up leaves it before reading
        tbLogger.restoreFromXml (logger);
        EXPECT_EQ (tbLogger.writeTrace.load(), on);
    }

    EXPECT_EQ (TraceFile::besideStateFile (juce::File ("/home/me/.vst/Tattlebox-2.xml")).getFullPathName(),
               "/home/me/.vst/Tattlebox-2.trace.json");

    // Not started: timed calls go nowhere, and a place that cannot be opened says so.
    const auto pushedBefore = traceRing.pushed();
    tbLogger.logCallEnd (functionGetParameter, tbLogger.logGetParameter (0), 0);
    EXPECT_EQ (traceRing.pushed(), pushedBefore);

    traceFile.setPlace (folder.getChildFile ("missing").getChildFile ("Tattlebox.trace.json"));
    CapturedLines::take();
    EXPECT_FALSE (traceFile.start());
    EXPECT_EQ (onlyText(), "Failed to open trace file " + traceFile.getPlace().getFullPathName().toStdString());
}
