#include "LogFile.h"
#include "LineWriter.h"
#include "TBLogger.h"

#include <algorithm>
#include <cstring>
#include "../platform/StaticOrder.h"

LogFile logFile TB_STATIC_LOG_SINKS;

namespace
{
    constexpr auto relaxed = std::memory_order_relaxed;

    void copyNote (const juce::String& text, char* note, std::size_t room) noexcept
    {
        LineWriter writer (note, room - 1);
        writer.append (text.toRawUTF8());
        writer.text();
    }
}

juce::File LogFile::besideStateFile (const juce::File& stateFile)
{
    return stateFile.withFileExtension ("log");
}

bool LogFile::openAtPlace()
{
    if (isOpen())
        return true;

    const auto fault = openFile (place);

    if (fault == FileFault::none)
        return true;

    const auto path = place.getFullPathName();

    if (auto* reason = describeRefusal (fault))
        tbLogger.logLine (("Refused log file " + path + reason).toRawUTF8());
    else
        tbLogger.logLine (("Failed to open log file " + path).toRawUTF8());

    return false;
}

bool LogFile::open (const juce::File& fileToOpen)
{
    return openFile (fileToOpen) == FileFault::none;
}

FileFault LogFile::openFile (const juce::File& fileToOpen)
{
    const auto fault = file.open (fileToOpen);

    if (fault != FileFault::none)
        return fault;

    const auto path = fileToOpen.getFullPathName();
    copyNote ("Stopped log file " + path + " at twice its size limit: no new file could be started",
              stopNote, sizeof (stopNote));
    stopNoteLength = std::strlen (stopNote);
    copyNote ("Refused log file " + path, refusalNote, sizeof (refusalNote));

    size = file.sizeWhenOpened();
    nextSwitch = limit.load();
    stopped = false;
    stopNotePending = false;
    refusalSaid = false;
    switchesTried = 0;
    return FileFault::none;
}

void LogFile::close() noexcept
{
    file.close();
    size = 0;
    stopped = false;
}

void LogFile::write (const char* text, std::size_t length) noexcept
{
    char line[TBLogger::maxLineLength + 2];
    length = std::min (length, (std::size_t) TBLogger::maxLineLength);
    std::memcpy (line, text, length);
    line[length] = '\n';
    appendLine (line, length + 1);
}

void LogFile::writeWithRoom (char* text, std::size_t length) noexcept
{
    const auto kept = text[length];
    text[length] = '\n';
    appendLine (text, length + 1);
    text[length] = kept;
}

void LogFile::appendLine (const char* line, std::size_t lengthWithLineFeed) noexcept
{
    if (stopped.load (relaxed))
    {
        // The line that says so is the file's last (alone, out of a batch of
        // the background writer's); the others are counted, so that a new
        // file is still tried now and then.
        const auto note = stopNotePending.load (relaxed) ? findStopNote (line, lengthWithLineFeed) : Span();

        if (note.length > 0 && stopNotePending.exchange (false))
            file.append (note.start, note.length);
    }
    else if (! file.append (line, lengthWithLineFeed))
    {
        return;
    }

    if (size.fetch_add ((std::int64_t) lengthWithLineFeed, relaxed) + (std::int64_t) lengthWithLineFeed
          >= nextSwitch.load (relaxed))
        startNewFileIfDue();
}

// One writer makes the switch; the others go on writing into whichever file
// their handle names, so every line stays whole in one of the two.
void LogFile::startNewFileIfDue() noexcept
{
    if (switching.exchange (true, std::memory_order_acquire))
        return;

    const auto sizeNow = size.load (relaxed);

    if (sizeNow >= nextSwitch.load (relaxed))
    {
        switchesTried.fetch_add (1, relaxed);
        auto refusal = FileFault::none;

        if (file.startNewFile (refusal) != AppendFile::Switch::failed)
        {
            size = file.sizeWhenOpened();
            nextSwitch = limit.load (relaxed);
            stopNotePending = false;
            stopped = false;
        }
        else
        {
            switchFailed (sizeNow, refusal);
        }
    }

    switching.store (false, std::memory_order_release);
}

// The lines said here come back through the file sink (synchronously or from
// a writer thread): the switch is still marked as under way, so they start no
// other, and the stop note is let through once.
void LogFile::switchFailed (std::int64_t sizeNow, FileFault refusal) noexcept
{
    const auto sizeLimit = limit.load (relaxed);
    const auto later = sizeNow + std::max<std::int64_t> (sizeLimit / 8, 1);
    // One try falls on twice the limit, where the file stops.
    nextSwitch = sizeNow < 2 * sizeLimit ? std::min (later, 2 * sizeLimit) : later;

    if (auto* reason = describeRefusal (refusal); reason != nullptr && ! refusalSaid.exchange (true))
    {
        char note[maxNoteBytes];
        LineWriter line (note, sizeof (note) - 1);
        line.append (refusalNote);
        line.append (reason);
        tbLogger.logLine (line.text());
    }

    if (sizeNow >= 2 * sizeLimit && ! stopped.load (relaxed))
    {
        stopNotePending = true;
        stopped = true;
        tbLogger.logLine (stopNote);
    }
}

LogFile::Span LogFile::findStopNote (const char* lines, std::size_t length) const noexcept
{
    for (std::size_t start = 0; start < length;)
    {
        const auto* feed = static_cast<const char*> (std::memchr (lines + start, '\n', length - start));
        const auto end = feed != nullptr ? (std::size_t) (feed - lines) : length;

        // "...name:" and the note, up to the line feed.
        if (end - start > stopNoteLength && lines[end - stopNoteLength - 1] == ':'
              && std::memcmp (lines + end - stopNoteLength, stopNote, stopNoteLength) == 0)
            return { lines + start, std::min (end + 1, length) - start };

        start = end + 1;
    }

    return {};
}
