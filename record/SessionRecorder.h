// "Record Session": every call between host and plug-in, both ways, with
// its numbers, the data its pointers carry and its result, as records for
// the recording's file (RecordFormat.h). The call paths build each record
// straight into the recording's ring (RecordRing.h); the background writer
// takes them to the file (RecordFile.h). No lock, no allocation, no system
// call on the calling thread.
//
// Threads are recorded by role: the first thread that makes a call is 0,
// the next 1, and so on; each role's first record names its thread's id.
#pragma once

#include "RecordPayload.h"
#include "RecordRing.h"

#include <atomic>
#include <cstdint>

class SessionRecorder
{
public:
    static constexpr int maxRoles = 64;
    static constexpr std::size_t ringBytes = 32u << 20;

    // [start-up] Before the target's entry: the ring made, recording on.
    // False where the memory could not be had.
    bool start (bool withAudio) noexcept;
    // [shut-down] After Close's return: later calls are not recorded.
    void stop() noexcept { on.store (false, std::memory_order_release); }

    // [any thread, realtime]
    bool isOn() const noexcept { return on.load (std::memory_order_relaxed); }
    bool recordsAudio() const noexcept { return withAudio; }

    // A recorded call's number, handed back with its end; 0 where the call was not recorded.
    using Ticket = std::uint64_t;

    // [any thread, realtime] The calls; each returns the ticket its end takes.
    // Inline: with recording off a call costs one load.
    Ticket callEntry (const char* targetPath) noexcept { return isOn() ? entryCall (targetPath) : 0; }
    void returnEntry (Ticket ticket, const AEffect* effect) noexcept { if (ticket != 0) entryReturn (ticket, effect); }

    Ticket callDispatcher (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept
    {
        return isOn() ? dispatcherCall (opcode, index, value, ptr, opt) : 0;
    }

    void returnDispatcher (Ticket ticket, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, VstIntPtr result) noexcept
    {
        if (ticket != 0)
            dispatcherReturn (ticket, opcode, index, value, ptr, result);
    }

    Ticket callHost (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept
    {
        return isOn() ? hostCall (opcode, index, value, ptr, opt) : 0;
    }

    void returnHost (Ticket ticket, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, VstIntPtr result) noexcept
    {
        if (ticket != 0)
            hostReturn (ticket, opcode, index, value, ptr, result);
    }

    // [audio] function: recording::recordedProcess... ; bytesPerSample 4 or 8.
    Ticket callBlock (std::uint8_t function, void* const* inputs, std::int32_t numInputs, void* const* outputs,
                      std::int32_t numOutputs, std::int32_t sampleFrames, std::uint32_t bytesPerSample) noexcept
    {
        return isOn() ? blockCall (function, inputs, numInputs, outputs, numOutputs, sampleFrames, bytesPerSample) : 0;
    }

    void returnBlock (Ticket ticket, std::uint8_t function, void* const* outputs, std::int32_t numOutputs,
                      std::int32_t sampleFrames, std::uint32_t bytesPerSample) noexcept
    {
        if (ticket != 0)
            blockReturn (ticket, function, outputs, numOutputs, sampleFrames, bytesPerSample);
    }

    Ticket callParameter (std::uint8_t function, std::int32_t index, float parameter) noexcept
    {
        return isOn() ? parameterCall (function, index, parameter) : 0;
    }

    // result: getParameter's; setParameter has none.
    void returnParameter (Ticket ticket, std::uint8_t function, std::int32_t index, float result = 0.0f) noexcept
    {
        if (ticket != 0)
            parameterReturn (ticket, function, index, result);
    }

    // [any thread] The end of the recording, after the last call: written by RecordFile.
    std::uint64_t callsRecorded() const noexcept { return sequence.load (std::memory_order_relaxed) - 1; }

    RecordRing ring;

private:
    Ticket entryCall (const char* targetPath) noexcept;
    void entryReturn (Ticket ticket, const AEffect* effect) noexcept;
    Ticket dispatcherCall (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept;
    void dispatcherReturn (Ticket ticket, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, VstIntPtr result) noexcept;
    Ticket hostCall (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept;
    void hostReturn (Ticket ticket, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, VstIntPtr result) noexcept;
    Ticket blockCall (std::uint8_t function, void* const* inputs, std::int32_t numInputs, void* const* outputs,
                      std::int32_t numOutputs, std::int32_t sampleFrames, std::uint32_t bytesPerSample) noexcept;
    void blockReturn (Ticket ticket, std::uint8_t function, void* const* outputs, std::int32_t numOutputs,
                      std::int32_t sampleFrames, std::uint32_t bytesPerSample) noexcept;
    Ticket parameterCall (std::uint8_t function, std::int32_t index, float parameter) noexcept;
    void parameterReturn (Ticket ticket, std::uint8_t function, std::int32_t index, float result) noexcept;

    std::uint16_t roleOfThisThread() noexcept;
    void put (recording::RecordHeader header, const Payload& payload) noexcept;
    Ticket call (recording::RecordHeader header, const Payload& payload) noexcept;

    std::atomic<bool> on { false };
    bool withAudio = false;
    std::atomic<std::uint64_t> sequence { 1 };
    std::atomic<int> numRoles { 0 };
    std::atomic<std::uint32_t> roleThreads[maxRoles] {};
};

// The one recorder of this library.
extern SessionRecorder sessionRecorder;
