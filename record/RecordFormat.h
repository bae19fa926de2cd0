// The session recording's file format (docs/RECORDING.md describes it for
// readers of other programs): a file header, then records, each a fixed
// header and a payload, every record a multiple of 8 bytes long. Numbers are
// little-endian, as on every platform Tattlebox is built for. The recorder
// writes this layout, the reader checks it and tbreplay plays it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recording
{
    constexpr char magic[8] = { 'T', 'B', 'R', 'E', 'C', 'O', 'R', 'D' };
    // A reader takes files of its own major version; minor versions only add
    // record types, payload kinds and flags, which older readers skip.
    // 1.1: flagInPlace.
    constexpr std::uint16_t majorVersion = 1;
    constexpr std::uint16_t minorVersion = 1;

    struct FileHeader
    {
        char magic[8];
        std::uint16_t majorVersion;
        std::uint16_t minorVersion;
        std::uint16_t pointerBytes; // 4 or 8: the recording host's word size
        std::uint16_t flags;        // fileHasAudio
        std::uint32_t processId;
        std::uint32_t reserved;
        std::uint64_t startTime;    // milliseconds since 1970, UTC
    };

    constexpr std::uint16_t fileHasAudio = 1;

    enum RecordType : std::uint8_t
    {
        typeCall = 1,        // host to plug-in: a call and its arguments
        typeReturn = 2,      // its result
        typeHostCall = 3,    // plug-in to host (audioMaster)
        typeHostReturn = 4,  // its result
        typeThread = 5,      // a thread's first record: role and id
        typeTarget = 6,      // the plug-in's file (payload: its path as text)
        typeLost = 7,        // value: records the recorder had no room for
        typeEnd = 8          // the session ended with Close
    };

    // What a call's function was; the dispatcher's and audioMaster's opcodes
    // are those of the call log's catalogue.
    // 0 is the plug-in's entry ("main"); then 1, 2, 3... in this order.
    enum Function : std::uint8_t
    {
        recordedEntry, recordedDispatcher, recordedAudioMaster, recordedProcess, recordedProcessReplacing,
        recordedProcessDoubleReplacing, recordedSetParameter, recordedGetParameter
    };

    enum PayloadKind : std::uint16_t
    {
        payloadNone = 0,
        payloadText = 1,          // bytes without their terminator
        payloadBytes = 2,         // a chunk
        payloadEvents = 3,        // count, then per event: its size and bytes (MIDI, SysEx dump after its header)
        payloadTimeInfo = 4,      // a VstTimeInfo
        payloadArrangements = 5,  // two: size and bytes of each (input, output); size 0: none
        payloadStructure = 6,     // a fixed structure as the interface lays it out
        payloadAudio = 7,         // channels, frames, bytes per sample, then each channel's samples
        payloadTooLarge = 8       // none of it: payloadSize says how large it was
    };

    // Every record starts so; size includes header and payload, and check is
    // the CRC-32 of the whole record with check itself taken as 0.
    struct RecordHeader
    {
        std::uint32_t size;
        std::uint32_t check;
        std::uint8_t type;
        std::uint8_t function;
        std::uint16_t role;       // the thread: 0 is the first one recorded, and so on
        std::uint16_t payloadKind;
        std::uint16_t flags;      // flagResultIsFloat, flagPointerSet, flagInPlace
        std::uint64_t sequence;   // the call's number; a return carries its call's
        std::int32_t opcode;
        std::int32_t index;       // setParameter's and getParameter's index too
        std::int64_t value;       // a block's frame count; a thread record's id
        float opt;                // setParameter's value
        std::uint32_t payloadSize; // bytes after the header (payloadTooLarge: those left out)
        std::int64_t result;      // returns: the result (getParameter: the float's bits)
    };

    constexpr std::uint16_t flagResultIsFloat = 1;
    constexpr std::uint16_t flagPointerSet = 2;   // the call's ptr was not null
    // A block's call: each output channel is the input channel of its number
    // (the host processes in place), as far as both go. Some plug-ins read
    // their input after writing their output, and sound different for it.
    constexpr std::uint16_t flagInPlace = 4;

    static_assert (sizeof (FileHeader) == 32, "file header layout");
    static_assert (sizeof (RecordHeader) == 56 && offsetof (RecordHeader, sequence) == 16
                       && offsetof (RecordHeader, result) == 48, "record header layout");

    constexpr std::uint32_t padded (std::size_t size) noexcept
    {
        return (std::uint32_t) ((size + 7) & ~(std::size_t) 7);
    }

    // Payload limits: larger payloads are recorded as payloadTooLarge.
    constexpr std::uint32_t maxPayloadBytes = 4u << 20;
    constexpr std::uint32_t maxTextBytes = 64u << 10;
    constexpr std::uint32_t maxAudioChannels = 64;

    struct AudioHeader
    {
        std::uint32_t channels;
        std::uint32_t frames;
        std::uint32_t bytesPerSample; // 4 or 8
        std::uint32_t reserved;
    };
}
