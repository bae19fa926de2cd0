// A target that crashes through Tattlebox: the report names the call, the
// thread, the signal and the frames, and the host then sees the crash
// exactly as it does without Tattlebox (status, handler, arguments).
#include "tests/bridge/Sandbox.h"

namespace
{
    const std::string crashHost = TB_CRASHHOST;

    struct CrashCase
    {
        const char* call;
        const char* signal;
        int status;             // the host's, killed by the signal
        const char* function;   // the test plug-in's function among the first frames
        bool faultAddress;
    };

    const CrashCase crashCases[] = {
        { "processReplacing", "SIGSEGV", 139, "tpWriteThroughNull", true },
        { "effOpen",          "SIGABRT", 134, "tpAbort",            false },
        { "setParameter",     "SIGFPE",  136, "tpDivideByZero",     true },
        { "effEditIdle",      "SIGSEGV", 139, "tpRecurse",          true },
    };

    std::string crashTarget() { return realPath (testPlugins / "tp_crash.so"); }

    Run runCrashHost (const Sandbox& box, const std::string& plugin, const std::string& arguments,
                      const std::string& environment)
    {
        return box.run (shellQuoted (crashHost) + " " + shellQuoted (plugin) + " " + arguments,
                        "TB_ZENITY_ANSWER=" + shellQuoted (crashTarget()) + " TB_ZENITY_LOG= " + environment);
    }

    std::string lineStarting (const Run& run, const std::string& start)
    {
        for (const auto& line : run.log)
            if (line.rfind (start, 0) == 0)
                return line;

        return {};
    }

    std::string callThread (const Run& run)
    {
        const auto at = run.out.find ("call thread: ");
        return at == std::string::npos ? std::string() : run.out.substr (at + 13, run.out.find ('\n', at) - at - 13);
    }

    // The functions addr2line finds for the report's frames in the test plug-in.
    std::vector<std::string> resolvedFrames (const Run& run)
    {
        static const std::regex frame (R"(^tp_crash\.so:#([0-9]+) tp_crash\.so\+(0x[0-9a-f]+)$)");
        std::vector<std::string> functions;

        for (const auto& line : run.log)
            if (std::smatch m; std::regex_match (line, m, frame))
            {
                auto name = commandOutput ("addr2line -f -e " + shellQuoted (crashTarget()) + " " + m.str (2) + " | head -1", false);
                functions.push_back (name.substr (0, name.find ('\n')));
            }

        return functions;
    }

