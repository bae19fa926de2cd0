#include "LogFile.h"
#include "TBLogger.h"

#include <algorithm>
#include <cstring>
#include "../platform/StaticOrder.h"

LogFile logFile TB_STATIC_LOG_SINKS;

juce::File LogFile::besideStateFile (const juce::File& stateFile)
{
    return stateFile.withFileExtension ("log");
}

bool LogFile::openAtPlace()
{
    if (isOpen())
        return true;

    if (open (place))
        return true;

    tbLogger.logLine (("Failed to open log file " + place.getFullPathName()).toRawUTF8());
    return false;
}

bool LogFile::open (const juce::File& fileToOpen)
{
    if (! file.open (fileToOpen))
        return false;

    size = file.sizeWhenOpened();
    return true;
}

void LogFile::close() noexcept
{
    file.close();
    size = 0;
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
    if (file.append (line, lengthWithLineFeed))
    {
        size.fetch_add ((std::int64_t) lengthWithLineFeed, std::memory_order_relaxed);
        startNewFileIfFull();
    }
}

// One writer makes the switch; the others go on writing into whichever file
// their handle names, so every line stays whole in one of the two.
void LogFile::startNewFileIfFull() noexcept
{
    if (size.load (std::memory_order_relaxed) < limit.load (std::memory_order_relaxed)
          || switching.exchange (true, std::memory_order_acquire))
        return;

    if (size.load (std::memory_order_relaxed) >= limit.load (std::memory_order_relaxed) && file.startNewFile())
        size = 0;

    switching.store (false, std::memory_order_release);
}
