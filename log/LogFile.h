// The optional log file: the lines of a hosting session, from its banner to
// its Close, beside the state file under the same base name with the
// extension "log". At its size limit the file is renamed to its name plus
// ".1" (replacing an older one) and a new one starts; no line is lost or cut
// at the switch. Where another process sharing the file (a DAW and its
// plug-in scanner) has renamed it already, the new file it started is taken
// up instead. A switch that fails (the ".1" name taken by a folder, a reader
// on Windows holding the file) is tried again after each further eighth of
// the limit; at twice the limit the file takes no more lines, which a line
// says once, until a switch succeeds.
#pragma once

#include "../platform/AppendFile.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>

class LogFile
{
public:
    static constexpr std::int64_t defaultSizeLimit = std::int64_t (64) << 20;

    // [start-up] Where this session's file goes, whether or not it is opened.
    void setPlace (const juce::File& file) { place = file; }
    // [message] or [start-up]
    juce::File getPlace() const { return place; }

    // [start-up] or [message]: opens the file at its place unless it is open;
    // where it cannot be opened, writes "Failed to open log file <path>"
    // through the other sinks, where the file is refused (FileChecks.h)
    // "Refused log file <path>: a symbolic link" (": not a regular file",
    // ": owned by another user"), and returns false.
    bool openAtPlace();

    // [start-up/shut-down] or [message]. False when the file cannot be opened.
    bool open (const juce::File& file);
    // [shut-down]
    void close() noexcept;

    // [any thread, realtime]
    bool isOpen() const noexcept { return file.isOpen(); }

    // [any thread, realtime] The line and its line feed in one write.
    void write (const char* text, std::size_t length) noexcept;
    // [any thread] Whole lines with their line feeds, in one write (the background writer's).
    void writeLines (const char* bytes, std::size_t count) noexcept { appendLine (bytes, count); }
    // [any thread, realtime] The same, for a line whose buffer has room for
    // its line feed: written from there, without a copy.
    void writeWithRoom (char* text, std::size_t length) noexcept;

    // Tests only, before the lines start: a small limit to see the switch.
    void setSizeLimit (std::int64_t bytes) noexcept { limit = bytes; }
    // Tests only: the switches tried since the file was opened.
    int getSwitchesTried() const noexcept { return switchesTried.load (std::memory_order_relaxed); }

    // [any thread] Where a state file at stateFile puts its log.
    static juce::File besideStateFile (const juce::File& stateFile);

private:
    // A line's room, line feed included, as TBLogger's.
    static constexpr int maxNoteBytes = 1025;

    FileFault openFile (const juce::File& fileToOpen);
    void appendLine (const char* line, std::size_t lengthWithLineFeed) noexcept;
    void startNewFileIfDue() noexcept;
    void switchFailed (std::int64_t sizeNow, FileFault refusal) noexcept;
    struct Span
    {
        const char* start = nullptr;
        std::size_t length = 0;
    };

    // The line among whole lines that says the file stopped, with its line feed.
    Span findStopNote (const char* lines, std::size_t length) const noexcept;

    AppendFile file;
    juce::File place;
    // The bytes in the file, and while it is stopped the bytes offered to it.
    std::atomic<std::int64_t> size { 0 };
    std::atomic<std::int64_t> limit { defaultSizeLimit };
    std::atomic<std::int64_t> nextSwitch { defaultSizeLimit };
    std::atomic<bool> switching { false };
    std::atomic<bool> stopped { false };
    // The line saying the file stopped may still go into it, as its last.
    std::atomic<bool> stopNotePending { false };
    std::atomic<bool> refusalSaid { false };
    std::atomic<int> switchesTried { 0 };
    // The lines about the file, made when it opens: saying them allocates nothing.
    char stopNote[maxNoteBytes] {};
    std::size_t stopNoteLength = 0;
    char refusalNote[maxNoteBytes] {};
};

// The one log file of this library.
extern LogFile logFile;
