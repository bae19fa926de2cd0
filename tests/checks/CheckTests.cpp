// The contract checks end to end: each breach of a host (tb_checkhost) or a
// plug-in (tp_rude, through tbsession) gives exactly its line, its rule's
// count at Close and nothing of any other rule; the switches of the state
// file hold.
#include "tests/bridge/Sandbox.h"

#include "checks/CheckRuleNames.h"

#include <map>
#include <set>

namespace
{
    const std::string checkHost = TB_CHECKHOST;
    const fs::path tbsession = buildDir / "tbsession";

    // "{gui}", "{audio}", "{second}": tb_checkhost's threads; "{any}": some thread.
    struct Breach
    {
        CheckRule rule;
        std::string text;
    };

    struct Case
    {
        const char* name;        // tb_checkhost's scenario; for tbsession a name only
        bool bareHost;           // tb_checkhost, else tbsession --blocks 1
        const char* plugin;
        std::string environment;
        std::vector<Breach> breaches;
    };

    // A tb_checkhost scenario on a plug-in; on tp_hang with one call made to last.
    Case host (const char* scenario, const char* plugin, std::vector<Breach> breaches)
    {
        return { scenario, true, plugin, "", std::move (breaches) };
    }

    Case hung (const char* scenario, const char* hang, std::vector<Breach> breaches)
    {
        return { scenario, true, "tp_hang", std::string ("TP_HANG=") + hang, std::move (breaches) };
    }

    // tp_rude with one behaviour, in tbsession's session of one block.
    Case rude (const char* behaviour, std::vector<Breach> breaches)
    {
        return { behaviour, false, "tp_rude", std::string ("TP_RUDE=") + behaviour, std::move (breaches) };
    }

    const char* const both = "checkCalls=\"1\" checkAudio=\"1\"";

    std::string threadOf (const Run& run, const std::string& name)
    {
        std::smatch m;
        const std::regex line ("thread " + name + ": ([0-9A-F]+)\n");
        return std::regex_search (run.out, m, line) ? m.str (1) : "NONE";
    }

    void replaceAll (std::string& text, const std::string& from, const std::string& to)
    {
        for (auto at = text.find (from); at != std::string::npos; at = text.find (from, at + to.size()))
            text.replace (at, from.size(), to);
    }

    // The expected line as a pattern: its text as it is, the threads filled in.
    std::regex pattern (const Run& run, const std::string& text)
    {
        static const std::regex special (R"([.^$|()\[\]*+?\\])");
        auto escaped = std::regex_replace ("Check: " + text, special, "\\$&");

        for (const std::string name : { "gui", "audio", "second" })
            replaceAll (escaped, "{" + name + "}", threadOf (run, name));

        replaceAll (escaped, "{any}", "[0-9A-F]+");
        return std::regex (escaped);
    }

    // Tattlebox's lines after the target's name whose text starts so.
    std::vector<std::string> linesStarting (const Run& run, const std::string& start)
    {
        std::vector<std::string> lines;

        for (const auto& line : run.log)
            if (const auto colon = line.find (':'); colon != std::string::npos && line.compare (colon + 1, start.size(), start) == 0)
                lines.push_back (line.substr (colon + 1));

        return lines;
    }

    std::vector<std::string> breachLines (const Run& run) { return linesStarting (run, "Check: "); }
    std::vector<std::string> summaryLines (const Run& run) { return linesStarting (run, "Check summary: "); }

    std::string summaryLine (CheckRule rule, std::uint64_t count)
    {
        return std::string ("Check summary: ") + checkRuleInfo[(int) rule].title + ": " + std::to_string (count);
    }

    // Every rule's count in the order Close writes them.
    std::vector<std::string> expectedSummary (const std::map<CheckRule, std::uint64_t>& counts)
    {
        std::vector<std::string> lines;

        for (const auto& [rule, count] : counts)
            lines.push_back (summaryLine (rule, count));

        if (lines.empty())
            lines.push_back ("Check summary: no breaches");

        return lines;
    }

