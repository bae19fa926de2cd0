// Time Calls, Log Summary and processDoubleReplacing end to end: tbhost
// hosting test plug-ins that take a known time, or process in double
// precision, through Tattlebox.
#include "Sandbox.h"

#include <fstream>

namespace
{
    const std::regex durationEnd (R"(.* \(([0-9]+)\.[0-9] us\)$)");

    // A sandbox whose state file switches the given options on.
    Run runWithOptions (const std::string& target, const std::string& options, const std::string& switches,
                        std::string* stateAfter = nullptr, std::string* traceAfter = nullptr)
    {
        Sandbox box;
        std::ofstream (box.pluginDir / "Tattlebox.xml", std::ios::binary)
            << "<Tattlebox><Logger><Parameters " << options << "/></Logger></Tattlebox>\n";
        box.answer ({ (testPlugins / target).string() });
        auto run = box.run (shellQuoted (tbhost) + " " + switches + " " + shellQuoted (box.plugin));

        if (stateAfter != nullptr)
            *stateAfter = box.stateFile();

        if (traceAfter != nullptr)
            *traceAfter = readFile (box.pluginDir / "Tattlebox.trace.json");

        return run;
    }

    std::vector<std::string> linesStartingWith (const Run& run, const std::string& start)
    {
        std::vector<std::string> found;

        for (auto& l : run.log)
            if (l.rfind (start, 0) == 0)
                found.push_back (l);

        return found;
    }

    // The whole microseconds at a line's end; -1 without a duration.
    long long microsecondsAtEnd (const std::string& line)
    {
        std::smatch m;
        return std::regex_match (line, m, durationEnd) ? std::stoll (m.str (1)) : -1;
    }
}

TEST (TattleboxTiming, DurationsOfATargetThatSleepsAndItsOverruns)
{
    REQUIRE_HOST_TOOLS();
    std::string state;
    const auto run = runWithOptions ("tp_slow.so", "timeCalls=\"1\" logSummary=\"1\"",
                                     "--blocks 8 --block-size 4096 --no-params", &state);
    ASSERT_EQ (run.status, 0) << describe (run);

    // Every return line ends with its duration; calls without one stay as they were.
    int returns = 0;
    for (auto& l : run.log)
    {
        if (l.find (" returned ") != std::string::npos)
        {
            ++returns;
            EXPECT_GE (microsecondsAtEnd (l), 0) << l;
        }
    }
    EXPECT_GT (returns, 5) << describe (run);
    EXPECT_TRUE (run.has ("tp_slow.so:effMainsChanged state=1 ")) << describe (run);

    const auto summary = linesStartingWith (run, "tp_slow.so:Summary: ");
    ASSERT_FALSE (summary.empty()) << describe (run);
    const auto line = [&] (const std::string& name) -> std::string
    {
        for (auto& l : summary)
            if (l.rfind ("tp_slow.so:Summary: " + name + " ", 0) == 0)
                return l;
        return {};
    };

    // 4 blocks of 120 ms and 4 quick ones, against 92.9 ms each.
    const std::regex blocks (R"(tp_slow\.so:Summary: processReplacing 8 calls, total ([0-9]+)\.[0-9] us, max ([0-9]+)\.[0-9] us, )"
                             R"(average ([0-9]+)\.[0-9] us, load average ([0-9]+)\.[0-9]%, max ([0-9]+)\.[0-9]%, 4 of 8 blocks over budget)");
    std::smatch m;
    const auto process = line ("processReplacing");
    ASSERT_TRUE (std::regex_match (process, m, blocks)) << process;
    EXPECT_GE (std::stoll (m.str (1)), 480000);
    EXPECT_GE (std::stoll (m.str (2)), 120000);
    EXPECT_GE (std::stoll (m.str (3)), 60000);
    EXPECT_GE (std::stoll (m.str (4)), 64);  // 480 ms of 743 ms
    EXPECT_GE (std::stoll (m.str (5)), 129); // 120 ms of 92.9 ms

    const std::regex mains (R"(tp_slow\.so:Summary: effMainsChanged 2 calls, total ([0-9]+)\.[0-9] us, max ([0-9]+)\.[0-9] us, average [0-9.]+ us)");
    const auto mainsLine = line ("effMainsChanged");
    ASSERT_TRUE (std::regex_match (mainsLine, m, mains)) << mainsLine;
    EXPECT_GE (std::stoll (m.str (2)), 30000);

    // The group total sums its opcodes; the summary comes before the state file, after Close.
    EXPECT_NE (line ("dispatcher"), "");
    const auto close = run.find ("tp_slow.so:effClose ");
    ASSERT_GE (close, 0);
    EXPECT_GT (run.find (summary.front()), close);
    EXPECT_LT (run.find (summary.back()), run.find ("tp_slow.so:Unloaded " + realPath (testPlugins / "tp_slow.so")));
    EXPECT_NE (state.find ("timeCalls=\"1\""), std::string::npos) << state;
    EXPECT_NE (state.find ("logSummary=\"1\""), std::string::npos) << state;
}

TEST (TattleboxTiming, OffByDefaultLeavesEveryLineAsItWas)
{
    REQUIRE_HOST_TOOLS();
    const auto run = runWithOptions ("tp_basic.so", "", "--blocks 2");
    ASSERT_EQ (run.status, 0) << describe (run);

    for (auto& l : run.log)
    {
        EXPECT_EQ (microsecondsAtEnd (l), -1) << l;
        EXPECT_EQ (l.find ("Summary: "), std::string::npos) << l;
    }
}

