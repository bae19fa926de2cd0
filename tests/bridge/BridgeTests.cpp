// End-to-end tests of Tattlebox.so: loaded by a bare host of our own
// (tb_rawhost, exact pointer checks) and by a JUCE host (tbhost), with the
// file dialog answered by the scripted zenity. Every run is a process of its
// own with a private copy of the library, so its state file starts empty.
#include "Sandbox.h"

TEST (TattleboxLibrary, ExportsOnlyTheTwoEntryNamesAndNothingOfJuce)
{
    const auto library = shellQuoted (buildDir / "Tattlebox.so");
    const auto defined = commandOutput ("nm -D --defined-only " + library);
    std::vector<std::string> names;

    for (auto& line : linesOf (defined))
        names.push_back (line.substr (line.rfind (' ') + 1));

    std::sort (names.begin(), names.end());
    EXPECT_EQ (names, (std::vector<std::string> { "VSTPluginMain", "main" })) << defined;
    EXPECT_EQ (commandOutput ("nm -DC " + library).find ("juce"), std::string::npos);
}

//==============================================================================
TEST (TattleboxSession, LogsTheWholeSessionThroughAJuceHost)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    const auto target = realPath (testPlugins / "tp_basic.so");
    box.answer ({ target });
    const auto run = box.run (shellQuoted (tbhost) + " --blocks 2 " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);

    const auto path = realPath (box.plugin);
    ASSERT_GE (run.log.size(), 6u) << describe (run);
    EXPECT_EQ (run.log[0], ":DLL_PROCESS_ATTACH");
    EXPECT_EQ (run.log[1], "Tattlebox.so:Tattlebox - " + path);
    EXPECT_EQ (run.log[2], "<date>") << run.err;
    EXPECT_EQ (run.log[3], "tp_basic.so:Loaded " + target);
    EXPECT_EQ (run.log[4], "tp_basic.so:effIdentify ");

    const auto close = run.find ("tp_basic.so:effClose ");
    ASSERT_GT (close, 4) << describe (run);
    EXPECT_GT (run.find ("tp_basic.so:effOpen "), 4);
    EXPECT_GT (run.find ("tp_basic.so:effGetParamName returned name=Gain"), 4);
    EXPECT_NE (run.err.find ("tp_basic.so:processReplacing(inputs:"), std::string::npos);
    EXPECT_NE (run.err.find ("tp_basic.so:setParameter(index: 0, parameter: 0.250000)"), std::string::npos);

    // Close has no return line; the target is unloaded at once; the library's unload line ends the log.
    ASSERT_EQ (run.log.size(), (std::size_t) close + 3) << describe (run);
    EXPECT_EQ (run.log[(std::size_t) close + 1], "tp_basic.so:Unloaded " + target);
    EXPECT_EQ (run.log[(std::size_t) close + 2], "tp_basic.so:DLL_PROCESS_DETACH");

    // The dialog: title from the library's name, the platform's pattern, the documents folder.
    const auto calls = box.dialogCalls();
    ASSERT_EQ (calls.size(), 1u);
    EXPECT_EQ (calls[0].cwd, realPath (box.home / "Documents"));
    const auto& args = calls[0].args;
    EXPECT_NE (std::find (args.begin(), args.end(), "--title=Tattlebox - Please select the plugin to log..."), args.end());
    EXPECT_NE (std::find (args.begin(), args.end(), "--file-filter=*.so"), args.end());

    // The state file beside the library, pointing at the target's folder.
    EXPECT_NE (box.stateFile().find ("<LastDir>" + realPath (testPlugins) + "</LastDir>"), std::string::npos) << box.stateFile();
}

TEST (TattleboxSession, TargetCallbacksDuringItsEntryAreLoggedAndAnswered)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    const auto target = realPath (testPlugins / "tp_entry_callbacks.so");
    box.answer ({ target, target, target });
    // Three cycles: each later entry calls back before the new wrapper exists.
    const auto run = box.run (shellQuoted (tbhost) + " --blocks 1 --cycles 3 " + shellQuoted (box.plugin));
    ASSERT_EQ (run.status, 0) << describe (run);

    const auto loaded = run.find ("tp_entry_callbacks.so:Loaded " + target);
    ASSERT_GE (loaded, 0) << describe (run);
    EXPECT_EQ (run.log[(std::size_t) loaded + 1], "tp_entry_callbacks.so:audioMasterVersion ");
    EXPECT_EQ (run.log[(std::size_t) loaded + 2].rfind ("tp_entry_callbacks.so:audioMasterVersion returned version=", 0), 0u);
    EXPECT_EQ (run.log[(std::size_t) loaded + 3], "tp_entry_callbacks.so:audioMasterCurrentId ");
    EXPECT_EQ (std::count (run.log.begin(), run.log.end(), "tp_entry_callbacks.so:Unloaded " + target), 3);
}