    void writeState (const Sandbox& box, const std::string& parameters)
    {
        std::ofstream (box.pluginDir / "Tattlebox.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tattlebox><Logger><Parameters " << parameters
            << "/></Logger></Tattlebox>\n";
    }
}

TEST (CrashReport, NamesTheCallTheThreadTheSignalAndTheFrames)
{
    for (const auto& c : crashCases)
    {
        SCOPED_TRACE (c.call);
        Sandbox box;
        const auto environment = std::string ("TP_CRASH=") + c.call;
        const auto direct = runCrashHost (box, crashTarget(), c.call, environment);
        ASSERT_EQ (direct.status, c.status) << describe (direct);

        writeState (box, "logToFile=\"1\"");
        const auto run = runCrashHost (box, box.plugin, c.call, environment);
        EXPECT_EQ (run.status, c.status) << describe (run);

        const auto headline = lineStarting (run, "tp_crash.so:Crash: ");
        std::string expected = std::string ("tp_crash.so:Crash: ") + c.signal
                             + (c.faultAddress ? " \\(address [0-9A-F]{16}\\)" : "")
                             + " on thread " + callThread (run) + " in the target's " + c.call
                             + ", (under 0\\.1 s|at least [0-9.]+ (us|ms|s)) into the call";
        EXPECT_TRUE (std::regex_match (headline, std::regex (expected))) << headline << "\n" << expected;

        const auto functions = resolvedFrames (run);
        EXPECT_NE (std::find (functions.begin(), functions.end(), c.function), functions.end()) << run.err;
        EXPECT_TRUE (run.has ("tp_crash.so:Crash: handed on to the system's default action")) << run.err;

        // The file sink has the report too, written before the process ended.
        EXPECT_TRUE (contains (readFile (box.pluginDir / "Tattlebox.log"), headline.substr (12))) << headline;
    }

    // A null write's address is 0.
    Sandbox box;
    const auto run = runCrashHost (box, box.plugin, "processReplacing", "TP_CRASH=processReplacing");
    EXPECT_TRUE (contains (lineStarting (run, "tp_crash.so:Crash: SIGSEGV"), "(address 0000000000000000)"));
}

// The host's own handler, with or without SA_SIGINFO, still gets the crash
// after the report, with the same arguments it gets without Tattlebox; the
// report allocated nothing on the crashing thread.
TEST (CrashReport, TheHostsOwnHandlerGetsTheCrashAsBefore)
{
    for (const std::string handler : { "siginfo", "plain" })
    {
        for (const auto& c : crashCases)
        {
            if (std::string (c.call) == "effEditIdle")
                continue; // the host's handler has no stack of its own for an overflow

            SCOPED_TRACE (handler + " " + c.call);
            Sandbox box;
            const auto arguments = "--handler " + handler + " " + c.call;
            const auto environment = std::string ("TP_CRASH=") + c.call;
            const auto direct = runCrashHost (box, crashTarget(), arguments, environment);
            const auto run = runCrashHost (box, box.plugin, arguments, environment);

            const auto handled = [] (const bridgetest::Run& r) { return r.out.substr (std::min (r.out.size(), r.out.find ("host handler:"))); };
            ASSERT_TRUE (contains (direct.out, "host handler: signal ")) << describe (direct);
            EXPECT_EQ (run.status, direct.status) << describe (run);
            EXPECT_EQ (handled (run), handled (direct));
            EXPECT_TRUE (run.has ("tp_crash.so:Crash: handed on to the handler installed before Tattlebox")) << run.err;

            if (handler == "siginfo")
            {
                EXPECT_TRUE (contains (run.out, "allocations 0\n")) << run.out;
            }
        }
    }
}

TEST (CrashReport, SignalsOutsideAnyCallPassSilently)
{
    Sandbox box;
    const auto run = runCrashHost (box, box.plugin, "--close-after", "");
    EXPECT_EQ (run.status, 139) << describe (run);
    EXPECT_TRUE (contains (run.out, "mapped after close: no")) << run.out;
    EXPECT_EQ (run.err.find ("Crash"), std::string::npos) << run.err;
}

// A handler installed over Tattlebox's may hand on to it: the library stays.
TEST (CrashReport, AForeignHandlerOnTopKeepsTattleboxLoaded)
{
    Sandbox box;
    const auto run = runCrashHost (box, box.plugin, "--handler-on-top", "");
    EXPECT_EQ (run.status, 139) << describe (run);
    EXPECT_TRUE (contains (run.out, "mapped after close: yes")) << run.out;
    EXPECT_TRUE (contains (run.out, "on-top handler: called")) << run.out;
    EXPECT_TRUE (run.has ("tp_crash.so:A crash handler installed after Tattlebox's stands on top of it: Tattlebox stays loaded"))
        << run.err;
}

TEST (CrashReport, SwitchedOffNothingIsInstalled)
{
    Sandbox box;
    writeState (box, "reportCrashes=\"0\"");
    const auto run = runCrashHost (box, box.plugin, "--handler siginfo processReplacing", "TP_CRASH=processReplacing");
    EXPECT_EQ (run.status, 3) << describe (run);
    EXPECT_EQ (run.err.find ("Crash"), std::string::npos) << run.err;
    EXPECT_TRUE (contains (box.stateFile(), "reportCrashes=\"0\"")) << box.stateFile();
}

TEST (CrashReport, ThroughAJuceHost)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    box.answer ({ crashTarget() });
    const auto host = shellQuoted (tbhost) + " --blocks 4 ";
    const auto direct = box.run (host + shellQuoted (crashTarget()), "TP_CRASH=processReplacing");
    const auto run = box.run (host + shellQuoted (box.plugin), "TP_CRASH=processReplacing");
    EXPECT_EQ (direct.status, 139) << describe (direct);
    EXPECT_EQ (run.status, direct.status) << describe (run);
    EXPECT_TRUE (std::regex_match (lineStarting (run, "tp_crash.so:Crash: "),
                                   std::regex (R"(tp_crash\.so:Crash: SIGSEGV \(address 0{16}\) on thread [0-9A-F]+ in the target's processReplacing, .*)")))
        << run.err;
    // The script the README gives resolves the same frames from the log.
    const auto resolved = commandOutput ("sh " TB_SOURCE_DIR "/tools/resolve-frames.sh " + shellQuoted (box.dir / "stderr"));
    EXPECT_TRUE (std::regex_search (resolved, std::regex (R"(\n?#[0-9]+ tp_crash\.so\+0x[0-9a-f]+ tpWriteThroughNull at .*tp_crash\.cpp:[0-9]+)")))
        << resolved;
}

TEST (HangReport, WhileItLastsAndWhenItEnds)
{
    Sandbox box;
    writeState (box, "hangSeconds=\"0.5\"");
    const auto target = realPath (testPlugins / "tp_hang.so");
    const auto run = box.run (shellQuoted (crashHost) + " " + shellQuoted (box.plugin) + " effEditIdle",
                              "TB_ZENITY_ANSWER=" + shellQuoted (target) + " TB_ZENITY_LOG= TP_HANG=effEditIdle:1.5");
    ASSERT_EQ (run.status, 0) << describe (run);
    const auto thread = callThread (run);
    EXPECT_TRUE (std::regex_match (lineStarting (run, "tp_hang.so:Hang: thread " + thread + " has been"),
                                   std::regex ("tp_hang\\.so:Hang: thread " + thread + " has been in the target's effEditIdle for 0\\.[5-9] s")))
        << run.err;
    EXPECT_TRUE (std::regex_match (lineStarting (run, "tp_hang.so:Hang: thread " + thread + " in"),
                                   std::regex ("tp_hang\\.so:Hang: thread " + thread + " in the target's effEditIdle returned after 1\\.[3-9] s")))
        << run.err;
}
