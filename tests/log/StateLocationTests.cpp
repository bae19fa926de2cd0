#include "tests/support/Unprivileged.h"
#include "LogCapture.h"
#include "log/StateFile.h"
#include "log/StateLocation.h"

#include <juce_core/juce_core.h>

#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using juce::File;
using juce::String;

// Sets or clears an environment variable for one test and puts it back after.
class ScopedEnvironment
{
public:
    ScopedEnvironment (const char* nameToUse, const char* value) : name (nameToUse)
    {
        if (auto* old = ::getenv (name))
            previous = old;

        hadValue = ::getenv (name) != nullptr;
        value != nullptr ? ::setenv (name, value, 1) : ::unsetenv (name);
    }

    ~ScopedEnvironment()
    {
        hadValue ? ::setenv (name, previous.c_str(), 1) : ::unsetenv (name);
    }

private:
    const char* name;
    std::string previous;
    bool hadValue = false;
};

int modeOf (const File& file)
{
    struct stat info {};
    return ::stat (file.getFullPathName().toRawUTF8(), &info) == 0 ? (int) (info.st_mode & 07777) : -1;
}

// A library folder and a user state folder side by side in a folder of the
// test's own, all of them open to the unprivileged user the children run as.
class StateLocationTest : public CapturingTest
{
protected:
    StateLocationTest() : CapturingTest ("Tattlebox.so") {}

    void SetUp() override
    {
        CapturingTest::SetUp();
        root = File::getSpecialLocation (File::tempDirectory).getNonexistentChildFile ("tb-location-" + juce::String (::getpid()), "", false);
        ASSERT_TRUE (libraryFolder().createDirectory());
        ASSERT_TRUE (stateHome().createDirectory());
        ::chmod (root.getFullPathName().toRawUTF8(), 0755);
        ::chmod (libraryFolder().getFullPathName().toRawUTF8(), 0755);
        ::chmod (stateHome().getFullPathName().toRawUTF8(), 0777);
    }

    void TearDown() override
    {
        ::chmod (libraryFolder().getFullPathName().toRawUTF8(), 0755);
        root.deleteRecursively();
        CapturingTest::TearDown();
    }

    File libraryFolder() const  { return root.getChildFile ("lib"); }
    File stateHome() const      { return root.getChildFile ("state"); }
    File pluginFile() const     { return libraryFolder().getChildFile ("Tattlebox.so"); }
    File fallback() const       { return stateHome().getChildFile ("tattlebox/Tattlebox.xml"); }

    void makeLibraryFolderReadOnly()
    {
        ASSERT_EQ (::chmod (libraryFolder().getFullPathName().toRawUTF8(), 0555), 0);
    }

    File root;
};

// Runs check in a child as nobody (root may write into any folder, so root
// alone could never see a read-only one) with XDG_STATE_HOME set to
// stateHome, and returns what the child reported: empty when every expectation
// held, otherwise the first that failed, and then the lines it logged.
std::string runAsNobody (const File& stateHome, std::function<std::string()> check)
{
    return testsupport::runUnprivileged ([&]
    {
        CapturedLines::take();
        ::setenv ("XDG_STATE_HOME", stateHome.getFullPathName().toRawUTF8(), 1);
        auto report = check();

        for (auto& line : CapturedLines::take())
            report += "\nlogged: " + line;

        return report;
    });
}

std::string expectSame (const File& actual, const File& expected, const char* what)
{
    if (actual == expected)
        return {};

    return std::string (what) + ": " + actual.getFullPathName().toStdString()
             + " instead of " + expected.getFullPathName().toStdString();
}

//==============================================================================
TEST_F (StateLocationTest, WritableFolderKeepsTheFileBesideTheLibrary)
{
    // As root and as an ordinary user alike, and the user state folder is left alone.
    EXPECT_EQ (getStateFile (pluginFile()), libraryFolder().getChildFile ("Tattlebox.xml"));

    ASSERT_EQ (::chmod (libraryFolder().getFullPathName().toRawUTF8(), 0777), 0); // nobody's to write in

    EXPECT_EQ (runAsNobody (stateHome(), [this]
    {
        if (! writeStateFile (pluginFile(), File ("/srv/new")))
            return std::string ("write failed");

        return expectSame (getStateFile (pluginFile()), libraryFolder().getChildFile ("Tattlebox.xml"), "state file");
    }), "");

    EXPECT_TRUE (libraryFolder().getChildFile ("Tattlebox.xml").existsAsFile());
    EXPECT_FALSE (stateHome().getChildFile ("tattlebox").exists());
}

