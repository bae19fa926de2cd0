// tbhost driving our own test plug-ins: deterministic summaries and audio,
// the exact dump layout, load failures as exit status 3, never a crash.
#include "tests/support/BuildTree.h"
#include "tests/support/Processes.h"
#include "tests/support/ExpectedAudio.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;

namespace
{
const std::string tbhostProgram = (buildDir / "tbhost").string();
} // namespace

TEST (TbHost, BasicRunsAreDeterministicAndPlausible)
{
    TempFolder temp;
    const auto first = runProcess ({ tbhostProgram, "--dump-audio", (temp / "a.raw").string(), testPlugin ("tp_basic") });
    const auto second = runProcess ({ tbhostProgram, "--dump-audio", (temp / "b.raw").string(), testPlugin ("tp_basic") });

    ASSERT_EQ (first.exitStatus, 0) << first.err;
    ASSERT_EQ (second.exitStatus, 0) << second.err;
    EXPECT_EQ (first.out, second.out);

    const auto a = readFile (temp / "a.raw");
    EXPECT_EQ (a.size(), 32u * 512u * 2u * sizeof (float));
    EXPECT_EQ (a, readFile (temp / "b.raw"));

    for (const char* line : { "name: tp_basic\n", "inputs: 2\n", "outputs: 2\n", "latency: 0\n", "parameters: 3\n",
                              "parameter 0: Gain | 0.500000 | 0.250000 | 0.250000 | -6.02\n",
                              "parameter 2: Invert | 0.000000 | 0.750000 | 1.000000 | On\n",
                              "programs: 3\n", "program 0: Unity\n", "program 2: Third\n",
                              "editor: 320x240\n", "blocks: 32\n", "non-finite samples: 0\n" })
        EXPECT_TRUE (contains (first.out, line)) << "missing " << line << "in\n" << first.out;
}

TEST (TbHost, DumpHoldsExactlyTheProcessedOutput)
{
    TempFolder temp;
    const auto run = [&] (const std::string& name, const std::string& file)
    {
        const auto r = runProcess ({ tbhostProgram, "--blocks", "3", "--block-size", "64", "--sample-rate", "48000",
                                     "--no-params", "--dump-audio", (temp / file).string(), testPlugin (name) });
        EXPECT_EQ (r.exitStatus, 0) << name << ": " << r.err;
        EXPECT_FALSE (contains (r.out, "parameter")) << r.out;
        return readFloats (temp / file);
    };

    // Unity gain at the defaults: the dump is the test signal itself, which
    // pins down the layout. The old accumulating process call must give the same.
    EXPECT_EQ (run ("tp_basic", "basic.raw"), expectedOutput (2, std::vector<float> (2, 1.0f), 3, 64, 48000.0));
    EXPECT_EQ (run ("tp_no_replacing", "old.raw"), expectedOutput (2, std::vector<float> (2, 1.0f), 3, 64, 48000.0));
    EXPECT_EQ (run ("tp_io_change", "io.raw"), expectedOutput (1, std::vector<float> (2, 1.0f), 3, 64, 48000.0));
}

TEST (TbHost, CyclesReloadAndRepeatTheSession)
{
    TempFolder temp;
    const auto r = runProcess ({ tbhostProgram, "--cycles", "3", "--blocks", "2", "--dump-audio", (temp / "c.raw").string(),
                                 testPlugin ("tp_thread_callback") });
    ASSERT_EQ (r.exitStatus, 0) << r.err;

    for (const char* line : { "cycle: 1\n", "cycle: 2\n", "cycle: 3\n" })
        EXPECT_TRUE (contains (r.out, line)) << r.out;

    const auto samples = readFloats (temp / "c.raw");
    const std::size_t perCycle = 2 * 512 * 2;
    ASSERT_EQ (samples.size(), 3 * perCycle);
    EXPECT_TRUE (std::equal (samples.begin(), samples.begin() + (long) perCycle, samples.begin() + (long) perCycle));
    EXPECT_TRUE (std::equal (samples.begin(), samples.begin() + (long) perCycle, samples.begin() + 2 * (long) perCycle));
}

