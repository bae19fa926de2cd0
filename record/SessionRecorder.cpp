#include "SessionRecorder.h"
#include "../platform/ThreadId.h"

#include <algorithm>
#include <cstring>

using namespace recording;

SessionRecorder sessionRecorder;

namespace
{
    // Copies a payload's pieces one after the other into a record's room.
    class RingSink final : public PayloadSink
    {
    public:
        RingSink (RecordRing& r, const RecordRing::Reservation& room) noexcept : ring (r), reservation (room) {}

        void put (const void* data, std::size_t size) noexcept override
        {
            ring.write (reservation, offset, data, size);
            offset += (std::uint32_t) size;
        }

        RecordRing& ring;
        RecordRing::Reservation reservation;
        std::uint32_t offset = sizeof (RecordHeader);
    };

    RecordHeader header (RecordType type, std::uint8_t function, std::int32_t opcode = 0,
                         std::int32_t index = 0, VstIntPtr value = 0, float opt = 0.0f) noexcept
    {
        RecordHeader record {};
        record.type = type;
        record.function = function;
        record.opcode = opcode;
        record.index = index;
        record.value = (std::int64_t) value;
        record.opt = opt;
        return record;
    }

    RecordHeader ending (RecordType type, std::uint8_t function, std::uint64_t ticket, std::int32_t opcode,
                         std::int32_t index, VstIntPtr value, VstIntPtr result) noexcept
    {
        auto record = header (type, function, opcode, index, value);
        record.sequence = ticket;
        record.result = (std::int64_t) result;
        return record;
    }
}

bool SessionRecorder::start (bool audio) noexcept
{
    if (! ring.allocate (ringBytes))
        return false;

    // A session of its own: roles and numbers from the start, as the file is.
    withAudio = audio;
    sequence.store (1);
    numRoles.store (0);

    for (auto& thread : roleThreads)
        thread.store (0);

    ring.takeLost();
    on.store (true, std::memory_order_release);
    return true;
}

std::uint16_t SessionRecorder::roleOfThisThread() noexcept
{
    const auto id = currentThreadId();
    const auto known = std::min (numRoles.load (std::memory_order_acquire), maxRoles);

    for (int role = 0; role < known; ++role)
        if (roleThreads[role].load (std::memory_order_relaxed) == id)
            return (std::uint16_t) role;

    // Threads beyond the table share its last number, without claiming more.
    if (known >= maxRoles)
        return (std::uint16_t) maxRoles;

    // A thread's first call: only it can claim a role for its id.
    const auto role = numRoles.fetch_add (1, std::memory_order_acq_rel);

    if (role >= maxRoles)
        return (std::uint16_t) maxRoles; // all beyond share the last role number

    roleThreads[role].store (id, std::memory_order_relaxed);
    auto named = header (typeThread, 0, 0, 0, (VstIntPtr) id);
    named.role = (std::uint16_t) role;
    put (named, {});
    return (std::uint16_t) role;
}

void SessionRecorder::put (RecordHeader record, const Payload& payload) noexcept
{
    auto size = payload.measure();

    // Too large: the record says how large, and carries none of it.
    const auto tooLarge = size > maxPayloadBytes;
    record.payloadKind = tooLarge ? payloadTooLarge : payload.kind;
    record.payloadSize = (std::uint32_t) std::min<std::size_t> (size, 0xffffffffu);
    record.size = padded (sizeof (RecordHeader) + (tooLarge ? 0 : size));
    const auto room = ring.reserve (record.size);

    if (room.size == 0)
        return;

    ring.write (room, 4, reinterpret_cast<const std::uint8_t*> (&record) + 4, sizeof (RecordHeader) - 4);

    if (! tooLarge && size > 0)
    {
        RingSink sink (ring, room);
        payload.writeTo (sink);
    }

    ring.publish (room);
}

SessionRecorder::Ticket SessionRecorder::call (RecordHeader record, const Payload& payload) noexcept
{
    record.role = roleOfThisThread();
    record.sequence = sequence.fetch_add (1, std::memory_order_relaxed);
    put (record, payload);
    return record.sequence;
}