TEST_F (StateLocationTest, ReadOnlyFolderRoundTripsThroughTheUserStateFolder)
{
    // A file beside the library that cannot be replaced is not read either:
    // its settings would come back after every change.
    ASSERT_TRUE (libraryFolder().getChildFile ("Tattlebox.xml")
                   .replaceWithText ("<Tattlebox><LastDir>/srv/beside</LastDir></Tattlebox>"));
    makeLibraryFolderReadOnly();

    EXPECT_EQ (runAsNobody (stateHome(), [this]
    {
        if (auto problem = expectSame (getStateFile (pluginFile()), fallback(), "state file"); ! problem.empty())
            return problem;

        tbLogger.logTime = true;

        if (! writeStateFile (pluginFile(), File ("/srv/new")))
            return std::string ("write failed");

        tbLogger.initialise ("Tattlebox.so");
        File lastDirectory;
        readStateFile (pluginFile(), lastDirectory);

        if (auto problem = expectSame (lastDirectory, File ("/srv/new"), "folder read back"); ! problem.empty())
            return problem;

        return tbLogger.logTime ? std::string() : std::string ("option not read back");
    }), "");

    EXPECT_TRUE (fallback().existsAsFile());
    EXPECT_EQ (modeOf (fallback().getParentDirectory()), 0700);
    EXPECT_EQ (libraryFolder().getNumberOfChildFiles (File::findFilesAndDirectories), 1) << "nothing new beside the library";
}

TEST_F (StateLocationTest, FallbackKeepsTheLibraryNameAndCreatesMissingLevels)
{
    makeLibraryFolderReadOnly();
    const auto deepHome = stateHome().getChildFile ("a/b");

    EXPECT_EQ (runAsNobody (deepHome, [this, deepHome]
    {
        return expectSame (getStateFile (libraryFolder().getChildFile ("Tattlebox-2.so")),
                           deepHome.getChildFile ("tattlebox/Tattlebox-2.xml"), "copy")
             + expectSame (getStateFile (libraryFolder().getChildFile ("a.b.so")),
                           deepHome.getChildFile ("tattlebox/a.b.xml"), "dotted name");
    }), "");

    EXPECT_EQ (modeOf (stateHome().getChildFile ("a")), 0700);
    EXPECT_TRUE (deepHome.getChildFile ("tattlebox").isDirectory());
}

TEST_F (StateLocationTest, UnusableFallbackStaysBesideTheLibrary)
{
    // Neither folder may be written: reading and the failure line keep to the library's folder.
    ASSERT_TRUE (libraryFolder().getChildFile ("Tattlebox.xml")
                   .replaceWithText ("<Tattlebox><LastDir>/srv/beside</LastDir></Tattlebox>"));
    ASSERT_TRUE (testsupport::giveToUnprivileged (libraryFolder().getChildFile ("Tattlebox.xml").getFullPathName().toRawUTF8()));
    makeLibraryFolderReadOnly();
    ASSERT_EQ (::chmod (stateHome().getFullPathName().toRawUTF8(), 0555), 0);

    const auto beside = libraryFolder().getChildFile ("Tattlebox.xml");
    const auto report = runAsNobody (stateHome(), [this, beside]
    {
        File lastDirectory;
        readStateFile (pluginFile(), lastDirectory);

        if (auto problem = expectSame (lastDirectory, File ("/srv/beside"), "folder read"); ! problem.empty())
            return problem;

        return writeStateFile (pluginFile(), File ("/srv/new")) ? std::string ("write succeeded") : std::string();
    });

    // The child's own thread identifier leads the line.
    const auto threadEnd = report.find (") ");
    EXPECT_TRUE (report.rfind ("\nlogged: (", 0) == 0 && threadEnd != std::string::npos) << report;
    EXPECT_EQ (report.substr (threadEnd == std::string::npos ? 0 : threadEnd + 2),
               "Tattlebox.so:Failed to write logger state to " + beside.getFullPathName().toStdString());
    EXPECT_FALSE (stateHome().getChildFile ("tattlebox").exists());
}

