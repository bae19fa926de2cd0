// The structure decoders behind "Decode Structures": after a call or return
// line's own text, the content of the structure its pointer points to, as
// " {...}". They read only what the interface defines for the opcode, within
// every count's bound and the line's room, never write into the structure,
// and cut cleanly after the last whole item (" … 12 more}") when the line is
// full. Nothing is written when the opcode carries no structure, the pointer
// is null or the result says the callee filled nothing.
#pragma once

#include "LineWriter.h"
#include "../vst/VstInterface.h"

#include <cstddef>
#include <cstdint>

namespace StructureDecoder
{
    // What a decoder reads at most, whatever a count says. The fuzzer builds
    // its structures this large and no larger.
    constexpr int maxEventsRead = 64;
    constexpr int maxSpeakersRead = 128;
    constexpr int maxBytesShown = 16;
    constexpr std::size_t maxBytesHashed = 16u << 20;

    // Counts above these are printed but not followed.
    constexpr std::int32_t maxPlausibleEvents = 1 << 16;
    constexpr std::int32_t maxPlausibleChannels = 1024;

    // [any thread, realtime] Host to plug-in: ProcessEvents, EditDraw, SetChunk,
    // SetSpeakerArrangement.
    void decodeDispatcherCall (LineWriter& line, std::int32_t opcode, std::int32_t index,
                               VstIntPtr value, void* ptr, float opt) noexcept;
    // [any thread, realtime] GetChunk, Get{Input,Output}Properties,
    // GetParameterProperties, GetSpeakerArrangement.
    void decodeDispatcherReturn (LineWriter& line, std::int32_t opcode, std::int32_t index,
                                 VstIntPtr value, void* ptr, VstIntPtr result) noexcept;
    // [any thread, realtime] Plug-in to host: GetTime's request, ProcessEvents, SetTime.
    void decodeAudioMasterCall (LineWriter& line, std::int32_t opcode, std::int32_t index,
                                VstIntPtr value, void* ptr, float opt) noexcept;
    // [any thread, realtime] GetTime's answer.
    void decodeAudioMasterReturn (LineWriter& line, std::int32_t opcode, std::int32_t index,
                                  VstIntPtr value, void* ptr, VstIntPtr result) noexcept;

    // [any thread, realtime] CRC-32 as zlib computes it (IEEE, reflected,
    // inverted); pass the previous result to continue a running one.
    std::uint32_t crc32 (const void* data, std::size_t size, std::uint32_t previous = 0) noexcept;
}