//==============================================================================
TEST (TattleboxBridge, PointersAndValuesCrossUnchanged)
{
    Sandbox box;
    box.answer ({ probe });
    const auto run = box.rawHost ("pointers " + shellQuoted (box.plugin) + " " + shellQuoted (probe));
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.out.find ("FAIL"), std::string::npos) << run.out;

    const auto name = fs::path (probe).filename().string() + ":";
    const auto loaded = run.find (name + "Loaded " + realPath (probe));
    ASSERT_GE (loaded, 0) << describe (run);
    // The callback inside the entry is logged, with the host's answer.
    EXPECT_EQ (run.log[(std::size_t) loaded + 1], name + "audioMasterVersion ");
    EXPECT_EQ (run.log[(std::size_t) loaded + 2], name + "audioMasterVersion returned version=2400 ");

    // Opcodes 77 and -1 reach the target (checked by the host) but leave no line.
    const auto blockSize = std::find_if (run.log.begin(), run.log.end(), [&] (auto& l)
                                         { return l.rfind (name + "effSetBlockSizeAndSampleRate ", 0) == 0; }) - run.log.begin();
    ASSERT_LT ((std::size_t) blockSize + 1, run.log.size()) << describe (run);
    EXPECT_EQ (run.log[(std::size_t) blockSize + 1].rfind (name + "process(", 0), 0u) << describe (run);

    // audioMaster opcode 50 reaches the host but leaves no line between its dispatcher call and return.
    std::vector<std::ptrdiff_t> vendor;

    for (std::size_t i = 0; i < run.log.size(); ++i)
        if (run.log[i].rfind (name + "effVendorSpecific", 0) == 0)
            vendor.push_back ((std::ptrdiff_t) i);

    ASSERT_EQ (vendor.size(), 4u) << describe (run);
    EXPECT_EQ (vendor[1] - vendor[0], 2);  // audioMasterAutomate in between (no return line)
    EXPECT_EQ (vendor[3] - vendor[2], 1);  // opcode 50: nothing
    EXPECT_GE (run.find (name + "effClose "), 0);
    EXPECT_NE (box.stateFile().find ("<Tattlebox>"), std::string::npos);
}

TEST (TattleboxBridge, SecondMainIsRefusedAndMainAfterCloseStartsOver)
{
    Sandbox box;
    box.answer ({ probe, probe, "CANCEL" });
    const auto run = box.rawHost ("sequence " + shellQuoted (box.plugin));
    EXPECT_EQ (run.status, 0) << describe (run);

    const auto name = fs::path (probe).filename().string() + ":";
    const auto refusal = name + "Tattlebox is exiting VST main function with NULL since we are already hosting a plugin";
    const auto at = run.find (refusal);
    ASSERT_GE (at, 0) << describe (run);
    // Only its line: right after the first start-up, right before the next call.
    EXPECT_EQ (run.log[(std::size_t) at - 1], name + "audioMasterVersion returned version=2400 ");
    EXPECT_EQ (run.log[(std::size_t) at + 1], name + "effClose ");
    EXPECT_EQ (std::count (run.log.begin(), run.log.end(), "Tattlebox.so:Tattlebox - " + realPath (box.plugin)), 3);
    EXPECT_EQ (run.log.back(), "Tattlebox.so:DLL_PROCESS_DETACH");

    // Each later dialog opens in the folder of the file chosen before.
    const auto calls = box.dialogCalls();
    ASSERT_EQ (calls.size(), 3u);
    EXPECT_EQ (calls[0].cwd, realPath (box.home / "Documents"));
    EXPECT_EQ (calls[1].cwd, realPath (fs::path (probe).parent_path()));
    EXPECT_EQ (calls[2].cwd, realPath (fs::path (probe).parent_path()));
}

