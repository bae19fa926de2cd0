// The trace file: with "Time Calls" and "Write Trace" on, every timed call
// as a complete event of the trace-event JSON format that trace viewers
// read, beside the state file under its base name plus ".trace.json".
//
// The calling thread only puts a binary record into TraceRing; the
// background writer formats the events and appends them in its rounds. One
// file per session, started anew at start-up: "[", the events separated by
// ",\n", and "]" at Close. A file cut by a session that ended without Close
// lacks the "]" alone, which the viewers accept.
#pragma once

#include "TraceRing.h"
#include "../platform/AppendFile.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

class TraceFile
{
public:
    // [any thread] Where a state file at stateFile puts its trace.
    static juce::File besideStateFile (const juce::File& stateFile);

    // [start-up] Where this session's trace goes.
    void setPlace (const juce::File& file) { place = file; }
    // [message] or [start-up]
    juce::File getPlace() const { return place; }

    // [start-up] or [message] Recording on; the first start of a session
    // empties the file and opens the array. Where it cannot be opened,
    // writes "Failed to open trace file <path>" and returns false.
    bool start();
    // [message] Recording off; what was recorded is still written.
    void pause() noexcept { recording.store (false); }
    // [shut-down] The records left, the closing "]", the file closed.
    void finish() noexcept;

    // [any thread, realtime] One timed call, while recording.
    void record (const TraceRecord& call) noexcept
    {
        if (recording.load (std::memory_order_relaxed))
            traceRing.push (call);
    }

    // [any thread] The background writer's rounds: formats and appends up to
    // maxRecords; says in the log how many were dropped. Returns the number written.
    int writePending (int maxRecords) noexcept;

    // [any thread]
    std::uint64_t getEventsWritten() const noexcept { return eventsWritten.load (std::memory_order_relaxed); }
    std::uint64_t getEventsDropped() const noexcept { return eventsDropped.load (std::memory_order_relaxed); }
    bool isRecording() const noexcept { return recording.load (std::memory_order_relaxed); }

private:
    static constexpr std::size_t bufferBytes = 64 * 1024;
    static constexpr int maxThreadsNamed = 64;

    bool takeTurn() noexcept;
    void append (const TraceRecord& call) noexcept;
    void nameThreadOnce (std::uint32_t threadId) noexcept;
    void flush() noexcept;

    AppendFile file;
    juce::File place;
    std::atomic<bool> recording { false };
    std::atomic<bool> writing { false };
    std::atomic<std::uint64_t> eventsWritten { 0 };
    std::atomic<std::uint64_t> eventsDropped { 0 };

    // The writer's own (one at a time, through `writing`).
    TraceRing::Cursor cursor;
    std::uint32_t processId = 0;
    bool firstEvent = true;
    std::uint32_t threadsNamed[maxThreadsNamed] {};
    int numThreadsNamed = 0;
    char buffer[bufferBytes];
    std::size_t used = 0;
};

// The one trace file of this library.
extern TraceFile traceFile;
