// How Tattlebox behaves in the ways real hosts differ from ours: no display,
// the entry called again and again (remembered targets), several copies of
// the library in one process, a library reached through a link, and a host
// that exits without Close.
#include "Sandbox.h"
#include "tests/support/Unprivileged.h"

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    const char* const noDisplayLine = "No display: the control window is not shown; calls are still logged and counted";

    std::string stateWithTarget (const std::string& target, bool remember)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tattlebox>\n  <LastDir>/tmp</LastDir>\n"
               "  <Target>" + target + "</Target>\n  <Logger>\n"
               "    <Parameters logParameters=\"1\" logReturnParameters=\"1\" logTime=\"0\" rememberTarget=\""
               + (remember ? "1" : "0") + "\"/>\n  </Logger>\n</Tattlebox>\n";
    }

    void writeText (const fs::path& file, const std::string& text)
    {
        std::ofstream (file, std::ios::binary) << text;
    }

    std::string probeName()
    {
        return fs::path (probe).filename().string() + ":";
    }

    // Runs a command as the unprivileged user where the tests run as root, so
    // that a folder's missing write permission means what it does for users.
    std::string asUser (const Sandbox& box)
    {
        if (::geteuid() != 0)
            return {};

        std::system (("chmod -R a+rwX " + shellQuoted (box.dir)).c_str());
        return "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
}

//==============================================================================
TEST (TattleboxWithoutDisplay, HostingGoesOnWithoutTheWindow)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    const auto target = realPath (testPlugins / "tp_basic.so");
    box.answer ({ target });
    const auto run = box.run (shellQuoted (tbhost) + " --blocks 4 " + shellQuoted (box.plugin), {}, "-u DISPLAY");
    ASSERT_EQ (run.status, 0) << describe (run);

    const auto loaded = run.find ("tp_basic.so:Loaded " + target);
    ASSERT_GE (loaded, 0) << describe (run);
    EXPECT_EQ (run.find (std::string ("tp_basic.so:") + noDisplayLine), loaded + 1) << describe (run);
    EXPECT_EQ (std::count_if (run.log.begin(), run.log.end(), [] (auto& l) { return l.rfind ("tp_basic.so:processReplacing(", 0) == 0; }), 4);
    EXPECT_TRUE (run.has ("tp_basic.so:effClose ")) << describe (run);
    EXPECT_TRUE (run.has ("tp_basic.so:Unloaded " + target));
    EXPECT_EQ (run.log.back(), "tp_basic.so:DLL_PROCESS_DETACH");
    EXPECT_NE (box.stateFile().find ("<Tattlebox>"), std::string::npos);
}

TEST (TattleboxWithoutDisplay, WindowShownWhereThereIsADisplay)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs a display";

    Sandbox box;
    box.answer ({ probe });
    const auto run = box.rawHost ("state " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_FALSE (run.has (probeName() + noDisplayLine)) << describe (run);
}