TEST (TbHost, EveryLoadablePluginRunsCleanly)
{
    for (const char* name : { "tp_main_only", "tp_vstpluginmain_only", "tp_entry_callbacks", "tp_io_change",
                              "tp_no_replacing", "tp_thread_callback" })
    {
        const auto r = runProcess ({ tbhostProgram, "--blocks", "4", testPlugin (name) });
        EXPECT_EQ (r.exitStatus, 0) << name << ": " << r.err;
        EXPECT_TRUE (contains (r.out, "blocks: 4\n")) << name << ":\n" << r.out;
    }
}

TEST (TbHost, LoadFailuresExitWithThreeAndNeverCrash)
{
    TempFolder temp;
    const auto notALibrary = temp / "text.so";
    std::ofstream (notALibrary) << "not a library\n";

    for (const auto& file : { testPlugin ("tp_no_entry"), testPlugin ("tp_null_record"), testPlugin ("tp_wrong_magic"),
                              notALibrary.string(), (temp / "missing.so").string(), temp.path.string() })
    {
        const auto r = runProcess ({ tbhostProgram, file });
        EXPECT_EQ (r.signal, 0) << file;
        EXPECT_EQ (r.exitStatus, 3) << file << ": " << r.err;
        EXPECT_TRUE (contains (r.err, "tbhost: cannot load ")) << r.err;
        EXPECT_FALSE (contains (r.out, "blocks:")) << r.out;
    }
}

TEST (TbHost, BadUsageExitsWithOne)
{
    for (const auto& args : std::vector<std::vector<std::string>> {
             {}, { "--blocks" }, { "--blocks", "x", testPlugin ("tp_basic") }, { "--blocks", "-1", testPlugin ("tp_basic") },
             { "--block-size", "0", testPlugin ("tp_basic") }, { "--frobnicate", "1", testPlugin ("tp_basic") },
             { testPlugin ("tp_basic"), testPlugin ("tp_basic") } })
    {
        std::vector<std::string> command { tbhostProgram };
        command.insert (command.end(), args.begin(), args.end());
        const auto r = runProcess (command);
        EXPECT_EQ (r.exitStatus, 1) << r.err;
        EXPECT_TRUE (contains (r.err, "usage: tbhost")) << r.err;
        EXPECT_TRUE (r.out.empty());
    }
}

TEST (TbHost, EditorOpensForAMoment)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs an X display";

    const auto r = runProcess ({ tbhostProgram, "--blocks", "1", "--editor", "200", testPlugin ("tp_basic") });
    EXPECT_EQ (r.exitStatus, 0) << r.err;
    EXPECT_TRUE (contains (r.err, "Opening VST UI: tp_basic")) << r.err;
    EXPECT_TRUE (contains (r.err, "Closing VST UI: tp_basic")) << r.err;
}

TEST (Sweep, TabulatesDirectRunsOfAFolder)
{
    TempFolder temp;
    const auto r = runProcess ({ "sh", TB_SOURCE_DIR "/scripts/sweep.sh", buildDir.string() },
                               { { "TB_SWEEP_DIR", (buildDir / "testplugins").string() },
                                 { "TB_SWEEP_TATTLEBOX", (temp / "none.so").string() },
                                 { "TB_SWEEP_WORK", (temp / "work").string() },
                                 { "TB_SWEEP_TIMEOUT", "30" } });

    EXPECT_EQ (r.exitStatus, 0) << r.out << r.err;
    EXPECT_TRUE (contains (r.out, "\ntp_basic.so ")) << r.out;
    EXPECT_TRUE (contains (r.out, "plug-ins: 16, loaded directly: 13, through Tattlebox: 0")) << r.out;

    std::istringstream table (r.out);

    for (std::string line; std::getline (table, line);)
    {
        std::istringstream fields (line);
        std::string name, direct, deterministic;
        fields >> name >> direct >> deterministic;

        if (name == "tp_basic.so" || name == "tp_thread_callback.so")
        {
            EXPECT_EQ (direct + " " + deterministic, "ok yes") << line;
        }
        else if (name == "tp_no_entry.so" || name == "tp_wrong_magic.so")
        {
            EXPECT_EQ (direct, "fail3") << line;
        }
    }
}
