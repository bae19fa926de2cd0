// tbsession, the bare host, on the test plug-ins: the exact session summary,
// the processed audio to the sample, the entry names and the host callback,
// one exit status per kind of load failure, a second start-up in one process,
// and Tattlebox in between changing nothing the host can see or hear.
#include "tests/support/BuildTree.h"
#include "tests/support/Processes.h"
#include "tests/support/ExpectedAudio.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;

namespace
{
const std::string tbsession = (buildDir / "tbsession").string();
} // namespace

TEST (TbSession, BasicSessionPrintsTheWholeSummaryTheSameEveryRun)
{
    TempFolder temp;
    const auto first = runProcess ({ tbsession, "--dump-audio", (temp / "a.raw").string(), testPlugin ("tp_basic") });
    const auto second = runProcess ({ tbsession, "--dump-audio", (temp / "b.raw").string(), testPlugin ("tp_basic") });

    ASSERT_EQ (first.exitStatus, 0) << first.err;
    ASSERT_EQ (second.exitStatus, 0) << second.err;
    EXPECT_EQ (first.out, second.out);
    EXPECT_EQ (readFile (temp / "a.raw"), readFile (temp / "b.raw"));
    EXPECT_EQ (readFile (temp / "a.raw").size(), 16u * 512u * 2u * sizeof (float));

    // The record as the entry returned it, then the session in its order.
    EXPECT_EQ (first.out,
               "entry: VSTPluginMain\n"
               "numPrograms: 3\nnumParams: 3\nnumInputs: 2\nnumOutputs: 2\nflags: 00000031\nuniqueID: 74704261\nversion: 1100\n"
               "name: tp_basic\nvendor: Tattlebox tests\nproduct: tp_basic\nvendor version: 1100\nvst version: 2400\ncategory: 1\n"
               "canDo receiveVstEvents: 0\ncanDo receiveVstMidiEvent: 0\ncanDo sendVstEvents: 0\ncanDo bypass: 0\ncanDo offline: 0\n"
               "parameter 0: Gain | dB | 0.00 | 0.500000 | 0.750000 | 0.750000\n"
               "parameter 1: Balance | % | 50 | 0.500000 | 0.750000 | 0.750000\n"
               "parameter 2: Invert |  | Off | 0.000000 | 0.750000 | 1.000000\n"
               "program 0: Unity\nprogram 1: Half\nprogram 2: Third\n"
               "editor: 320x240\nprocessing: processReplacing\nblocks: 16\nnon-finite samples: 0\n"
               "session done\n");
}

TEST (TbSession, DumpHoldsExactlyTheProcessedOutput)
{
    TempFolder temp;
    const auto run = [&] (const std::string& name)
    {
        const auto file = temp / (name + ".raw");
        const auto r = runProcess ({ tbsession, "--blocks", "3", "--dump-audio", file.string(), testPlugin (name) });
        EXPECT_EQ (r.exitStatus, 0) << name << ": " << r.err;
        return readFloats (file);
    };

    // Every parameter at 0.75: Gain 1.5, Balance halves the left channel, Invert on.
    EXPECT_EQ (run ("tp_basic"), expectedOutput (2, { -0.75f, -1.5f }, 3));
    // The accumulating process call gets cleared outputs: the same as replacing.
    EXPECT_EQ (run ("tp_no_replacing"), expectedOutput (2, { 1.5f, 1.5f }, 3));
    // Two inputs after resume; the plug-in reads only the first.
    EXPECT_EQ (run ("tp_io_change"), expectedOutput (1, { 1.5f, 1.5f }, 3));
}

TEST (TbSession, FindsEitherEntryNameAndAnswersTheVersion)
{
    const auto mainOnly = runProcess ({ tbsession, "--blocks", "1", testPlugin ("tp_main_only") });
    EXPECT_EQ (mainOnly.exitStatus, 0) << mainOnly.err;
    EXPECT_EQ (mainOnly.out.rfind ("entry: main\n", 0), 0u) << mainOnly.out;

    const auto newOnly = runProcess ({ tbsession, "--blocks", "1", testPlugin ("tp_vstpluginmain_only") });
    EXPECT_EQ (newOnly.exitStatus, 0) << newOnly.err;
    EXPECT_EQ (newOnly.out.rfind ("entry: VSTPluginMain\n", 0), 0u) << newOnly.out;

    // Version 2400 and current id 0, asked inside the entry, come back as 2400 * 1000 + 0.
    const auto callbacks = runProcess ({ tbsession, "--blocks", "1", testPlugin ("tp_entry_callbacks") });
    EXPECT_EQ (callbacks.exitStatus, 0) << callbacks.err;
    EXPECT_TRUE (contains (callbacks.out, "\nvendor version: 2400000\n")) << callbacks.out;
}

