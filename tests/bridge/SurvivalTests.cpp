// Tattlebox survives the faults it is put in to watch: a Close racing the
// host's other threads, a record that changes under the host.
#include "Sandbox.h"

namespace
{
    Run runRawHost (const Sandbox& box, const std::string& arguments, const std::string& target)
    {
        return box.run (shellQuoted (rawHostPath) + " " + arguments,
                        "TB_ZENITY_ANSWER=" + shellQuoted (target) + " TB_ZENITY_LOG=");
    }

    std::size_t countLines (const Run& run, const std::string& line)
    {
        return (std::size_t) std::count (run.log.begin(), run.log.end(), line);
    }
}

// tp_basic deletes itself in effClose and its library is unloaded at Close:
// a call still inside either would crash.
TEST (TattleboxSurvives, CloseWhileOtherThreadsCallIn)
{
    const auto target = realPath (testPlugins / "tp_basic.so");
    Sandbox box;
    const auto run = runRawHost (box, "closerace " + shellQuoted (box.plugin) + " 200", target);
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.out.find ("FAIL"), std::string::npos) << run.out;
    // The two threads log far faster than any sink takes lines: the
    // background writer drops some, and says so.
    EXPECT_GT (countLines (run, "tp_basic.so:Unloaded " + target), 0u);
    EXPECT_EQ (run.err.find ("stays loaded"), std::string::npos);

    // Each kind turned back gets its line once per session and phase at most.
    for (const std::string kind : { "processReplacing", "effGetParamName", "setParameter", "getParameter" })
    {
        const auto during = countLines (run, "tp_basic.so:" + kind + " called during Close");
        const auto after = countLines (run, "tp_basic.so:" + kind + " called after Close");
        EXPECT_GT (during + after, 0u) << kind;
        EXPECT_LE (during, 200u) << kind;
        EXPECT_LE (after, 200u) << kind;
    }
}

TEST (TattleboxSurvives, TheHostReadsTheRecordAsTheTargetChangesIt)
{
    Sandbox box;
    const auto run = runRawHost (box, "iochange " + shellQuoted (box.plugin), realPath (testPlugins / "tp_io_change.so"));
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.out.find ("FAIL"), std::string::npos) << run.out;
}

// Standard error on a pipe whose reader exits after the host's own last line, as with
// `host 2>&1 | tee log` when tee ends: the host lives on as it does without
// Tattlebox, with the background writer and with the synchronous one.
TEST (TattleboxSurvives, AReaderOfStandardErrorThatGoesAway)
{
    REQUIRE_HOST_TOOLS();
    const auto target = realPath (testPlugins / "tp_basic.so");

    auto exitStatus = [&] (const Sandbox& box, const std::string& plugin)
    {
        const auto host = shellQuoted (tbhost) + " --blocks 400 " + shellQuoted (plugin);
        box.run ("sh -c '(" + host + " 2>&1 >/dev/null; echo $? >status) | sed -n /Initialising/q'");
        return readFile (box.dir / "status");
    };

    Sandbox box;
    box.answer ({ target, target });
    const auto direct = exitStatus (box, target);
    EXPECT_EQ (direct, "0\n");
    EXPECT_EQ (exitStatus (box, box.plugin), direct);

    std::ofstream (box.pluginDir / "Tattlebox.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tattlebox><Logger><Parameters writeInBackground=\"0\"/></Logger></Tattlebox>\n";
    EXPECT_EQ (exitStatus (box, box.plugin), direct) << "synchronous";
}