TEST (TattleboxBridge, EveryFailedLoadWritesItsLinesAndReturnsNull)
{
    REQUIRE_HOST_TOOLS();
    Sandbox box;
    const auto notALibrary = box.dir / "notalib.so";
    std::ofstream (notALibrary) << "not a library\n";
    const auto p = [] (const char* name) { return realPath (testPlugins / name); };
    box.answer ({ "CANCEL", notALibrary.string(), p ("tp_no_entry.so"), p ("tp_null_record.so"), p ("tp_wrong_magic.so") });
    const auto run = box.rawHost ("failures " + shellQuoted (box.plugin) + " 5");
    EXPECT_EQ (run.status, 0) << describe (run);

    const auto banner = "Tattlebox.so:Tattlebox - " + realPath (box.plugin);
    const auto n = notALibrary.string();
    const std::vector<std::string> expected {
        ":DLL_PROCESS_ATTACH",
        banner, "<date>", "Tattlebox.so:No plugin was selected",
        banner, "<date>", "notalib.so:Failed to load " + n, "notalib.so:Failed to get VST main function", "notalib.so:Unloaded " + n,
        banner, "<date>", "tp_no_entry.so:Loaded " + p ("tp_no_entry.so"), "tp_no_entry.so:Failed to get VST main function",
            "tp_no_entry.so:Unloaded " + p ("tp_no_entry.so"),
        banner, "<date>", "tp_null_record.so:Loaded " + p ("tp_null_record.so"), "tp_null_record.so:Unloaded " + p ("tp_null_record.so"),
        banner, "<date>", "tp_wrong_magic.so:Loaded " + p ("tp_wrong_magic.so"),
            "tp_wrong_magic.so:Wrong Magic, probably not a VST plugin", "tp_wrong_magic.so:Unloaded " + p ("tp_wrong_magic.so"),
        "tp_wrong_magic.so:DLL_PROCESS_DETACH"
    };
    EXPECT_EQ (run.log, expected) << describe (run);
    EXPECT_NE (box.stateFile().find ("<LastDir>" + realPath (testPlugins) + "</LastDir>"), std::string::npos);
}

TEST (TattleboxBridge, CancelWritesTheStateFileWithTheDialogsFolder)
{
    // The folder browsed last is gone: the dialog opens in the documents folder instead.
    Sandbox box ("Spy.so");
    std::ofstream (box.pluginDir / "Spy.xml") << "<Tattlebox><LastDir>" << (box.dir / "gone").string() << "</LastDir></Tattlebox>\n";
    box.answer ({ "CANCEL" });
    const auto run = box.rawHost ("failures " + shellQuoted (box.plugin) + " 1");
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_TRUE (run.has ("Spy.so:Tattlebox - " + realPath (box.plugin))) << describe (run);
    EXPECT_TRUE (run.has ("Spy.so:No plugin was selected"));

    const auto calls = box.dialogCalls();
    ASSERT_EQ (calls.size(), 1u);
    EXPECT_EQ (calls[0].cwd, realPath (box.home / "Documents"));
    const auto& args = calls[0].args;
    EXPECT_NE (std::find (args.begin(), args.end(), "--title=Spy - Please select the plugin to log..."), args.end());
    EXPECT_NE (box.stateFile().find ("<LastDir>" + (box.home / "Documents").string() + "</LastDir>"), std::string::npos)
        << box.stateFile();
}

TEST (TattleboxBridge, DialogLeavesWorkingFolderAndEnvironmentAlone)
{
    Sandbox box;
    box.answer ({ probe });
    auto run = box.run (shellQuoted (rawHostPath) + " state " + shellQuoted (box.plugin), "WINDOWID=777");
    EXPECT_EQ (run.status, 0) << describe (run);
    box.answer ({ probe });
    run = box.run (shellQuoted (rawHostPath) + " state " + shellQuoted (box.plugin), {}, "-u WINDOWID");
    EXPECT_EQ (run.status, 0) << describe (run);
}

TEST (TattleboxBridge, NoDialogAtAllCountsAsCancelled)
{
    // Neither zenity nor a display: the framework's own dialog cannot be shown.
    Sandbox box;
    const auto run = box.run (shellQuoted (rawHostPath) + " failures " + shellQuoted (box.plugin) + " 1",
                              "PATH=/nonexistent", "-u DISPLAY");
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_TRUE (run.has ("Tattlebox.so:No plugin was selected")) << describe (run);
}

