// The log file: one write per line, the switch to a new file at the size
// limit without a line lost or cut, a switch that fails, two writers sharing
// the file, a writer held up at Close, and a file that cannot be opened.
// (What is refused at the path: FileRulesTests.cpp.)
#include "LogCapture.h"
#include "log/BackgroundWriter.h"
#include "log/LogFile.h"

#include <juce_core/juce_core.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// A writer held up inside AppendFile::append, between taking the handle and
// its write: counted in, as append counts itself.
struct StalledWriter
{
    explicit StalledWriter (AppendFile& f) : file (f)
    {
        file.writers.fetch_add (1);
        handle = (int) file.handle.load();
    }

    // Goes on with its write through the handle it took, and leaves.
    bool resume (const char* text)
    {
        const auto written = ::write (handle, text, std::strlen (text));
        file.writers.fetch_sub (1);
        return written == (ssize_t) std::strlen (text);
    }

    AppendFile& file;
    int handle = -1;
};

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
            backgroundWriter.stop();
            tbLogger.logToFile = false;
            logFile.close();
            logFile.setSizeLimit (LogFile::defaultSizeLimit);
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

// Through the logger, written by the caller's thread or by the background
// writer in batches (up to 64 KB in one write, so there the limit is larger).
TEST_F (LogFileTest, AFailedSwitchBacksOffAndTheFileStopsAtTwiceTheLimitSayingSoOnce)
{
    // resumeLines: a round after the name is free, two of them less than the limit.
    struct Case { const char* writer; bool background; std::int64_t limit; int lines, resumeLines, triedAtLeast; std::int64_t batch; };
    const Case cases[] = {
        { "the caller's thread",   false, 8000,   2000,  50,   9, 0 },
        { "the background writer", true,  200000, 20000, 1000, 2, 64 * 1024 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.writer);
        // A folder where the old file should go: every rename fails.
        const auto path = folder.getChildFile (juce::String (c.background ? "background" : "caller") + ".log");
        const auto previous = path.getSiblingFile (path.getFileName() + ".1");
        ASSERT_TRUE (previous.getChildFile ("inside").create());
        logFile.setSizeLimit (c.limit);
        ASSERT_TRUE (logFile.open (path));
        tbLogger.logToFile = true;

        if (c.background)
        {
            ASSERT_TRUE (backgroundWriter.start());
        }

        // About six times the limit: the writer gets every line (a ring's
        // worth behind at most), and stops.
        auto writeLines = [&] (int from, int count)
        {
            for (int i = from; i < from + count; ++i)
            {
                tbLogger.logLine (("line " + std::to_string (i) + " " + std::string (30, 'x')).c_str());

                while (backgroundWriter.isRunning() && backgroundWriter.backlog() > LineRing::numSlots / 2)
                    std::this_thread::yield();
            }

            if (c.background)
                backgroundWriter.stop();
        };

        writeLines (0, c.lines);
        auto lines = CapturedLines::take();
        std::int64_t offered = 0;
        std::size_t longest = 0;

        for (auto& line : lines)
        {
            offered += (std::int64_t) line.size() + 1;
            longest = std::max (longest, line.size() + 1);
        }

        // Tried at the limit and after each further eighth of it, not at every line.
        EXPECT_GE (logFile.getSwitchesTried(), c.triedAtLeast);
        EXPECT_LE (logFile.getSwitchesTried(), offered / (c.limit / 8) + 1) << "of " << lines.size() << " lines";
        // At most the write that crossed it, and the line that says so.
        EXPECT_LE (path.getSize(), 2 * c.limit + std::max (c.batch, (std::int64_t) longest) + (std::int64_t) longest);

        const auto stopNote = "Synth.so:Stopped log file " + path.getFullPathName().toStdString()
                            + " at twice its size limit: no new file could be started";
        auto isStopNote = [&] (const std::string& l) { return l.size() > stopNote.size() && l.compare (l.find (") ") + 2, std::string::npos, stopNote) == 0; };
        EXPECT_EQ (std::count_if (lines.begin(), lines.end(), isStopNote), 1);
        juce::StringArray inFile;
        inFile.addLines (path.loadFileAsString());
        inFile.removeEmptyStrings();
        EXPECT_TRUE (isStopNote (inFile[inFile.size() - 1].toStdString())) << "the file's last line says why";

        // Once the name is free, a try within the next eighth succeeds (the
        // lines offered until then are dropped), and the lines go on in a new file.
        ASSERT_TRUE (previous.deleteRecursively());

        for (int round = 0; round < 2; ++round)
        {
            if (c.background)
            {
                ASSERT_TRUE (backgroundWriter.start());
            }

            writeLines (c.lines + round * c.resumeLines, c.resumeLines);
        }

        EXPECT_TRUE (previous.existsAsFile());
        EXPECT_TRUE (previous.loadFileAsString().contains (stopNote));
        EXPECT_TRUE (path.loadFileAsString().contains ("line " + juce::String (c.lines + 2 * c.resumeLines - 1) + " "));
        tbLogger.logToFile = false;
        logFile.close();
        CapturedLines::take();
    }
}

