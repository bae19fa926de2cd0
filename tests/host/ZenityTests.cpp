// The scripted zenity, answering JUCE's real file chooser (through a small
// probe program) and called directly for what the chooser never sends.
#include "tests/support/BuildTree.h"
#include "tests/support/Processes.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{
const std::string fakeZenity = (buildDir / "fakebin" / "zenity").string();
const std::string probe = TB_CHOOSER_PROBE;

std::string pathWithFakeBin()
{
    const char* path = std::getenv ("PATH");
    return (buildDir / "fakebin").string() + ":" + (path != nullptr ? path : "/usr/bin:/bin");
}

std::vector<std::string> lines (const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in (text);

    for (std::string line; std::getline (in, line);)
        result.push_back (line);

    return result;
}
} // namespace

TEST (ScriptedZenity, AnswersJuceChooserAndRecordsTitlePatternAndFolder)
{
    TempFolder temp;
    const auto start = std::filesystem::canonical (temp.path);
    std::filesystem::create_directory (start / "plugins dir");
    const auto folder = start / "plugins dir";
    const auto log = temp / "zenity.log";

    const auto r = runProcess ({ probe, "Tattlebox - Please select the plugin to log...", folder.string(), "*.so", "1" },
                               { { "PATH", pathWithFakeBin() }, { "TB_ZENITY_LOG", log.string() },
                                 { "TB_ZENITY_ANSWER", "/usr/lib/vst/Some Plugin.so" } });

    ASSERT_EQ (r.exitStatus, 0) << r.err;
    EXPECT_EQ (r.out, "chosen: /usr/lib/vst/Some Plugin.so\n");

    const auto record = lines (readFile (log));
    ASSERT_FALSE (record.empty());
    EXPECT_EQ (record.front(), "cwd: " + folder.string());
    EXPECT_EQ (record.back(), "end");
    const std::vector<std::string> args (record.begin() + 1, record.end() - 1);
    EXPECT_EQ (args.front(), "arg: --file-selection");
    EXPECT_NE (std::find (args.begin(), args.end(), "arg: --title=Tattlebox - Please select the plugin to log..."), args.end());
    EXPECT_NE (std::find (args.begin(), args.end(), "arg: --file-filter=*.so"), args.end());
}

TEST (ScriptedZenity, AnswersFileIsConsumedInOrderAndCancelsWhenEmpty)
{
    TempFolder temp;
    const auto answers = temp / "answers";
    const auto log = temp / "zenity.log";
    std::ofstream (answers) << "/tmp/first.so\nCANCEL\n\n/tmp/fourth.so\n";

    const auto r = runProcess ({ probe, "T", temp.path.string(), "*.so", "5" },
                               { { "PATH", pathWithFakeBin() }, { "TB_ZENITY_LOG", log.string() },
                                 { "TB_ZENITY_ANSWERS", answers.string() },
                                 { "TB_ZENITY_ANSWER", "/tmp/ignored.so" } });

    ASSERT_EQ (r.exitStatus, 0) << r.err;
    EXPECT_EQ (r.out, "chosen: /tmp/first.so\ncancelled\ncancelled\nchosen: /tmp/fourth.so\ncancelled\n");
    EXPECT_EQ (readFile (answers), "");

    const auto record = lines (readFile (log));
    EXPECT_EQ (std::count (record.begin(), record.end(), "end"), 5);
}

TEST (ScriptedZenity, DirectCallsRecordArgumentsVerbatim)
{
    TempFolder temp;
    const auto log = temp / "zenity.log";

    auto r = runProcess ({ fakeZenity, "--title=two  spaces", "", "-x" },
                         { { "TB_ZENITY_LOG", log.string() }, { "TB_ZENITY_ANSWER", "relative.so" } }, temp.path);
    EXPECT_EQ (r.exitStatus, 0);
    EXPECT_EQ (r.out, "relative.so\n");
    EXPECT_EQ (readFile (log), "cwd: " + std::filesystem::canonical (temp.path).string()
                                   + "\narg: --title=two  spaces\narg: \narg: -x\nend\n");

    // No answer at all, an empty one, or CANCEL: nothing printed, status 1.
    for (const char* answer : { "", "CANCEL" })
    {
        r = runProcess ({ fakeZenity }, { { "TB_ZENITY_ANSWER", answer }, { "TB_ZENITY_LOG", "" } });
        EXPECT_EQ (r.exitStatus, 1);
        EXPECT_TRUE (r.out.empty());
    }

    // An answers file that does not exist leaves the single answer in charge.
    r = runProcess ({ fakeZenity }, { { "TB_ZENITY_ANSWERS", (temp / "none").string() }, { "TB_ZENITY_ANSWER", "/a.so" } });
    EXPECT_EQ (r.exitStatus, 0);
    EXPECT_EQ (r.out, "/a.so\n");
}