TEST (TattleboxBridge, FrameworksOwnDialogRunsWhenThereIsNoZenity)
{
    if (std::getenv ("DISPLAY") == nullptr || std::system ("xdotool version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs a display and xdotool";

    // The host runs in the background; the dialog is found by its title and cancelled.
    Sandbox box;
    std::ofstream (box.dir / "cancel.sh")
        << shellQuoted (rawHostPath) << " failures " << shellQuoted (box.plugin) << " 1 &\n"
        << "for i in $(seq 100); do\n"
        << "  w=$(xdotool search --name 'Tattlebox - Please select the plugin to log' | head -n 1)\n"
        << "  [ -n \"$w\" ] && break; sleep 0.1\n"
        << "done\n"
        << "echo \"window: $w\"\n"
        << "xdotool key --window \"$w\" Escape\n"
        << "wait $!\n";
    const auto run = box.run ("sh cancel.sh", "PATH=/usr/bin:/bin");
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.out.find ("window: \n"), std::string::npos) << describe (run);
    EXPECT_TRUE (run.has ("Tattlebox.so:No plugin was selected")) << describe (run);
}

TEST (TattleboxBridge, HostExitingWithoutCloseEndsCleanly)
{
    Sandbox box;
    box.answer ({ probe });
    const auto run = box.rawHost ("noclose " + shellQuoted (box.plugin));
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.log.back(), fs::path (probe).filename().string() + ":DLL_PROCESS_DETACH") << describe (run);
}

TEST (TattleboxBridge, HostUnloadingWithoutCloseLeavesTheLibraryInPlace)
{
    Sandbox box;
    box.answer ({ probe });
    const auto run = box.rawHost ("unload " + shellQuoted (box.plugin));
    EXPECT_EQ (run.status, 0) << describe (run);
}

TEST (TattleboxBridge, HundredCyclesLeaveNoThreadNoLeakAndUnload)
{
    Sandbox box;
    const auto run = box.run (shellQuoted (rawHostPath) + " cycles " + shellQuoted (box.plugin) + " 100 " + shellQuoted (probe),
                              "TB_ZENITY_ANSWER=" + shellQuoted (probe) + " TB_ZENITY_LOG=");
    EXPECT_EQ (run.status, 0) << describe (run);
    EXPECT_EQ (run.out.find ("FAIL"), std::string::npos) << run.out;
}

TEST (TattleboxBridge, NoMemoryErrorOrLeakUnderValgrind)
{
    if (std::system ("valgrind --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "valgrind not installed";

    const std::string valgrind = "valgrind -q --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite ";
    Sandbox box;
    box.answer ({ probe });
    auto run = box.run (valgrind + shellQuoted (rawHostPath) + " pointers " + shellQuoted (box.plugin) + " " + shellQuoted (probe));
    EXPECT_EQ (run.status, 0) << describe (run);
    box.answer (std::vector<std::string> (5, probe));
    run = box.run (valgrind + shellQuoted (rawHostPath) + " cycles " + shellQuoted (box.plugin) + " 5 " + shellQuoted (probe));
    EXPECT_EQ (run.status, 0) << describe (run);
}

//==============================================================================
// The host gets through Tattlebox exactly what it gets from the target itself.
class Transparency : public ::testing::TestWithParam<std::string> {};

// A parameter is a plug-in, then tbhost's own switches after a blank.
TEST_P (Transparency, SameAudioAndSummary)
{
    REQUIRE_HOST_TOOLS();
    const auto blank = GetParam().find (' ');
    const auto name = GetParam().substr (0, blank);
    const auto switches = blank == std::string::npos ? std::string() : GetParam().substr (blank);
    const fs::path target = name.front() == '/' ? fs::path (name) : testPlugins / name;

    if (! fs::exists (target))
        GTEST_SKIP() << target << " not installed";

    if (target.parent_path() != testPlugins && std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "real plug-ins need a display";

    Sandbox box;
    box.answer ({ target.string() });
    const auto direct = box.run (shellQuoted (tbhost) + switches + " --blocks 8 --dump-audio direct.raw " + shellQuoted (target));
    ASSERT_EQ (direct.status, 0) << describe (direct);
    const auto bridged = box.run (shellQuoted (tbhost) + switches + " --blocks 8 --dump-audio bridged.raw " + shellQuoted (box.plugin));
    ASSERT_EQ (bridged.status, 0) << describe (bridged);

    EXPECT_EQ (direct.out, bridged.out);
    const auto a = readFile (box.dir / "direct.raw"), b = readFile (box.dir / "bridged.raw");
    EXPECT_GT (a.size(), 0u);
    EXPECT_TRUE (a == b) << "audio differs: " << a.size() << " and " << b.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P (Targets, Transparency,
                          ::testing::Values ("tp_basic.so", "tp_no_replacing.so", "tp_thread_callback.so", "tp_io_change.so",
                                             "tp_double.so --double",
                                             "/usr/lib/vst/3BandEQ-vst.so", "/usr/lib/vst/MVerb-vst.so",
                                             "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so"),
                          [] (const auto& info) { return "Target" + std::to_string (info.index); });