//==============================================================================
TEST (TattleboxRememberTarget, LoadsTheRememberedTargetWithoutAsking)
{
    Sandbox box;
    const auto stateFile = box.pluginDir / "Tattlebox.xml";
    const auto kept = box.dir / "kept" / fs::path (probe).filename();
    fs::create_directories (kept.parent_path());
    fs::copy_file (probe, kept);

    // Ticked, nothing remembered yet: the dialog asks, and the answer is kept.
    writeText (stateFile, stateWithTarget ("", true));
    box.answer ({ kept.string() });
    auto run = box.rawHost ("state " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (box.dialogCalls().size(), 1u);
    EXPECT_NE (box.stateFile().find ("<Target>" + kept.string() + "</Target>"), std::string::npos) << box.stateFile();
    EXPECT_NE (box.stateFile().find ("rememberTarget=\"1\""), std::string::npos) << box.stateFile();

    // The next start-ups load it without a dialog, however often.
    for (int i = 0; i < 2; ++i)
    {
        box.answer ({});
        run = box.rawHost ("state " + shellQuoted (box.plugin));
        ASSERT_EQ (run.status, 0) << describe (run);
        EXPECT_EQ (box.dialogCalls().size(), 1u) << "no further dialog";
        const auto banner = run.find ("Tattlebox.so:Tattlebox - " + box.plugin.string());
        ASSERT_GE (banner, 0) << describe (run);
        EXPECT_EQ (run.log[(std::size_t) banner + 2], "Tattlebox.so:Remembered target " + kept.string());
        EXPECT_EQ (run.log[(std::size_t) banner + 3], kept.filename().string() + ":Loaded " + kept.string());
        EXPECT_TRUE (run.has (kept.filename().string() + ":effClose "));
    }

    // The remembered file is gone: the dialog shows as it always did.
    fs::remove (kept);
    box.answer ({ probe });
    run = box.rawHost ("state " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (box.dialogCalls().size(), 2u);
    EXPECT_FALSE (run.has ("Tattlebox.so:Remembered target " + kept.string()));
    EXPECT_NE (box.stateFile().find ("<Target>" + probe + "</Target>"), std::string::npos) << box.stateFile();
}

TEST (TattleboxRememberTarget, UntickedOrUnloadableTargetsAreNotKept)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    const auto stateFile = box.pluginDir / "Tattlebox.xml";

    // A Target without the option: the dialog asks, and none is written back.
    writeText (stateFile, stateWithTarget (probe, false));
    box.answer ({ probe });
    auto run = box.rawHost ("state " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (box.dialogCalls().size(), 1u);
    EXPECT_EQ (box.stateFile().find ("<Target>"), std::string::npos) << box.stateFile();
    EXPECT_NE (box.stateFile().find ("rememberTarget=\"0\""), std::string::npos) << box.stateFile();

    // A remembered file that no longer loads: its failure lines, no dialog,
    // and it is forgotten, so that the next start-up asks again.
    const auto wrongMagic = realPath (testPlugins / "tp_wrong_magic.so");
    writeText (stateFile, stateWithTarget (wrongMagic, true));
    box.answer ({});
    run = box.rawHost ("failures " + shellQuoted (box.plugin) + " 1");
    EXPECT_EQ (run.status, 0) << describe (run);
    const std::vector<std::string> expected {
        ":DLL_PROCESS_ATTACH", "Tattlebox.so:Tattlebox - " + box.plugin.string(), "<date>",
        "Tattlebox.so:Remembered target " + wrongMagic,
        "tp_wrong_magic.so:Loaded " + wrongMagic, "tp_wrong_magic.so:Wrong Magic, probably not a VST plugin",
        "tp_wrong_magic.so:Unloaded " + wrongMagic, "tp_wrong_magic.so:DLL_PROCESS_DETACH"
    };
    EXPECT_EQ (run.log, expected) << describe (run);
    EXPECT_EQ (box.dialogCalls().size(), 1u);
    EXPECT_EQ (box.stateFile().find ("<Target>"), std::string::npos) << box.stateFile();

    box.answer ({ probe });
    run = box.rawHost ("state " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (box.dialogCalls().size(), 2u);
}

//==============================================================================
// Files planted where Tattlebox looks, with a remembered target where one
// could be read: the session goes on (nothing blocks), the line says what was
// refused, the dialog asks, and the planted thing stays as it was.
TEST (TattleboxHostileFiles, WhatIsPlantedAtTheStateOrLogPathIsRefused)
{
    struct Case
    {
        const char* what;
        // Plants, answers where it planted, and returns the line expected.
        std::function<std::string (const Sandbox&, fs::path& planted)> plant;
        const char* user = ""; // the unprivileged user where set
    };

    const auto remembered = stateWithTarget (probe, true);
    const Case cases[] = {
        { "a FIFO at the log file", [&] (const Sandbox& box, fs::path& planted)
          {
              writeText (box.pluginDir / "Tattlebox.xml", "<Tattlebox><Logger><Parameters logToFile=\"1\"/></Logger></Tattlebox>\n");
              planted = box.pluginDir / "Tattlebox.log";
              EXPECT_EQ (::mkfifo (planted.c_str(), 0644), 0);
              return "Tattlebox.so:Refused log file " + planted.string() + ": not a regular file";
          } },
        { "a FIFO at the state file", [&] (const Sandbox& box, fs::path& planted)
          {
              planted = box.pluginDir / "Tattlebox.xml";
              EXPECT_EQ (::mkfifo (planted.c_str(), 0644), 0);
              return "Tattlebox.so:Refused state file " + planted.string() + ": not a regular file";
          } },
        { "a link at the state file", [&] (const Sandbox& box, fs::path& planted)
          {
              writeText (box.dir / "elsewhere.xml", remembered);
              planted = box.pluginDir / "Tattlebox.xml";
              fs::create_symlink (box.dir / "elsewhere.xml", planted);
              return "Tattlebox.so:Refused state file " + planted.string() + ": a symbolic link";
          } },
        { "a state folder anyone may write into", [&] (const Sandbox& box, fs::path& planted)
          {
              // The library's folder is read-only: the state goes to $XDG_STATE_HOME/tattlebox.
              planted = box.dir / "state" / "tattlebox";
              fs::create_directories (planted);
              writeText (planted / "Tattlebox.xml", remembered);
              EXPECT_TRUE (testsupport::giveToUnprivileged ((planted / "Tattlebox.xml").c_str()));
              EXPECT_TRUE (testsupport::giveToUnprivileged (planted.c_str()));
              fs::permissions (planted, fs::perms::all);
              fs::permissions (box.pluginDir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                                                | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
              return "Tattlebox.so:Refused state folder " + planted.string() + ": writable by others";
          }, "as the user" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        Sandbox box;
        box.answer ({ probe });
        const auto user = *c.user != 0 ? asUser (box) : std::string();
        fs::path planted;
        const auto line = c.plant (box, planted);
        const auto before = fs::symlink_status (planted);

        // An open that waits would hold the host up for good.
        const auto run = box.run ("timeout 60 " + user + shellQuoted (rawHostPath) + " state " + shellQuoted (box.plugin),
                                  "XDG_STATE_HOME=" + shellQuoted (box.dir / "state"));
        fs::permissions (box.pluginDir, fs::perms::all);
        EXPECT_EQ (run.status, 0) << describe (run);
        EXPECT_TRUE (run.has (line)) << describe (run);
        EXPECT_EQ (box.dialogCalls().size(), 1u) << "nothing remembered was read";
        EXPECT_FALSE (run.has ("Tattlebox.so:Remembered target " + probe)) << describe (run);
        EXPECT_EQ (fs::symlink_status (planted).type(), before.type());
    }
}

//==============================================================================
TEST (TattleboxCopies, TwoCopiesHostTwoTargetsAtOnce)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    const auto second = box.pluginDir / "Tattlebox-2.so";
    fs::copy_file (box.plugin, second);
    const auto basic = realPath (testPlugins / "tp_basic.so");
    box.answer ({ probe, basic });
    const auto run = box.rawHost ("copies " + shellQuoted (box.plugin) + " " + shellQuoted (second) + " " + shellQuoted (probe));
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.out.find ("FAIL"), std::string::npos) << run.out;

    // Each copy is a library of its own: its name, its banner, its dialog, its state file.
    EXPECT_TRUE (run.has ("Tattlebox.so:Tattlebox - " + box.plugin.string())) << describe (run);
    EXPECT_TRUE (run.has ("Tattlebox-2.so:Tattlebox - " + second.string())) << describe (run);
    EXPECT_TRUE (run.has (probeName() + "Tattlebox is exiting VST main function with NULL since we are already hosting a plugin"));
    EXPECT_TRUE (run.has (probeName() + "effClose "));
    EXPECT_NE (run.err.find ("tp_basic.so:processReplacing(inputs:"), std::string::npos);
    EXPECT_EQ (std::count (run.log.begin(), run.log.end(), "tp_basic.so:effClose "), 1);
    EXPECT_TRUE (run.has ("tp_basic.so:Unloaded " + basic));

    const auto calls = box.dialogCalls();
    ASSERT_EQ (calls.size(), 2u);
    EXPECT_NE (std::find (calls[0].args.begin(), calls[0].args.end(), "--title=Tattlebox - Please select the plugin to log..."), calls[0].args.end());
    EXPECT_NE (std::find (calls[1].args.begin(), calls[1].args.end(), "--title=Tattlebox-2 - Please select the plugin to log..."), calls[1].args.end());

    EXPECT_NE (box.stateFile().find ("<LastDir>" + fs::path (probe).parent_path().string() + "</LastDir>"), std::string::npos);
    EXPECT_NE (readFile (box.pluginDir / "Tattlebox-2.xml").find ("<LastDir>" + realPath (testPlugins) + "</LastDir>"), std::string::npos);
    EXPECT_EQ (std::count_if (run.log.begin(), run.log.end(), [] (auto& l) { return l.find (":DLL_PROCESS_DETACH") != std::string::npos; }), 2);
}

//==============================================================================
TEST (TattleboxLinks, LinkedLibraryKeepsItsNameAndStateBesideTheLink)
{
    // ~/.vst/Tattlebox.so -> a read-only system folder, as users and packages link plug-ins.
    Sandbox box;
    const auto system = box.dir / "system";
    fs::create_directories (system);
    fs::rename (box.plugin, system / "Tattlebox-real.so");
    fs::create_symlink (system / "Tattlebox-real.so", box.plugin);
    box.answer ({ probe });
    const auto user = asUser (box);
    fs::permissions (system, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                               | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

    const auto run = box.run (user + shellQuoted (rawHostPath) + " state " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.log[1], "Tattlebox.so:Tattlebox - " + box.plugin.string()) << describe (run);
    EXPECT_EQ (run.err.find ("Failed to write logger state"), std::string::npos) << describe (run);
    EXPECT_NE (box.stateFile().find ("<Tattlebox>"), std::string::npos);
    EXPECT_FALSE (fs::exists (system / "Tattlebox-real.xml"));

    const auto calls = box.dialogCalls();
    ASSERT_EQ (calls.size(), 1u);
    EXPECT_NE (std::find (calls[0].args.begin(), calls[0].args.end(), "--title=Tattlebox - Please select the plugin to log..."), calls[0].args.end());
    fs::permissions (system, fs::perms::all);
}

TEST (TattleboxLinks, RelativeLoadPathIsTakenFromTheFolderAtLoadTime)
{
    Sandbox box;
    box.answer ({ probe });
    // tb_rawhost loads "plugins/Tattlebox.so" from the sandbox folder.
    const auto run = box.rawHost ("state plugins/Tattlebox.so");
    ASSERT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.log[1], "Tattlebox.so:Tattlebox - " + realPath (box.plugin)) << describe (run);
    EXPECT_NE (box.stateFile().find ("<Tattlebox>"), std::string::npos);
}

//==============================================================================
TEST (TattleboxExit, HostExitingWithoutCloseWhileTheWindowIsOpen)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs a display for the window";

    // Twenty exits at different moments of the window's life: at once, during
    // the first paints, and with the timer ticking; every other one, as a
    // scanner does, in a second session after a whole first one.
    for (int i = 0; i < 20; ++i)
    {
        Sandbox box;
        box.answer ({ probe, probe });
        const auto wait = std::to_string ((i % 5) * 60);
        const auto run = box.rawHost ("noclose " + shellQuoted (box.plugin) + " " + wait + (i % 2 == 1 ? " second" : ""));
        ASSERT_EQ (run.status, 0) << "exit " << i << " after " << wait << " ms\n" << describe (run);
        ASSERT_FALSE (run.log.empty());
        EXPECT_EQ (run.log.back(), probeName() + "DLL_PROCESS_DETACH") << describe (run);
        if (i % 2 == 1)
            continue; // the first session closed as sessions do

        EXPECT_FALSE (run.has (probeName() + "effClose "));
        EXPECT_FALSE (run.has (probeName() + "Unloaded " + realPath (probe))) << "the target is not closed";
        EXPECT_EQ (box.stateFile(), "") << "no state file without Close";
    }
}

//==============================================================================
namespace
{
    std::string stateWithSinks (bool toDebugOutput, bool toFile)
    {
        return std::string ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tattlebox><Logger><Parameters logToDebugOutput=\"")
               + (toDebugOutput ? "1" : "0") + "\" logToFile=\"" + (toFile ? "1" : "0") + "\"/></Logger></Tattlebox>\n";
    }

    // Tattlebox's own lines on standard error, whole, in order.
    std::string tattleboxLines (const std::string& err)
    {
        static const std::regex line (R"(^(\d\d:\d\d:\d\d\.\d\d\d )?\([0-9A-F]+\) [^:]*:.*$)");
        std::string result;

        for (auto& l : linesOf (err))
            if (std::regex_match (l, line))
                result += l + "\n";

        return result;
    }
}

TEST (TattleboxLogFile, HoldsTheSessionByteForByteAsStandardErrorDoes)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    writeText (box.pluginDir / "Tattlebox.xml", stateWithSinks (true, true));
    const auto target = realPath (testPlugins / "tp_basic.so");
    box.answer ({ target });
    const auto run = box.run (shellQuoted (tbhost) + " --blocks 8 " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);

    // The session runs from its banner to the library's unload line, which
    // reaches the file as every line does; the load line comes before it opens.
    auto expected = tattleboxLines (run.err);
    const auto banner = expected.find ("Tattlebox.so:Tattlebox - ");
    ASSERT_NE (banner, std::string::npos) << run.err;
    expected = expected.substr (expected.rfind ('\n', banner) + 1);

    const auto logged = readFile (box.pluginDir / "Tattlebox.log");
    EXPECT_EQ (logged, expected);
    EXPECT_NE (logged.find ("tp_basic.so:processReplacing("), std::string::npos);
    EXPECT_NE (logged.find ("tp_basic.so:Unloaded " + target + "\n"), std::string::npos);
    const std::string last = "tp_basic.so:DLL_PROCESS_DETACH\n";
    EXPECT_EQ (logged.compare (logged.size() - std::min (logged.size(), last.size()), last.size(), last), 0) << "the unload line last";

    // A second session appends to it.
    box.answer ({ target });
    const auto again = box.run (shellQuoted (tbhost) + " --blocks 1 " + shellQuoted (box.plugin));
    ASSERT_EQ (again.status, 0) << describe (again);
    const auto both = readFile (box.pluginDir / "Tattlebox.log");
    EXPECT_EQ (both.substr (0, logged.size()), logged);
    EXPECT_GT (both.size(), logged.size());
}

