// What a recorded call carries besides its numbers: the data its pointers
// point to, where the call log's catalogue knows the kind (texts, chunks,
// events, time info, speaker arrangements, fixed structures, audio). A
// payload is measured first and then written into the room reserved for it,
// by the same code, so that the two never disagree.
#pragma once

#include "RecordFormat.h"
#include "../vst/VstInterface.h"

#include <cstddef>
#include <cstdint>

// Where a payload's bytes go: counted, or copied into a record's room.
class PayloadSink
{
public:
    virtual ~PayloadSink() = default;
    virtual void put (const void* data, std::size_t size) noexcept = 0;
};

// [any thread, realtime] One payload: its kind, and how to write it.
struct Payload
{
    recording::PayloadKind kind = recording::payloadNone;
    const void* first = nullptr;      // text, chunk, structure; events; the input arrangement; the channels
    std::size_t size = 0;             // of text, chunk, structure
    const void* second = nullptr;     // the output arrangement
    std::uint32_t channels = 0, frames = 0, bytesPerSample = 0;

    // Writes the bytes (without measuring: the size comes from measure).
    void writeTo (PayloadSink& sink) const noexcept;
    // The bytes writeTo writes.
    std::size_t measure() const noexcept;
};

namespace recordPayload
{
    // [any thread, realtime] The payloads of host-to-plug-in dispatcher calls and returns.
    Payload ofDispatcherCall (std::int32_t opcode, VstIntPtr value, void* ptr) noexcept;
    Payload ofDispatcherReturn (std::int32_t opcode, VstIntPtr value, void* ptr, VstIntPtr result) noexcept;
    // [any thread, realtime] The plug-in's calls to the host, and their answers.
    Payload ofHostCall (std::int32_t opcode, void* ptr) noexcept;
    Payload ofHostReturn (std::int32_t opcode, void* ptr, VstIntPtr result) noexcept;
    // [audio] A block's channels.
    Payload ofAudio (void* const* channels, std::int32_t numChannels, std::int32_t frames, std::uint32_t bytesPerSample) noexcept;
    // [any thread] A text: the plug-in's path.
    Payload ofText (const char* text) noexcept;

    // Opcodes whose structures lie in value as well as in ptr.
    constexpr std::int32_t setSpeakerArrangement = 42, getSpeakerArrangement = 69;
    constexpr std::int32_t setChunk = 24, getChunk = 23, processEvents = 25, editGetRect = 13;
    constexpr std::int32_t hostProcessEvents = 8, hostSetTime = 9, hostGetTime = 7, hostGetDirectory = 41;
    constexpr std::int32_t hostGetInputSpeakerArrangement = 49;
}