    void writeState (const Sandbox& box, const std::string& parameters, const std::string& checks = {})
    {
        std::ofstream (box.pluginDir / "Tattlebox.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tattlebox><Logger><Parameters " << parameters << "/>"
            << (checks.empty() ? std::string() : "<Checks " + checks + "/>") << "</Logger></Tattlebox>\n";
    }

    Run runCase (const Sandbox& box, bool bareHost, const std::string& plugin, const std::string& arguments,
                 const std::string& environment)
    {
        const auto host = bareHost ? shellQuoted (checkHost) + " " + shellQuoted (box.plugin) + " " + arguments
                                   : shellQuoted (tbsession) + " " + arguments + " " + shellQuoted (box.plugin);
        return box.run (host, "TB_ZENITY_ANSWER=" + shellQuoted (realPath (testPlugins / (plugin + ".so")))
                                  + " TB_ZENITY_LOG= DISPLAY= " + environment);
    }

    Run runCase (const Sandbox& box, const Case& c)
    {
        return runCase (box, c.bareHost, c.plugin, c.bareHost ? c.name : "--blocks 1", c.environment);
    }

    void expectBreaches (const Run& run, const std::vector<Breach>& breaches)
    {
        ASSERT_EQ (run.status, 0) << describe (run);
        ASSERT_TRUE (contains (run.out, "session done\n")) << describe (run);

        const auto lines = breachLines (run);
        std::map<CheckRule, std::uint64_t> counts;
        EXPECT_EQ (lines.size(), breaches.size()) << run.err;

        for (std::size_t i = 0; i < std::min (lines.size(), breaches.size()); ++i)
        {
            EXPECT_TRUE (std::regex_match (lines[i], pattern (run, breaches[i].text)))
                << lines[i] << "\nexpected: Check: " << breaches[i].text << "\n" << run.out;
        }

        for (const auto& breach : breaches)
            ++counts[breach.rule];

        EXPECT_EQ (summaryLines (run), expectedSummary (counts)) << run.err;
    }

    const std::string textLimit = " including the end (hosts commonly give more room)";

    // The host's side: one scenario each, on the well-behaved plug-in unless it needs another.
    const std::vector<Case> hostCases = {
        host ("polite", "tp_basic", {}),
        host ("beforeOpen", "tp_basic", { { CheckRule::callBeforeOpen, "effSetSampleRate before effOpen, thread {gui}" },
            { CheckRule::callBeforeOpen, "getParameter before effOpen, thread {gui}" } }),
        host ("openTwice", "tp_basic", { { CheckRule::openTwice, "effOpen twice, thread {gui}" } }),
        host ("suspended", "tp_basic", { { CheckRule::processWhileSuspended, "processReplacing while suspended (no effMainsChanged 1 since effOpen), thread {audio}" },
            { CheckRule::processWhileSuspended, "effProcessEvents while suspended (no effMainsChanged 1 since effOpen), thread {audio}" } }),
        host ("afterSuspend", "tp_basic", { { CheckRule::processWhileSuspended, "processReplacing while suspended (effMainsChanged 0 since), thread {audio}" } }),
        host ("setupWhileResumed", "tp_basic", { { CheckRule::setupWhileResumed, "effSetSampleRate while resumed, thread {gui}" },
            { CheckRule::setupWhileResumed, "effSetBlockSize while resumed, thread {gui}" },
            { CheckRule::setupWhileResumed, "effSetProcessPrecision while resumed, thread {gui}" } }),
        host ("stopWithoutStart", "tp_basic", { { CheckRule::processBalance, "effStopProcess without effStartProcess, thread {gui}" } }),
        host ("editorCloseWithoutOpen", "tp_basic", { { CheckRule::editorState, "effEditClose without effEditOpen, thread {gui}" } }),
        host ("editorOpenAtClose", "tp_basic", { { CheckRule::editorState, "the editor still open at Close, thread {gui}" } }),
        host ("editorFromOtherThread", "tp_basic", { { CheckRule::editorThread, "effEditIdle, the editor was opened on thread {gui}, thread {second}" } }),
        host ("framesBeyondBlock", "tp_basic", { { CheckRule::blockSize, "processReplacing with sampleFrames 128, more than the block size 64, thread {audio}" } }),
        host ("negativeFrames", "tp_basic", { { CheckRule::blockSize, "processReplacing with sampleFrames -1, a negative count, thread {audio}" } }),
        host ("nullChannel", "tp_basic", { { CheckRule::nullChannel, "processReplacing with a null pointer for output channel 1 of 2, thread {audio}" } }),
        host ("doubleWhileSingle", "tp_double", { { CheckRule::doublePrecision, "processDoubleReplacing while effSetProcessPrecision said single, thread {audio}" } }),
        hung ("twoDispatchers", "effEditIdle:0.3", { { CheckRule::concurrentDispatcher, "effGetVendorVersion while effEditIdle runs on thread {second}, thread {gui}" } }),
        hung ("twoBlocks", "processReplacing:0.3", { { CheckRule::processThreads, "processReplacing on a second thread; the first was thread {audio}, thread {second}" },
            { CheckRule::concurrentProcess, "processReplacing while processReplacing runs on thread {audio}, thread {second}" } }),
        hung ("blockDuringSetChunk", "24:0.3", { { CheckRule::processDuringSetup, "processReplacing while effSetChunk runs on thread {gui}, thread {audio}" } }),
        hung ("setChunkDuringBlock", "processReplacing:0.3", { { CheckRule::processDuringSetup, "effSetChunk while processReplacing runs on thread {audio}, thread {gui}" } }),
        hung ("blockDuringResume", "12:0.3", { { CheckRule::processDuringSetup, "processReplacing while effMainsChanged runs on thread {gui}, thread {audio}" } }),
        host ("twoAudioThreads", "tp_basic", { { CheckRule::processThreads, "processReplacing on a second thread; the first was thread {audio}, thread {second}" } }),
        host ("parameterIndex", "tp_basic", { { CheckRule::parameterIndex, "setParameter index 3, the target has 3 parameters, thread {gui}" },
            { CheckRule::parameterIndex, "getParameter index -1, the target has 3 parameters, thread {gui}" } }),
        host ("parameterValue", "tp_basic", { { CheckRule::parameterValue, "setParameter value 1.500000 for parameter 0, outside 0..1, thread {gui}" },
            { CheckRule::parameterValue, "setParameter value nan for parameter 0, not a number, thread {gui}" },
            { CheckRule::parameterValue, "setParameter value -0.250000 for parameter 0, outside 0..1, thread {gui}" } }),
        { "longVendor", true, "tp_rude", "TP_RUDE=askVendor",
          { { CheckRule::hostText, "the host wrote 70 bytes into audioMasterGetVendorString's text, the VST 2 limit is 64"
                                   + textLimit + ", thread {gui}" } } },
        // The same question answered within the limit.
        { "polite", true, "tp_rude", "TP_RUDE=askVendor", {} },
    };

    // The plug-in's side: tp_rude's behaviours one at a time, in tbsession's session of one block.
    const std::vector<Case> pluginCases = {
        rude ("paramName", { { CheckRule::targetText, "the target wrote 17 bytes into effGetParamName's text, the VST 2 limit is 8"
                                     + textLimit + ", thread {any}" } }),
        rude ("effectName", { { CheckRule::targetText, "the target wrote 40 bytes into effGetEffectName's text, the VST 2 limit is 32"
                                     + textLimit + ", thread {any}" } }),
        rude ("propertiesLabel", { { CheckRule::targetText, "the target wrote no end within 64 bytes into effGetParameterProperties's label, "
                                     "the VST 2 limit is 64" + textLimit + ", thread {any}" } }),
        rude ("endEdit", { { CheckRule::editBalance, "audioMasterEndEdit for parameter 0 without a BeginEdit, thread {any}" } }),
        rude ("beginEdit", { { CheckRule::editBalance, "audioMasterBeginEdit for parameter 1 still open at Close, thread {any}" } }),
        rude ("echo", { { CheckRule::automationEcho, "audioMasterAutomate for parameter 0 from inside setParameter for it, thread {any}" },
            { CheckRule::automationEcho, "audioMasterAutomate for parameter 1 from inside setParameter for it, thread {any}" } }),
        rude ("automateIndex", { { CheckRule::parameterIndex, "audioMasterAutomate index 2, the target has 2 parameters, thread {any}" } }),
        rude ("automateValue", { { CheckRule::parameterValue, "audioMasterAutomate value 1.500000 for parameter 0, outside 0..1, thread {any}" } }),
        rude ("latency", { { CheckRule::recordWithoutIOChanged, "initialDelay changed from 0 to 64 in effMainsChanged without audioMasterIOChanged, thread {any}" } }),
        rude ("ioFromAudio", { { CheckRule::ioChangedFromAudio, "audioMasterIOChanged from inside processReplacing, thread {any}" } }),
        rude ("nan", { { CheckRule::badSamples, "processReplacing block 1: output channel 1 frame 7 is nan, thread {any}" } }),
        // The host's own vendor question answered with nothing.
        rude ("askVendor", {}),
    };
}

TEST (Checks, EachBreachOfTheHostGivesItsLineAndCount)
{
    for (const auto& c : hostCases)
    {
        SCOPED_TRACE (std::string (c.name) + " on " + c.plugin);
        Sandbox box;
        writeState (box, both);
        expectBreaches (runCase (box, c), c.breaches);
    }
}

TEST (Checks, EachBreachOfThePluginGivesItsLineAndCount)
{
    for (const auto& c : pluginCases)
    {
        SCOPED_TRACE (c.name);
        Sandbox box;
        writeState (box, both);
        expectBreaches (runCase (box, c), c.breaches);
    }
}

// Every rule is shown by one case or another.
TEST (Checks, EveryRuleHasItsCase)
{
    std::set<CheckRule> shown;

    for (const auto* cases : { &hostCases, &pluginCases })
        for (const auto& c : *cases)
            for (const auto& breach : c.breaches)
                shown.insert (breach.rule);

    for (int rule = 0; rule < numCheckRules; ++rule)
        EXPECT_EQ (shown.count ((CheckRule) rule), 1u) << checkRuleInfo[rule].key;
}

TEST (Checks, TheFourthBreachOfARuleIsOnlyCounted)
{
    Sandbox box;
    writeState (box, both);
    const auto run = runCase (box, false, "tp_rude", "--blocks 5", "TP_RUDE=nan");
    ASSERT_EQ (run.status, 0) << describe (run);
    std::vector<std::string> expected;

    for (int block = 1; block <= 3; ++block)
        expected.push_back ("processReplacing block " + std::to_string (block) + ": output channel 1 frame 7 is nan");

    const auto lines = breachLines (run);
    ASSERT_EQ (lines.size(), 4u) << run.err;

    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE (std::regex_match (lines[i], pattern (run, expected[i] + ", thread {any}"))) << lines[i];

    EXPECT_EQ (lines[3], "Check: NaN, infinite or denormal output: further breaches are only counted");
    EXPECT_EQ (summaryLines (run), std::vector<std::string> { summaryLine (CheckRule::badSamples, 5) });
}

// What each switch of the state file lets through, with several breaches at once.
TEST (Checks, TheSwitchesOfTheStateFile)
{
    const struct
    {
        const char* name;
        const char* parameters;
        const char* checks;
        std::vector<Breach> breaches;
    } cases[] = {
        { "a rule switched off", both, "targetText=\"0\"",
          { { CheckRule::automationEcho, "audioMasterAutomate for parameter 0 from inside setParameter for it, thread {any}" },
            { CheckRule::automationEcho, "audioMasterAutomate for parameter 1 from inside setParameter for it, thread {any}" },
            { CheckRule::badSamples, "processReplacing block 1: output channel 1 frame 7 is nan, thread {any}" } } },
        { "the samples alone", "checkAudio=\"1\"", "",
          { { CheckRule::badSamples, "processReplacing block 1: output channel 1 frame 7 is nan, thread {any}" } } },
        { "the calls alone", "checkCalls=\"1\"", "",
          { { CheckRule::targetText, "the target wrote 17 bytes into effGetParamName's text, the VST 2 limit is 8"
                                     + textLimit + ", thread {any}" },
            { CheckRule::automationEcho, "audioMasterAutomate for parameter 0 from inside setParameter for it, thread {any}" },
            { CheckRule::automationEcho, "audioMasterAutomate for parameter 1 from inside setParameter for it, thread {any}" } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Sandbox box;
        writeState (box, c.parameters, c.checks);
        expectBreaches (runCase (box, false, "tp_rude", "--blocks 1", "TP_RUDE=paramName,echo,nan"), c.breaches);

        // Close keeps the switches as they were read.
        if (*c.checks != 0)
        {
            EXPECT_TRUE (contains (box.stateFile(), std::string ("<Checks ") + c.checks + "/>")) << box.stateFile();
        }
    }
}

// Off (the default), nothing is checked: not one line, whatever both sides break.
TEST (Checks, OffByDefault)
{
    Sandbox box;
    const auto run = runCase (box, true, "tp_rude", "beforeOpen openTwice suspended setupWhileResumed parameterValue "
                              "editorOpenAtClose nullChannel twoAudioThreads longVendor",
                              "TP_RUDE=askVendor,paramName,echo,endEdit,beginEdit,automateIndex,latency,ioFromAudio,nan");
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (linesStarting (run, "Check").size(), 0u) << run.err;
    EXPECT_FALSE (contains (box.stateFile(), "checkCalls") || contains (box.stateFile(), "<Checks")) << box.stateFile();
}

// A well-behaved host on well-behaved plug-ins, in either precision and with events: no breach.
TEST (Checks, AWellBehavedSessionHasNoBreaches)
{
    for (const auto& [plugin, options] : { std::pair { "tp_basic", "--midi" }, std::pair { "tp_double", "--double" } })
    {
        SCOPED_TRACE (plugin);
        Sandbox box;
        writeState (box, both);
        const auto run = runCase (box, false, plugin, options, "");
        ASSERT_EQ (run.status, 0) << describe (run);
        EXPECT_EQ (linesStarting (run, "Check"), std::vector<std::string> { "Check summary: no breaches" }) << run.err;
    }
}
