// logfile_probe (Windows only): the log file's switch where it runs, Wine
// included, with small limits. Prints one "ok: ..." or "FAIL: ..." line per
// check; exit status 0 when all passed, 1 otherwise, 2 for bad usage.
//   logfile_probe held FOLDER     a reader holding the file without
//                                 FILE_SHARE_DELETE: the switch backs off, the
//                                 file stops at twice the limit, says so once,
//                                 and goes on once the reader lets go
//   logfile_probe shared FOLDER   two writers of one file, one after the
//                                 other: the first to reach its limit renames
//                                 it, the other takes up the new one (the
//                                 identity check) instead of renaming it too
// (Writers at once are left to Linux: Wine's appends through two handles are
// not atomic, and mix lines on their own. Nor does Wine 8 show a Linux link
// as a reparse point, so the refusal of links is left to real Windows.)
#include "log/LogFile.h"
#include "log/TBLogger.h"
#include "platform/windows/WindowsHeaders.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace
{
int failures = 0;

void check (bool passed, const std::string& what)
{
    std::printf ("%s: %s\n", passed ? "ok" : "FAIL", what.c_str());
    std::fflush (stdout);
    failures += passed ? 0 : 1;
}

std::mutex capturedLock;
std::vector<std::string> captured;

void capture (const char* line, std::size_t length)
{
    const std::lock_guard<std::mutex> guard (capturedLock);
    captured.emplace_back (line, length);
}

std::vector<std::string> linesOf (const juce::File& file)
{
    std::vector<std::string> lines;

    for (auto& line : juce::StringArray::fromLines (file.loadFileAsString()))
        if (line.isNotEmpty())
            lines.push_back (line.toStdString());

    return lines;
}

void held (const juce::File& folder)
{
    const auto path = folder.getChildFile ("Tattlebox.log");
    const auto previous = folder.getChildFile ("Tattlebox.log.1");
    constexpr std::int64_t limit = 8000;
    logFile.setSizeLimit (limit);
    check (logFile.open (path), "opened " + path.getFullPathName().toStdString());

    // A viewer's handle: reading, sharing reads and writes, not deletes.
    const auto reader = ::CreateFileW (path.getFullPathName().toWideCharPointer(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    check (reader != INVALID_HANDLE_VALUE, "a reader holds the file");
    tbLogger.logToFile = true;

    auto writeLines = [] (int from, int count)
    {
        for (int i = from; i < from + count; ++i)
            tbLogger.logLine (("line " + std::to_string (i) + " " + std::string (30, 'x')).c_str());
    };

    writeLines (0, 2000);
    std::int64_t offered = 0;
    int stops = 0;
    const std::string stopNote = "Stopped log file " + path.getFullPathName().toStdString()
                               + " at twice its size limit: no new file could be started";

    for (auto& line : captured)
    {
        offered += (std::int64_t) line.size() + 1;
        stops += line.size() > stopNote.size() && line.compare (line.size() - stopNote.size(), stopNote.size(), stopNote) == 0;
    }

    const auto tried = logFile.getSwitchesTried();
    check (tried >= 9 && tried <= offered / (limit / 8) + 1,
           "switches tried after each eighth of the limit, not at every line: " + std::to_string (tried)
             + " for " + std::to_string (captured.size()) + " lines");
    std::size_t longest = 0;

    for (auto& line : captured)
        longest = std::max (longest, line.size() + 1);

    check (path.getSize() <= 2 * limit + 2 * (std::int64_t) longest,
           "the file stopped at twice the limit: " + std::to_string (path.getSize()) + " bytes");
    check (stops == 1, "the stop said once (" + std::to_string (stops) + ")");
    const auto inFile = linesOf (path);
    check (! inFile.empty() && inFile.back().find (stopNote) != std::string::npos, "the file's last line says why");
    check (! previous.exists(), "no renamed file while the reader holds it");

    ::CloseHandle (reader);
    writeLines (2000, 100);
    check (previous.existsAsFile() && previous.loadFileAsString().contains (stopNote),
           "once the reader let go, the stopped file was renamed");
    check (path.loadFileAsString().contains ("line 2099 "), "and the lines go on in a new file");
    tbLogger.logToFile = false;
    logFile.close();
}

void shared (const juce::File& folder)
{
    constexpr int linesEach = 500;
    constexpr std::int64_t limit = 20000;

    auto lineOf = [] (int writer, int i)
    {
        return "writer " + std::to_string (writer) + " line " + std::to_string (i) + " " + std::string (30, 'x');
    };

    const auto path = folder.getChildFile ("Tattlebox.log");
    const auto previous = folder.getChildFile ("Tattlebox.log.1");
    LogFile files[2];

    for (auto& f : files)
    {
        f.setSizeLimit (limit);
        check (f.open (path), "opened");
    }

    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < linesEach; ++i)
        {
            const auto line = lineOf (writer, i);
            files[writer].write (line.data(), line.size());
        }

    for (auto& f : files)
        f.close();

    std::multiset<std::string> all;

    for (auto& f : { previous, path })
        for (auto& line : linesOf (f))
            all.insert (line);

    int missing = 0;

    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < linesEach; ++i)
            missing += all.count (lineOf (writer, i)) == 1 ? 0 : 1;

    const auto renamed = linesOf (previous);
    check (! renamed.empty() && renamed.front() == lineOf (0, 0),
           "one rename: the first writer's first lines are kept in the renamed file");
    check (all.size() == 2 * linesEach && missing == 0,
           "every line once in the two files (" + std::to_string (all.size()) + " lines, "
             + std::to_string (missing) + " missing)");
}

} // namespace

int main (int argc, char** argv)
{
    if (argc != 3)
        return 2;

    tbLogger.initialise ("probe");
    tbLogger.setLineSink (capture);
    const std::string scenario = argv[1];
    const juce::File place (juce::String::fromUTF8 (argv[2]));

    if (scenario == "held")          held (place);
    else if (scenario == "shared")   shared (place);
    else
        return 2;

    tbLogger.setLineSink (nullptr);
    return failures == 0 ? 0 : 1;
}