SessionRecorder::Ticket SessionRecorder::entryCall (const char* targetPath) noexcept
{
    auto target = header (typeTarget, recordedEntry);
    target.role = roleOfThisThread();
    put (target, recordPayload::ofText (targetPath));
    return call (header (typeCall, recordedEntry), {});
}

void SessionRecorder::entryReturn (Ticket ticket, const AEffect* effect) noexcept
{
    auto record = ending (typeReturn, recordedEntry, ticket, 0, 0, 0, effect != nullptr ? 1 : 0);
    record.role = roleOfThisThread();
    put (record, effect != nullptr ? Payload { payloadStructure, effect, sizeof (AEffect) } : Payload {});
}

SessionRecorder::Ticket SessionRecorder::dispatcherCall (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept
{
    auto record = header (typeCall, recordedDispatcher, opcode, index, value, opt);
    record.flags = ptr != nullptr ? flagPointerSet : 0;
    return call (record, recordPayload::ofDispatcherCall (opcode, value, ptr));
}

void SessionRecorder::dispatcherReturn (Ticket ticket, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, VstIntPtr result) noexcept
{
    auto record = ending (typeReturn, recordedDispatcher, ticket, opcode, index, value, result);
    record.role = roleOfThisThread();
    put (record, recordPayload::ofDispatcherReturn (opcode, value, ptr, result));
}

SessionRecorder::Ticket SessionRecorder::hostCall (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept
{
    auto record = header (typeHostCall, recordedAudioMaster, opcode, index, value, opt);
    record.flags = ptr != nullptr ? flagPointerSet : 0;
    return call (record, recordPayload::ofHostCall (opcode, ptr));
}

void SessionRecorder::hostReturn (Ticket ticket, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, VstIntPtr result) noexcept
{
    auto record = ending (typeHostReturn, recordedAudioMaster, ticket, opcode, index, value, result);
    record.role = roleOfThisThread();
    put (record, recordPayload::ofHostReturn (opcode, ptr, result));
}

SessionRecorder::Ticket SessionRecorder::blockCall (std::uint8_t function, void* const* inputs, std::int32_t numInputs,
                                                    void* const* outputs, std::int32_t numOutputs,
                                                    std::int32_t sampleFrames, std::uint32_t bytesPerSample) noexcept
{
    auto record = header (typeCall, function, 0, 0, sampleFrames);
    const auto shared = std::min (numInputs, numOutputs);
    bool inPlace = inputs != nullptr && outputs != nullptr && shared > 0;

    for (std::int32_t c = 0; inPlace && c < shared; ++c)
        inPlace = inputs[c] == outputs[c];

    record.flags = inPlace ? flagInPlace : 0;
    return call (record, withAudio ? recordPayload::ofAudio (inputs, numInputs, sampleFrames, bytesPerSample) : Payload {});
}

void SessionRecorder::blockReturn (Ticket ticket, std::uint8_t function, void* const* outputs, std::int32_t numOutputs,
                                   std::int32_t sampleFrames, std::uint32_t bytesPerSample) noexcept
{
    auto record = ending (typeReturn, function, ticket, 0, 0, sampleFrames, 0);
    record.role = roleOfThisThread();
    put (record, withAudio ? recordPayload::ofAudio (outputs, numOutputs, sampleFrames, bytesPerSample) : Payload {});
}

SessionRecorder::Ticket SessionRecorder::parameterCall (std::uint8_t function, std::int32_t index, float parameter) noexcept
{
    return call (header (typeCall, function, 0, index, 0, parameter), {});
}

void SessionRecorder::parameterReturn (Ticket ticket, std::uint8_t function, std::int32_t index, float result) noexcept
{
    std::int32_t bits = 0;
    std::memcpy (&bits, &result, sizeof (bits));
    const auto getter = function == recordedGetParameter;
    auto record = ending (typeReturn, function, ticket, 0, index, 0, getter ? bits : 0);
    record.role = roleOfThisThread();
    record.flags = getter ? flagResultIsFloat : 0;
    put (record, {});
}