TEST (TbSession, EachFailureHasItsOwnStatusAndNeverCrashes)
{
    TempFolder temp;
    const auto notALibrary = temp / "text.so";
    std::ofstream (notALibrary) << "not a library\n";

    const std::vector<std::tuple<std::string, int, std::string>> cases {
        { testPlugin ("tp_no_entry"), 3, "no VSTPluginMain or main in " },
        { testPlugin ("tp_null_record"), 4, "main returned null" },
        { testPlugin ("tp_wrong_magic"), 5, "wrong magic 50747356" },
        { notALibrary.string(), 2, "cannot load " },
        { (temp / "missing.so").string(), 2, "cannot load " },
    };

    for (const auto& [file, status, message] : cases)
    {
        const auto r = runProcess ({ tbsession, file });
        EXPECT_EQ (r.signal, 0) << file;
        EXPECT_EQ (r.exitStatus, status) << file << ": " << r.err;
        EXPECT_TRUE (contains (r.err, "tbsession: " + message)) << r.err;
        EXPECT_FALSE (contains (r.out, "session done")) << r.out;
    }

    for (const auto& args : std::vector<std::vector<std::string>> {
             {}, { "--blocks" }, { "--blocks", "x", testPlugin ("tp_basic") }, { "--blocks", "-1", testPlugin ("tp_basic") },
             { "--pump-ms", "1e3", testPlugin ("tp_basic") }, { "--frobnicate", "1", testPlugin ("tp_basic") },
             { testPlugin ("tp_basic"), testPlugin ("tp_basic") }, { "--dump-audio", (temp / "none" / "x.raw").string(), testPlugin ("tp_basic") } })
    {
        const auto r = runProcess ([&] { auto all = args; all.insert (all.begin(), tbsession); return all; }());
        EXPECT_EQ (r.exitStatus, 1) << r.err;
        EXPECT_TRUE (r.out.empty()) << r.out;
    }
}

TEST (TbSession, TwiceRunsTheEntryAndTheWholeSessionAgain)
{
    TempFolder temp;
    const auto r = runProcess ({ tbsession, "--twice", "--blocks", "2", "--dump-audio", (temp / "t.raw").string(),
                                 testPlugin ("tp_thread_callback") });
    ASSERT_EQ (r.exitStatus, 0) << r.err;

    const auto second = r.out.find ("run: 2\n");
    const auto done = r.out.find ("session done\n");
    ASSERT_NE (second, std::string::npos) << r.out;
    ASSERT_EQ (r.out.find ("entry: VSTPluginMain\nrun: 1\n"), 0u) << r.out;
    const auto firstRun = r.out.substr (std::strlen ("entry: VSTPluginMain\nrun: 1\n"), second - std::strlen ("entry: VSTPluginMain\nrun: 1\n"));
    EXPECT_EQ (r.out.substr (second + std::strlen ("run: 2\n"), done - second - std::strlen ("run: 2\n")), firstRun);

    const auto samples = readFloats (temp / "t.raw");
    ASSERT_EQ (samples.size(), 2u * 2u * 512u * 2u);
    EXPECT_TRUE (std::equal (samples.begin(), samples.begin() + 2048, samples.begin() + 2048));
}

//==============================================================================
// Tattlebox hands the host the target's own record and forwards every call:
// the session must print and sound exactly as with the target alone, also when
// Tattlebox starts up a second time in the same process.
TEST (TbSessionThroughTattlebox, SameSummaryAndAudioAsTheTargetAlone)
{
    TempFolder temp;
    // A copy of its own, so that the state file it keeps beside itself lands here.
    const auto tattlebox = temp / "Tattlebox.so";
    std::filesystem::copy_file (buildDir / "Tattlebox.so", tattlebox);
    std::filesystem::create_directories (temp / "home");
    const char* path = std::getenv ("PATH");

    for (const std::string target : { "tp_basic", "tp_no_replacing" })
    {
        const auto direct = runProcess ({ tbsession, "--twice", "--dump-audio", (temp / "direct.raw").string(), testPlugin (target) });
        const auto through = runProcess ({ tbsession, "--twice", "--dump-audio", (temp / "through.raw").string(), tattlebox.string() },
                                         { { "PATH", (buildDir / "fakebin").string() + ":" + (path != nullptr ? path : "/usr/bin:/bin") },
                                           { "HOME", (temp / "home").string() },
                                           { "TB_ZENITY_ANSWER", testPlugin (target) },
                                           { "TB_ZENITY_ANSWERS", "" }, { "TB_ZENITY_LOG", "" } });

        ASSERT_EQ (direct.exitStatus, 0) << direct.err;
        ASSERT_EQ (through.exitStatus, 0) << target << ":\n" << through.err;
        EXPECT_EQ (through.out, direct.out) << target;
        EXPECT_EQ (readFile (temp / "through.raw"), readFile (temp / "direct.raw")) << target;
        EXPECT_EQ (readFile (temp / "direct.raw").size(), 2u * 16u * 512u * 2u * sizeof (float));
        // The calls really went through Tattlebox: it logged them.
        EXPECT_TRUE (contains (through.err, target + ".so:effClose")) << through.err;
    }
}