TEST (TattleboxLogFile, DebugOutputCanBeSwitchedOffAndAFileThatCannotOpenSaysSo)
{
    REQUIRE_HOST_TOOLS();
    const auto target = realPath (testPlugins / "tp_basic.so");

    {
        Sandbox box;
        writeText (box.pluginDir / "Tattlebox.xml", stateWithSinks (false, true));
        box.answer ({ target });
        const auto run = box.run (shellQuoted (tbhost) + " --blocks 2 " + shellQuoted (box.plugin));
        ASSERT_EQ (run.status, 0) << describe (run);
        EXPECT_EQ (run.log, (std::vector<std::string> { ":DLL_PROCESS_ATTACH" }))
            << "only the load line, written before the state file switched standard error off";
        EXPECT_NE (readFile (box.pluginDir / "Tattlebox.log").find ("tp_basic.so:effClose \n"), std::string::npos);
    }

    {
        // A folder where the file should be: even root cannot open that.
        Sandbox box;
        writeText (box.pluginDir / "Tattlebox.xml", stateWithSinks (true, true));
        fs::create_directories (box.pluginDir / "Tattlebox.log");
        box.answer ({ target });
        const auto run = box.run (shellQuoted (tbhost) + " --blocks 2 " + shellQuoted (box.plugin));
        ASSERT_EQ (run.status, 0) << describe (run);
        ASSERT_GE (run.log.size(), 3u);
        EXPECT_EQ (run.log[1], "Tattlebox.so:Failed to open log file " + (box.pluginDir / "Tattlebox.log").string());
        EXPECT_TRUE (run.has ("tp_basic.so:effClose ")) << "logging goes on";
    }
}