// A fallback folder someone else may write into could hold their state file,
// with a target that would be loaded without a dialog: it is not used at
// all, and the defaults apply.
TEST_F (StateLocationTest, AFallbackFolderOthersMayWriteIntoIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving folders to other users needs root";

    struct Case { const char* what; unsigned owner; int mode; const char* reason; };
    const Case cases[] = {
        { "writable by everyone",  testsupport::unprivilegedId, 0777, ": writable by others" },
        { "writable by its group", testsupport::unprivilegedId, 0770, ": writable by others" },
        { "another user's",        0,                           0770, ": owned by another user" },
    };

    makeLibraryFolderReadOnly();
    const auto folder = fallback().getParentDirectory();
    const String planted ("<Tattlebox><LastDir>/srv/planted</LastDir><Target>/srv/planted.so</Target>"
                          "<Logger><Parameters rememberTarget=\"1\"/></Logger></Tattlebox>");

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ASSERT_TRUE (folder.deleteRecursively() && folder.createDirectory());
        ASSERT_TRUE (fallback().replaceWithText (planted));
        ASSERT_TRUE (testsupport::giveToUnprivileged (fallback().getFullPathName().toRawUTF8()));
        ASSERT_EQ (::chown (folder.getFullPathName().toRawUTF8(), c.owner, testsupport::unprivilegedId), 0);
        ASSERT_EQ (::chmod (folder.getFullPathName().toRawUTF8(), (mode_t) c.mode), 0);

        const auto report = runAsNobody (stateHome(), [this]
        {
            if (getStateFile (pluginFile()) != File())
                return std::string ("a state file: ") + getStateFile (pluginFile()).getFullPathName().toStdString();

            File lastDirectory ("/previous"), target;
            readStateFile (pluginFile(), lastDirectory, &target);

            if (lastDirectory != File ("/previous") || target != File() || tbLogger.rememberTarget)
                return std::string ("read: ") + target.getFullPathName().toStdString();

            return writeStateFile (pluginFile(), File ("/srv/new"), File ("/srv/new.so")) ? std::string ("written") : std::string();
        });

        // One line for the read and one for the write, each with the child's thread.
        const auto line = "Tattlebox.so:Refused state folder " + folder.getFullPathName().toStdString() + c.reason;
        const auto lines = juce::StringArray::fromLines (String (report));
        ASSERT_EQ (lines.size(), 3) << report;
        EXPECT_EQ (lines[0], "");

        for (int i = 1; i < 3; ++i)
            EXPECT_TRUE (lines[i].startsWith ("logged: (") && lines[i].fromFirstOccurrenceOf (") ", false, false) == String (line))
                << lines[i];

        EXPECT_EQ (fallback().loadFileAsString(), planted);
    }
}

TEST_F (StateLocationTest, MissingFolderStaysBesideTheLibrary)
{
    // Nothing to fall back from: the failure names the path the user gave.
    const auto missing = libraryFolder().getChildFile ("missing/Tattlebox.so");
    EXPECT_EQ (getStateFile (missing), missing.withFileExtension ("xml"));
    EXPECT_EQ (getStateFile (File()), File());
}

TEST (UserStateFolder, FollowsXdgStateHomeOnlyWhenAbsolute)
{
    const ScopedEnvironment home ("HOME", "/home/someone");

    {
        const ScopedEnvironment xdg ("XDG_STATE_HOME", "/srv/state");
        EXPECT_EQ (getUserStateFolder(), File ("/srv/state"));
    }

    for (auto* ignored : { (const char*) nullptr, "", "relative/state", "~/state" })
    {
        SCOPED_TRACE (ignored == nullptr ? "unset" : ignored);
        const ScopedEnvironment xdg ("XDG_STATE_HOME", ignored);
        EXPECT_EQ (getUserStateFolder(), File ("/home/someone/.local/state"));
    }
}
} // namespace
