// The rules every file Tattlebox opens by name must meet (platform/FileChecks.h),
// for the log file and the state file alike: a symbolic link, a FIFO or
// another user's file planted at the path is refused with a line, and never
// followed, waited on, read or written.
#include "LogCapture.h"
#include "log/LogFile.h"
#include "log/StateFile.h"
#include "tests/support/LoggerState.h"
#include "tests/support/Unprivileged.h"

#include <juce_core/juce_core.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using juce::File;

enum class Planted { link, fifo, foreign };

struct PlantedCase
{
    Planted planted;
    const char* what;
    const char* reason;
};

const PlantedCase plantedCases[] = {
    { Planted::link,    "a symbolic link",     ": a symbolic link" },
    { Planted::fifo,    "a FIFO",              ": not a regular file" },
    { Planted::foreign, "another user's file", ": owned by another user" },
};

bool isSymbolicLink (const File& file)
{
    struct stat info {};
    return ::lstat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISLNK (info.st_mode);
}

bool isFifo (const File& file)
{
    struct stat info {};
    return ::lstat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISFIFO (info.st_mode);
}

// Runs fn on a thread of its own. Where it is still running after ten seconds
// (held up by a FIFO), the FIFO is opened from both ends to let it go, and
// the answer is false.
bool finishesPromptly (const std::function<void()>& fn, const File& fifo)
{
    auto done = std::async (std::launch::async, fn);

    if (done.wait_for (std::chrono::seconds (10)) == std::future_status::ready)
        return true;

    const auto reader = ::open (fifo.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK);
    const auto writer = ::open (fifo.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);
    ::close (writer);
    done.wait();
    ::close (reader);
    return false;
}

// Each case in a folder of its own: at `path` the planted thing; a link
// points to `elsewhere`, whose content must stay as it was.
class FileRulesTest : public CapturingTest
{
protected:
    FileRulesTest() : CapturingTest ("Tattlebox.so") {}

    void SetUp() override
    {
        CapturingTest::SetUp();
        // A FIFO that was followed after all must fail the test, not end it.
        ::signal (SIGPIPE, SIG_IGN);
        root = File::getSpecialLocation (File::tempDirectory).getNonexistentChildFile ("tb-rules-" + juce::String (::getpid()), "", false);
        ASSERT_TRUE (root.createDirectory());
    }

    void TearDown() override
    {
        root.deleteRecursively();
        CapturingTest::TearDown();
    }

    // False (the case is skipped) where it cannot be planted: another
    // user's file needs root.
    bool plant (const PlantedCase& c, const File& path, const juce::String& content)
    {
        folder = path.getParentDirectory();
        elsewhere = folder.getChildFile ("elsewhere");
        EXPECT_TRUE (folder.createDirectory());
        EXPECT_TRUE (elsewhere.replaceWithText (content, false, false, "\n"));
        const auto* name = path.getFullPathName().toRawUTF8();

        switch (c.planted)
        {
            case Planted::link:    EXPECT_EQ (::symlink (elsewhere.getFullPathName().toRawUTF8(), name), 0); break;
            case Planted::fifo:    EXPECT_EQ (::mkfifo (name, 0644), 0); break;
            case Planted::foreign:
                if (::geteuid() != 0)
                    return false;

                EXPECT_TRUE (elsewhere.copyFileTo (path));
                EXPECT_TRUE (testsupport::giveToUnprivileged (name));
                break;
        }

        return true;
    }

    // What was planted is still there, as it was.
    void expectUntouched (const PlantedCase& c, const File& path, const juce::String& content)
    {
        EXPECT_EQ (elsewhere.loadFileAsString(), content);

        switch (c.planted)
        {
            case Planted::link:    EXPECT_TRUE (isSymbolicLink (path)); break;
            case Planted::fifo:    EXPECT_TRUE (isFifo (path)); break;
            case Planted::foreign: EXPECT_EQ (path.loadFileAsString(), content); break;
        }
    }

    static std::string refusal (const char* kind, const File& path, const PlantedCase& c)
    {
        return "Tattlebox.so:Refused " + std::string (kind) + " " + path.getFullPathName().toStdString() + c.reason;
    }

    // The lines captured since the last call, without their thread
    // identifiers (the reads run on threads of their own).
    static std::vector<std::string> takeTexts()
    {
        auto lines = CapturedLines::take();

        for (auto& line : lines)
            line.erase (0, line.find (") ") + 2);

        return lines;
    }

    File root, folder, elsewhere;
};

TEST_F (FileRulesTest, TheLogFileRefusesWhatIsPlantedAtItsPath)
{
    int i = 0;

    for (const auto& c : plantedCases)
    {
        SCOPED_TRACE (c.what);
        const auto path = root.getChildFile (juce::String (i++)).getChildFile ("Tattlebox.log");
        const juce::String content ("someone else's lines\n");

        if (! plant (c, path, content))
            continue;

        LogFile file;
        file.setPlace (path);
        bool opened = true;
        EXPECT_TRUE (finishesPromptly ([&] { opened = file.openAtPlace(); }, path)) << "the open waited";
        EXPECT_FALSE (opened);
        file.write ("goes nowhere", 12);
        file.close();

        EXPECT_EQ (takeTexts(), std::vector<std::string> { refusal ("log file", path, c) });
        expectUntouched (c, path, content);
    }
}

TEST_F (FileRulesTest, TheStateFileRefusesWhatIsPlantedAtItsPathAndTheDefaultsApply)
{
    const juce::String content ("<Tattlebox><LastDir>/srv/planted</LastDir><Target>/srv/planted.so</Target>"
                                "<Logger><Parameters rememberTarget=\"1\" logTime=\"1\" logToFile=\"1\"/></Logger></Tattlebox>");
    const auto defaults = testsupport::flagsAndOptions();
    int i = 0;

    for (const auto& c : plantedCases)
    {
        SCOPED_TRACE (c.what);
        const auto pluginFile = root.getChildFile (juce::String (i++)).getChildFile ("Tattlebox.so");
        const auto path = pluginFile.withFileExtension ("xml");

        if (! plant (c, path, content))
            continue;

        File lastDirectory ("/previous"), target;
        EXPECT_TRUE (finishesPromptly ([&] { readStateFile (pluginFile, lastDirectory, &target); }, path))
            << "the read waited";
        EXPECT_EQ (lastDirectory, File ("/previous"));
        EXPECT_EQ (target, File());
        EXPECT_EQ (testsupport::flagsAndOptions(), defaults);

        EXPECT_FALSE (writeStateFile (pluginFile, File ("/srv/new"), File ("/srv/new.so")));
        EXPECT_EQ (takeTexts(), std::vector<std::string> (2, refusal ("state file", path, c)))
            << "one line for the read, one for the write";
        expectUntouched (c, path, content);
        EXPECT_EQ (folder.getNumberOfChildFiles (File::findFilesAndDirectories), 2) << "no temporary file left";
    }
}
} // namespace
