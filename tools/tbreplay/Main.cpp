// tbreplay: plays a session that Tattlebox recorded ("Record Session")
// against a plug-in loaded directly, without Tattlebox and without the host.
// README.md beside this file has the usage and the exit statuses.
#include "CallTree.h"
#include "CrashNote.h"
#include "Player.h"
#include "log/TBLogger.h"
#include "tools/common/CommandLine.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
constexpr const char* usage =
    "usage: tbreplay [options] RECORDING PLUGIN\n"
    "  --log              each call as Tattlebox's own log lines, on standard output\n"
    "  --decode           with --log: what the calls' structures hold (Decode Structures)\n"
    "  --compare          report where the plug-in's answers differ from the recorded ones\n"
    "  --editor           replay the editor's calls too (they need a display)\n"
    "  --stop-before N    stop just before call N (break on tbreplayStopped in a debugger)\n"
    "  --delay MS         wait MS milliseconds before each of the host's outermost calls\n"
    "  --info             describe the recording and stop\n";

int usageError (const std::string& message)
{
    std::fprintf (stderr, "tbreplay: %s\n%s", message.c_str(), usage);
    return tbreplay::exitUsage;
}

// Standard output, one write per line: lines of several threads never mix.
void writeToStandardOutput (const char* line, std::size_t length)
{
    std::string text (line, length);
    text += '\n';
    [[maybe_unused]] const auto written = ::write (1, text.data(), text.size());
}

void describe (const Recording& recording, const tbreplay::CallTree& tree)
{
    std::printf ("target %s\n", recording.targetPath.c_str());
    std::printf ("%zu records, %zu of the host's outermost calls, %d thread roles, %llu records lost\n",
                 recording.events.size(), tree.schedule.size(), tree.numRoles, (unsigned long long) recording.recordsLost);

    for (std::size_t role = 0; role < recording.threadIds.size(); ++role)
        std::printf ("role %zu: thread %X\n", role, recording.threadIds[role]);
}
}

int main (int argc, char** argv)
{
    tbreplay::Options options;
    bool info = false;
    std::vector<std::string> files;

    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        int number = 0;

        if (tbtools::takeFlag (argument, { { "--log", &options.log }, { "--decode", &options.decode }, { "--compare", &options.compare },
                                           { "--editor", &options.editor }, { "--info", &info } }))
            continue;

        if (argument == "--stop-before" || argument == "--delay")
        {
            if (! hasValue || ! tbtools::parseWhole (argv[++i], argument == "--delay" ? 0 : 1, 999999999, number))
                return usageError (argument + " needs a whole number");

            if (argument == "--delay")
                options.delayMilliseconds = number;
            else
                options.stopBefore = (std::uint64_t) number;

            continue;
        }

        if (! argument.empty() && argument[0] == '-')
            return usageError ("unknown option " + argument);

        files.push_back (argument);
    }

    if (files.size() != (info ? 1u : 2u))
        return usageError ("a recording and a plug-in, please");

    Recording recording;
    std::string note;
    const auto outcome = readRecording (files[0], recording, note);

    if (outcome == ReadOutcome::refused)
    {
        std::fprintf (stderr, "tbreplay: %s: %s\n", files[0].c_str(), note.c_str());
        return tbreplay::exitRecordingRefused;
    }

    if (! note.empty())
        std::fprintf (stderr, "tbreplay: %s\n", note.c_str());

    auto tree = tbreplay::buildCallTree (recording);

    for (const auto& problem : tree.problems)
        std::fprintf (stderr, "tbreplay: %s\n", problem.c_str());

    if (info)
    {
        describe (recording, tree);
        return tbreplay::exitDone;
    }

    if (recording.recordsLost > 0)
        std::fprintf (stderr, "tbreplay: %llu records were lost while recording: the replay is not whole\n",
                      (unsigned long long) recording.recordsLost);

    options.recordingPath = files[0];
    options.pluginPath = files[1];

    // Tattlebox's own lines: the logger at its defaults, named after the plug-in's file.
    tbLogger.initialise (juce::File (options.pluginPath).getFileName());
    tbLogger.loggingOn = options.log;
    tbLogger.decodeStructures = options.decode;
    tbLogger.writeInBackground = false;
    tbLogger.setLineSink (writeToStandardOutput);

    tbreplay::installCrashNote();
    tbreplay::Player player (recording, tree, options);
    return player.run();
}