TEST (TattleboxDoublePrecision, LinesCountsAndTheSlotOnlyWhereTheTargetHasIt)
{
    REQUIRE_HOST_TOOLS();
    std::string state;
    const auto run = runWithOptions ("tp_double.so", "logSummary=\"1\"", "--double --blocks 3", &state);
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_NE (run.out.find ("precision: double"), std::string::npos) << run.out;

    const std::regex line (R"(tp_double\.so:processDoubleReplacing\(inputs:[0-9A-F]+, outputs:[0-9A-F]+, sampleFrames:512\))");
    int lines = 0;
    for (auto& l : run.log)
        lines += std::regex_match (l, line) ? 1 : 0;
    EXPECT_EQ (lines, 3) << describe (run);
    EXPECT_TRUE (linesStartingWith (run, "tp_double.so:processReplacing").empty());
    EXPECT_TRUE (run.has ("tp_double.so:Summary: processDoubleReplacing 3 calls")) << describe (run);
    EXPECT_NE (state.find ("<opCode index=\"6\" name=\"processDoubleReplacing\" enabled=\"1\"/>"), std::string::npos) << state;

    // Without the target's slot tbhost gets none either, and stays in single precision.
    const auto single = runWithOptions ("tp_basic.so", "", "--double --blocks 1");
    ASSERT_EQ (single.status, 0) << describe (single);
    EXPECT_NE (single.out.find ("precision: single"), std::string::npos) << single.out;
    EXPECT_FALSE (linesStartingWith (single, "tp_basic.so:processReplacing(").empty());
}

TEST (TattleboxDoublePrecision, ItsOwnSwitchAndLogParametersApply)
{
    REQUIRE_HOST_TOOLS();
    const auto off = runWithOptions ("tp_double.so", "logParameters=\"0\"", "--double --blocks 2");
    ASSERT_EQ (off.status, 0) << describe (off);
    EXPECT_EQ (linesStartingWith (off, "tp_double.so:processDoubleReplacing").size(), 2u) << describe (off);
    EXPECT_TRUE (off.has ("tp_double.so:processDoubleReplacing"));

    Sandbox box;
    std::ofstream (box.pluginDir / "Tattlebox.xml", std::ios::binary)
        << "<Tattlebox><Logger><vstAEffectFunctions><opCode index=\"6\" enabled=\"0\"/></vstAEffectFunctions>"
           "</Logger></Tattlebox>\n";
    box.answer ({ (testPlugins / "tp_double.so").string() });
    const auto disabled = box.run (shellQuoted (tbhost) + " --double --blocks 2 " + shellQuoted (box.plugin));
    ASSERT_EQ (disabled.status, 0) << describe (disabled);
    EXPECT_TRUE (linesStartingWith (disabled, "tp_double.so:processDoubleReplacing").empty()) << describe (disabled);
    EXPECT_NE (box.stateFile().find ("<opCode index=\"6\" name=\"processDoubleReplacing\" enabled=\"0\"/>"),
               std::string::npos);
}

// The trace: Python's strict parser reads it, one event per call the summary
// counts as timed, IOChanged from inside effMainsChanged within its span, the
// target's own thread on a row of its own.
TEST (TattleboxTrace, OneEventPerTimedCallAndCallsFromInsideCallsWithinThem)
{
    REQUIRE_HOST_TOOLS();
    const struct { const char* target; std::vector<std::string> checks; const char* threads; } cases[] = {
        { "tp_io_change.so", { "--nested", "effMainsChanged:audioMasterIOChanged" }, "threads 1" },
        { "tp_thread_callback.so", {}, "threads 2" },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.target);
        std::string trace;
        const auto run = runWithOptions (c.target, "timeCalls=\"1\" logSummary=\"1\" writeTrace=\"1\"", "--blocks 4",
                                         nullptr, &trace);
        ASSERT_EQ (run.status, 0) << describe (run);

        TempFolder scratch;
        std::ofstream (scratch / "trace.json", std::ios::binary) << trace;
        std::ofstream log (scratch / "log", std::ios::binary);

        for (auto& l : run.log)
            log << l << "\n";

        log.close();
        std::vector<std::string> args { "python3", TB_SOURCE_DIR "/tests/support/trace_check.py",
                                        (scratch / "trace.json").string(), "--summary", (scratch / "log").string() };
        args.insert (args.end(), c.checks.begin(), c.checks.end());
        const auto check = runProcess (args);
        EXPECT_EQ (check.exitStatus, 0) << check.out << check.err;
        EXPECT_NE (check.out.find (std::string ("\n") + c.threads + "\n"), std::string::npos) << check.out;
    }
}

// A host that exits without Close leaves the trace without its "]": the
// viewers take it as it is, a strict reader after the fix-up.
TEST (TattleboxTrace, AHostExitingWithoutCloseLeavesATraceThatParsesAfterTheFixUp)
{
    Sandbox box;
    std::ofstream (box.pluginDir / "Tattlebox.xml", std::ios::binary)
        << "<Tattlebox><Logger><Parameters timeCalls=\"1\" writeTrace=\"1\"/></Logger></Tattlebox>\n";
    box.answer ({ probe });
    const auto run = box.rawHost ("noclose " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);

    const auto trace = box.pluginDir / "Tattlebox.trace.json";
    const auto check = runProcess ({ "python3", TB_SOURCE_DIR "/tests/support/trace_check.py", trace.string(), "--cut" });
    EXPECT_EQ (check.exitStatus, 0) << check.out << check.err;
    EXPECT_NE (check.out.find ("count effOpen 1\n"), std::string::npos) << check.out;
    EXPECT_NE (check.out.find ("count processReplacing "), std::string::npos) << check.out;
}
