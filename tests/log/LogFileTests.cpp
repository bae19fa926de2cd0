// The log file: one write per line, the switch to a new file at the size
// limit without a line lost or cut, and a file that cannot be opened.
#include "LogCapture.h"
#include "log/LogFile.h"

#include <juce_core/juce_core.h>

#include <thread>
#include <unistd.h>

namespace
{
    class LogFileTest : public CapturingTest
    {
    protected:
        LogFileTest() : CapturingTest ("Synth.so") {}

        void SetUp() override
        {
            CapturingTest::SetUp();
            folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                         .getNonexistentChildFile ("tb-logfile-" + juce::String (::getpid()), "", false);
            ASSERT_TRUE (folder.createDirectory());
        }

        void TearDown() override
        {
            file.close();
            folder.deleteRecursively();
            CapturingTest::TearDown();
        }

        juce::File folder;
        LogFile file;
    };
}

TEST_F (LogFileTest, AppendsEachLineWithItsLineFeed)
{
    const auto path = folder.getChildFile ("Tattlebox.log");
    ASSERT_TRUE (path.replaceWithText ("an earlier session\n", false, false, "\n"));
    ASSERT_TRUE (file.open (path));
    file.write ("first", 5);
    file.write ("second line", 11);
    file.close();
    EXPECT_EQ (path.loadFileAsString(), "an earlier session\nfirst\nsecond line\n");
}

TEST_F (LogFileTest, StartsANewFileAtTheLimitWithoutLosingOrCuttingALine)
{
    const auto path = folder.getChildFile ("Tattlebox.log");
    const auto previous = folder.getChildFile ("Tattlebox.log.1");
    ASSERT_TRUE (previous.replaceWithText ("an older one, replaced\n", false, false, "\n"));
    // About 31 KB in all: one switch at 20 KB.
    file.setSizeLimit (20000);
    ASSERT_TRUE (file.open (path));

    // Four threads at once, so that some write while the file is switched.
    constexpr int threads = 4, linesEach = 200;
    std::vector<std::thread> writers;

    for (int t = 0; t < threads; ++t)
        writers.emplace_back ([this, t]
        {
            for (int i = 0; i < linesEach; ++i)
            {
                const auto line = "thread " + std::to_string (t) + " line " + std::to_string (i) + " " + std::string (20, 'x');
                file.write (line.data(), line.size());
            }
        });

    for (auto& w : writers)
        w.join();

    file.close();

    // Every line is in one of the two files, whole.
    EXPECT_FALSE (previous.loadFileAsString().contains ("replaced"));
    EXPECT_GE (previous.getSize(), 20000);
    EXPECT_LT (path.getSize(), 20000);
    juce::StringArray all;
    all.addLines (previous.loadFileAsString());
    all.addLines (path.loadFileAsString());
    all.removeEmptyStrings();
    EXPECT_EQ (all.size(), threads * linesEach);

    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < linesEach; ++i)
            EXPECT_TRUE (all.contains ("thread " + juce::String (t) + " line " + juce::String (i) + " "
                                       + juce::String::repeatedString ("x", 20))) << t << " " << i;
}

TEST_F (LogFileTest, AFileThatCannotBeOpenedSaysSoAndLoggingGoesOn)
{
    // A folder where the file should be: nobody can open that for writing.
    const auto path = folder.getChildFile ("Tattlebox.log");
    ASSERT_TRUE (path.createDirectory());
    file.setPlace (path);

    EXPECT_FALSE (file.openAtPlace());
    EXPECT_FALSE (file.isOpen());
    file.write ("goes nowhere", 12);
    tbLogger.logLine ("still logged");

    const auto lines = CapturedLines::take();
    ASSERT_EQ (lines.size(), 2u);
    EXPECT_EQ (lines[0], threadPrefix() + "Synth.so:Failed to open log file " + path.getFullPathName().toStdString());
    EXPECT_EQ (lines[1], threadPrefix() + "Synth.so:still logged");
}