//==============================================================================
namespace
{
    struct DecodedRun
    {
        Run run;
        bool skipped = false;
    };

    // A real plug-in through Tattlebox with "Decode Structures" on or off.
    DecodedRun runDecoded (const std::string& target, bool decode, int blocks = 6)
    {
        DecodedRun result;

        if (! fs::exists (target) || std::getenv ("DISPLAY") == nullptr)
        {
            result.skipped = true;
            return result;
        }

        Sandbox box;
        writeText (box.pluginDir / "Tattlebox.xml",
                   std::string ("<Tattlebox><Logger><Parameters decodeStructures=\"") + (decode ? "1" : "0") + "\"/></Logger></Tattlebox>\n");
        box.answer ({ target });
        result.run = box.run (shellQuoted (tbhost) + " --blocks " + std::to_string (blocks) + " " + shellQuoted (box.plugin));
        return result;
    }

    // The run, or the test is skipped where the plug-in or a display is missing.
    #define DECODED_RUN_OR_SKIP(name, target, decode, blocks, why)   \
        const auto name##Result = runDecoded (target, decode, blocks); \
        if (name##Result.skipped)                                      \
            GTEST_SKIP() << why;                                       \
        const auto& name = name##Result.run;                           \
        ASSERT_EQ (name.status, 0) << describe (name)

    std::vector<std::string> linesWith (const Run& run, const std::string& part)
    {
        std::vector<std::string> found;

        for (auto& l : run.log)
            if (l.find (part) != std::string::npos)
                found.push_back (l);

        return found;
    }
}

TEST (TattleboxDecode, MidiEventsAsAHostSendsThemToASynth)
{
    REQUIRE_HOST_TOOLS();
    DECODED_RUN_OR_SKIP (decoded, "/usr/lib/vst/Kars-vst.so", true, 6, "needs dpf-plugins-vst and a display");
    const auto events = linesWith (decoded, ":effProcessEvents events=");
    ASSERT_GE (events.size(), 4u) << describe (decoded);
    const auto content = [] (const std::string& l) { return l.substr (l.find (" {")); };
    EXPECT_EQ (content (events[0]), " {numEvents=3; midi delta=0 90 3C 64 NoteOn channel=1 key=60 velocity=100; "
                                    "midi delta=0 90 40 64 NoteOn channel=1 key=64 velocity=100; "
                                    "midi delta=0 90 43 64 NoteOn channel=1 key=67 velocity=100}");
    EXPECT_EQ (content (events[1]), " {numEvents=3; midi delta=0 B0 07 64 CC channel=1 number=7 value=100; "
                                    "midi delta=256 90 48 5A NoteOn channel=1 key=72 velocity=90; "
                                    "midi delta=256 E0 00 50 PitchBend channel=1 value=2048}");
    EXPECT_EQ (content (events[2]), " {numEvents=3; sysex delta=0 dumpBytes=6 F0 7E 7F 06 01 F7; "
                                    "midi delta=256 80 48 00 NoteOff channel=1 key=72 velocity=0; "
                                    "midi delta=256 E0 00 40 PitchBend channel=1 value=0}");

    // Off: the lines stay exactly as they always were.
    DECODED_RUN_OR_SKIP (plain, "/usr/lib/vst/Kars-vst.so", false, 6, "");
    const auto plainEvents = linesWith (plain, ":effProcessEvents events=");
    ASSERT_EQ (plainEvents.size(), events.size());

    // The decoded part only follows the line as it always was (pointers differ from run to run).
    const std::regex pointer ("[0-9A-F]{16}");

    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ (std::regex_replace (events[i].substr (0, events[i].find ('{')), pointer, "P"),
                   std::regex_replace (plainEvents[i], pointer, "P"));

    for (auto& l : plain.log)
        EXPECT_EQ (l.find (" {"), std::string::npos) << l;
}

TEST (TattleboxDecode, TransportAsTheHostAnswersTheTimeRequest)
{
    REQUIRE_HOST_TOOLS();
    DECODED_RUN_OR_SKIP (decoded, "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so", true, 3, "needs lsp-plugins-vst and a display");
    const auto requests = linesWith (decoded, ":audioMasterGetTime filter=");
    const auto answers = linesWith (decoded, ":audioMasterGetTime returned");
    ASSERT_FALSE (requests.empty()) << describe (decoded);
    ASSERT_GE (answers.size(), 2u);
    EXPECT_NE (requests[0].find (" {request=ppqPosValid|tempoValid|barsValid|cyclePosValid|timeSigValid}"), std::string::npos)
        << requests[0];
    // tbhost's transport: rolling at 120 bpm in 4/4, one block of 512 samples further each time.
    EXPECT_NE (answers[0].find ("playing|ppqPosValid|tempoValid|barsValid|timeSigValid samplePos=0.000000 sampleRate=44100.000000 "
                                "ppqPos=0.000000 tempo=120.000000 barStartPos=0.000000 timeSig=4/4}"), std::string::npos) << answers[0];
    EXPECT_NE (answers[1].find ("samplePos=512.000000"), std::string::npos) << answers[1];
}

TEST (TattleboxDecode, PinsAndSpeakersMatchWhatThePluginReports)
{
    REQUIRE_HOST_TOOLS();
    DECODED_RUN_OR_SKIP (decoded, "/usr/lib/vst/iem.at/libStereoEncoder.so", true, 2, "needs iem-plugin-suite-vst and a display");
    EXPECT_NE (decoded.out.find ("inputs: 2\n"), std::string::npos);
    EXPECT_NE (decoded.out.find ("outputs: 64\n"), std::string::npos);

    // The channel counts the host sees are the ones the arrangements carry.
    const auto arrangements = linesWith (decoded, ":effGetSpeakerArrangement returned bool=1 {");
    ASSERT_FALSE (arrangements.empty()) << describe (decoded);
    EXPECT_NE (arrangements[0].find ("{input: type=stereo numChannels=2 speakers=L R; output: type=userDefined numChannels=64 "),
               std::string::npos) << arrangements[0];

    const auto inputs = linesWith (decoded, ":effGetInputProperties returned bool=1 {");
    const auto outputs = linesWith (decoded, ":effGetOutputProperties returned bool=1 {");
    ASSERT_FALSE (inputs.empty());
    ASSERT_FALSE (outputs.empty());
    EXPECT_NE (inputs[0].find ("{label=\"Input L\" shortLabel=\"Input L\""), std::string::npos) << inputs[0];
    EXPECT_NE (outputs[0].find ("{label=\"Output 1\""), std::string::npos) << outputs[0];
}

TEST (TattleboxDecode, ParameterPropertiesMatchTheParameterNames)
{
    const std::string target = "/usr/lib/vst/3BandEQ-vst.so";
    const auto tbsession = buildDir / "tbsession";

    if (! fs::exists (target) || ! fs::exists (tbsession) || std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs dpf-plugins-vst, tbsession and a display";

    // tbsession asks for every parameter's properties, as hosts that show them do.
    Sandbox box;
    writeText (box.pluginDir / "Tattlebox.xml", stateWithTarget (target, true).replace (
        stateWithTarget (target, true).find ("rememberTarget"), 0, "decodeStructures=\"1\" "));
    const auto run = box.run (shellQuoted (tbsession) + " --blocks 1 " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);

    const auto names = linesWith (run, ":effGetParamName returned name=");
    const auto properties = linesWith (run, ":effGetParameterProperties returned bool=1 {");
    ASSERT_FALSE (names.empty()) << describe (run);
    ASSERT_EQ (properties.size(), names.size()) << describe (run);

    for (std::size_t i = 0; i < names.size(); ++i)
    {
        const auto name = names[i].substr (names[i].find ("name=") + 5);
        EXPECT_NE (properties[i].find ("{label=\"" + name + "\""), std::string::npos) << properties[i];
    }
}