// Two writers (two processes, or two objects of one process standing in for
// them) start on one file, each with a small limit and about 1.25 times as
// much to write: the first to reach its limit renames the file, the other
// finds it renamed and takes up the new one. Every line stays in one of the
// two files, whole.
TEST_F (LogFileTest, TwoWritersSharingTheFileNeverRenameEachOthersLinesAway)
{
    constexpr int linesEach = 500;
    constexpr std::int64_t limit = 20000;

    auto lineOf = [] (int writer, int i)
    {
        return "writer " + std::to_string (writer) + " line " + std::to_string (i) + " " + std::string (30, 'x');
    };

    auto writeAll = [&] (LogFile& file, int writer)
    {
        for (int i = 0; i < linesEach; ++i)
        {
            const auto line = lineOf (writer, i);
            file.write (line.data(), line.size());
        }
    };

    for (bool processes : { false, true })
    {
        SCOPED_TRACE (processes ? "two processes" : "two objects");
        const auto path = folder.getChildFile (processes ? "processes.log" : "objects.log");
        const auto previous = path.getSiblingFile (path.getFileName() + ".1");

        if (processes)
        {
            int ready[2], go[2];
            ASSERT_EQ (::pipe (ready), 0);
            ASSERT_EQ (::pipe (go), 0);
            pid_t children[2];

            for (int writer = 0; writer < 2; ++writer)
            {
                children[writer] = ::fork();

                if (children[writer] == 0)
                {
                    // Both open the file before either writes.
                    LogFile file;
                    file.setSizeLimit (limit);
                    char byte = file.open (path) ? 1 : 0;
                    [[maybe_unused]] auto n = ::write (ready[1], &byte, 1);
                    n = ::read (go[0], &byte, 1);
                    writeAll (file, writer);
                    file.close();
                    ::_exit (0);
                }
            }

            char opened[2] = {};
            EXPECT_EQ (::read (ready[0], opened, 1) + ::read (ready[0], opened + 1, 1), 2);
            EXPECT_TRUE (opened[0] == 1 && opened[1] == 1);
            EXPECT_EQ (::write (go[1], "gg", 2), 2);

            for (auto child : children)
            {
                int status = 0;
                EXPECT_EQ (::waitpid (child, &status, 0), child);
                EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0) << status;
            }

            for (int fd : { ready[0], ready[1], go[0], go[1] })
                ::close (fd);
        }
        else
        {
            LogFile files[2];
            std::atomic<bool> start { false };
            std::vector<std::thread> writers;

            for (int writer = 0; writer < 2; ++writer)
            {
                files[writer].setSizeLimit (limit);
                ASSERT_TRUE (files[writer].open (path));
                writers.emplace_back ([&, writer] { while (! start) std::this_thread::yield(); writeAll (files[writer], writer); });
            }

            start = true;

            for (auto& w : writers)
                w.join();

            for (auto& f : files)
                f.close();
        }

        ASSERT_TRUE (previous.existsAsFile()) << "one rename";
        std::multiset<std::string> all;

        for (auto& f : { previous, path })
            for (auto& line : juce::StringArray::fromLines (f.loadFileAsString()))
                if (line.isNotEmpty())
                    all.insert (line.toStdString());

        EXPECT_EQ (all.size(), 2u * linesEach);

        for (int writer = 0; writer < 2; ++writer)
            for (int i = 0; i < linesEach; ++i)
                EXPECT_EQ (all.count (lineOf (writer, i)), 1u) << writer << " " << i;
    }
}

// Close never closes a handle a writer is still using: the number would go to
// the next file the host opens, and the writer's line into that file.
TEST_F (LogFileTest, CloseLeavesTheHandleOfAWriterUnderWayOpen)
{
    const auto path = folder.getChildFile ("Tattlebox.log");
    const auto hostFile = folder.getChildFile ("host.txt");

    for (bool resumes : { true, false })
    {
        SCOPED_TRACE (resumes ? "the writer goes on" : "the writer never comes back");
        AppendFile append;
        ASSERT_EQ (append.open (path), FileFault::none);
        StalledWriter writer (append);
        const auto started = std::chrono::steady_clock::now();
        auto closing = std::async (std::launch::async, [&] { append.close(); });

        if (resumes)
        {
            EXPECT_EQ (closing.wait_for (std::chrono::milliseconds (200)), std::future_status::timeout) << "close waits";
            EXPECT_TRUE (writer.resume ("resumed\n"));
            closing.wait();
            EXPECT_EQ (::fcntl (writer.handle, F_GETFD), -1) << "closed once the writer left";
        }
        else
        {
            closing.wait();
            EXPECT_LT (std::chrono::steady_clock::now() - started, std::chrono::seconds (5)) << "the wait is bounded";
            const auto host = ::open (hostFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            EXPECT_NE (host, writer.handle) << "the handle was left open";
            EXPECT_TRUE (writer.resume ("stalled\n"));
            ::close (host);
            ::close (writer.handle);
            EXPECT_EQ (hostFile.getSize(), 0);
        }
    }

    EXPECT_EQ (path.loadFileAsString(), "resumed\nstalled\n");
}
