// The session recording's file: "Record Session" puts every call into
// Tattlebox.tbrec beside the state file (its base name plus ".tbrec"),
// started anew with each session. The background writer's rounds move the
// records from the recorder's ring to the file, each with its check; Close
// writes what is left and an end record, and a crash report writes what is
// left from its handler, so that the calls up to the crash are in the file.
#pragma once

#include "RecordFormat.h"
#include "RecordRing.h"
#include "../platform/AppendFile.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>

class RecordFile
{
public:
    // [any thread] Where a state file at stateFile puts its recording.
    static juce::File besideStateFile (const juce::File& stateFile);

    // [start-up]
    void setPlace (const juce::File& file) { place = file; }
    juce::File getPlace() const { return place; }

    // [start-up] Before the target's entry: the file emptied, its header
    // written and the recorder started. Where it cannot be, a line says why
    // ("Failed to open recording file <path>") and nothing is recorded.
    bool start (bool withAudio);
    // [shut-down] After Close: the rest, the end record, the file closed.
    void finish() noexcept;

    // [any thread] The background writer's rounds: up to maxRecords moved to the file.
    int writePending (int maxRecords) noexcept;
    // [signal handlers] Everything published so far, with plain writes.
    void writeOutForCrash() noexcept;

    // [any thread]
    bool isOpen() const noexcept { return file.isOpen(); }
    // [any thread, realtime] The file's path, kept from start for the crash report.
    const char* getPathText() const noexcept { return pathText; }
    std::uint64_t getRecordsWritten() const noexcept { return recordsWritten.load (std::memory_order_relaxed); }
    std::uint64_t getRecordsLost() const noexcept { return recordsLost.load (std::memory_order_relaxed); }

private:
    static constexpr std::size_t bufferBytes = 256 * 1024;

    bool takeTurn (int rounds) noexcept;
    void endTurn() noexcept { writing.store (false, std::memory_order_release); }
    void moveRecord (const RecordRing::Span& span) noexcept;
    void writeLostRecord (std::uint64_t count) noexcept;
    void put (const void* data, std::size_t size) noexcept;
    void flush() noexcept;
    int writeRecords (int maxRecords) noexcept;

    AppendFile file;
    juce::File place;
    std::atomic<bool> writing { false };
    std::atomic<std::uint64_t> recordsWritten { 0 };
    std::atomic<std::uint64_t> recordsLost { 0 };
    char pathText[1024] {};
    char buffer[bufferBytes];
    std::size_t used = 0;
};

// The one recording file of this library.
extern RecordFile recordFile;
