#include "RecordPayload.h"
#include "../log/OpCodeCatalogue.h"
#include "../log/StructureDecoder.h"
#include "../log/VstStructures.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

using namespace recording;

namespace
{
    // What a callee wrote: as far as the room hosts commonly give.
    constexpr std::size_t maxOutputText = 256;

    std::size_t boundedLength (const void* text, std::size_t limit) noexcept
    {
        const auto* end = static_cast<const char*> (std::memchr (text, 0, limit));
        return end != nullptr ? (std::size_t) (end - static_cast<const char*> (text)) : limit;
    }

    Payload text (const void* ptr, std::size_t limit) noexcept
    {
        if (ptr == nullptr)
            return {};

        return { payloadText, ptr, boundedLength (ptr, limit) };
    }

    Payload structure (const void* ptr, std::size_t size) noexcept
    {
        if (ptr == nullptr || size == 0)
            return {};

        return { payloadStructure, ptr, size };
    }

    Payload bytes (const void* ptr, VstIntPtr size) noexcept
    {
        if (ptr == nullptr || size <= 0)
            return {};

        return { payloadBytes, ptr, (std::size_t) size };
    }

    Payload events (const void* ptr) noexcept
    {
        return ptr != nullptr ? Payload { payloadEvents, ptr } : Payload {};
    }

    std::size_t arrangementSize (const void* ptr) noexcept
    {
        if (ptr == nullptr)
            return 0;

        const auto channels = static_cast<const VstSpeakerArrangement*> (ptr)->numChannels;
        const auto counted = channels < 0 || channels > StructureDecoder::maxPlausibleChannels ? 0 : channels;
        return offsetof (VstSpeakerArrangement, speakers) + (std::size_t) counted * sizeof (VstSpeakerProperties);
    }

    Payload arrangements (const void* input, const void* output) noexcept
    {
        if (input == nullptr && output == nullptr)
            return {};

        Payload payload { payloadArrangements, input };
        payload.second = output;
        return payload;
    }

    template <typename Pointer>
    const void* through (const void* ptr) noexcept
    {
        return ptr != nullptr ? *static_cast<Pointer const*> (ptr) : nullptr;
    }

    std::int32_t eventCount (const VstEvents& list) noexcept
    {
        return list.numEvents < 0 ? 0 : std::min (list.numEvents, StructureDecoder::maxPlausibleEvents);
    }

    // An event's bytes as the interface lays them out; a SysEx event's dump follows its header.
    std::size_t eventSize (const VstEvent& event) noexcept
    {
        return event.type == kVstMidiType ? sizeof (VstMidiEvent)
             : event.type == kVstSysExType ? sizeof (VstMidiSysexEvent)
                                           : sizeof (VstEvent);
    }

    std::uint32_t dumpSize (const VstEvent& event) noexcept
    {
        if (event.type != kVstSysExType)
            return 0;

        const auto& sysex = reinterpret_cast<const VstMidiSysexEvent&> (event);
        return sysex.sysexDump != nullptr && sysex.dumpBytes > 0 ? (std::uint32_t) std::min<std::int64_t> (sysex.dumpBytes, maxPayloadBytes) : 0;
    }

    class CountingSink final : public PayloadSink
    {
    public:
        void put (const void*, std::size_t size) noexcept override { total += size; }
        std::size_t total = 0;
    };

    void putWord (PayloadSink& sink, std::uint32_t word) noexcept
    {
        sink.put (&word, sizeof (word));
    }

    void writeEvents (PayloadSink& sink, const VstEvents& list) noexcept
    {
        const auto count = eventCount (list);
        putWord (sink, (std::uint32_t) count);
        // The sender allocates the list past the declared two.
        const auto* const* events = reinterpret_cast<const VstEvent* const*> (reinterpret_cast<const char*> (&list) + offsetof (VstEvents, events));

        for (std::int32_t i = 0; i < count; ++i)
        {
            const auto* event = events[i];

            if (event == nullptr)
            {
                putWord (sink, 0);
                putWord (sink, 0);
                continue;
            }

            const auto dump = dumpSize (*event);
            putWord (sink, (std::uint32_t) eventSize (*event));
            putWord (sink, dump);
            sink.put (event, eventSize (*event));

            if (dump > 0)
                sink.put (reinterpret_cast<const VstMidiSysexEvent*> (event)->sysexDump, dump);
        }
    }

    void writeAudio (PayloadSink& sink, const Payload& audio) noexcept
    {
        const AudioHeader header { audio.channels, audio.frames, audio.bytesPerSample, 0 };
        sink.put (&header, sizeof (header));
        const auto* channels = static_cast<void* const*> (audio.first);
        const auto channelBytes = (std::size_t) audio.frames * audio.bytesPerSample;
        static const std::uint8_t silence[4096] {};

        for (std::uint32_t c = 0; c < audio.channels; ++c)
        {
            if (channels[c] != nullptr)
            {
                sink.put (channels[c], channelBytes);
                continue;
            }

            // A host that leaves a channel null: silence in its place.
            for (auto left = channelBytes; left > 0; left -= std::min (left, sizeof (silence)))
                sink.put (silence, std::min (left, sizeof (silence)));
        }
    }

    const OpCodeDescriptor& dispatcherRow (std::int32_t opcode) noexcept
    {
        static constexpr OpCodeDescriptor unknown {};
        return (std::uint32_t) opcode < (std::uint32_t) numDispatcherOpCodes ? dispatcherOpCodes[opcode] : unknown;
    }

    const OpCodeDescriptor& audioMasterRow (std::int32_t opcode) noexcept
    {
        static constexpr OpCodeDescriptor unknown {};
        return (std::uint32_t) opcode < (std::uint32_t) numAudioMasterOpCodes ? audioMasterOpCodes[opcode] : unknown;
    }

    std::size_t structureSize (std::int32_t kind) noexcept
    {
        switch (kind)
        {
            case kindRect:                return sizeof (ERect);
            case kindPinProperties:       return sizeof (VstPinProperties);
            case kindParameterProperties: return sizeof (VstParameterProperties);
            case kindMidiProgramName:     return sizeof (MidiProgramName);
            case kindMidiProgramCategory: return sizeof (MidiProgramCategory);
            case kindMidiKeyName:         return sizeof (MidiKeyName);
            case kindPatchChunkInfo:      return sizeof (VstPatchChunkInfo);
            default:                      return 0;
        }
    }
}

void Payload::writeTo (PayloadSink& sink) const noexcept
{
    switch (kind)
    {
        case payloadText:
        case payloadBytes:
        case payloadStructure:
            sink.put (first, size);
            break;

        case payloadTimeInfo:
            sink.put (first, sizeof (VstTimeInfo));
            break;

        case payloadEvents:
            writeEvents (sink, *static_cast<const VstEvents*> (first));
            break;

        case payloadArrangements:
            for (const auto* arrangement : { first, second })
            {
                const auto bytes = arrangementSize (arrangement);
                putWord (sink, (std::uint32_t) bytes);
                sink.put (arrangement, bytes);
            }
            break;

        case payloadAudio:
            writeAudio (sink, *this);
            break;

        default:
            break;
    }
}

std::size_t Payload::measure() const noexcept
{
    if (kind == payloadTooLarge)
        return 0;

    CountingSink counter;

    if (kind == payloadAudio)
        counter.total = sizeof (AudioHeader) + (std::size_t) channels * frames * bytesPerSample;
    else if (kind == payloadEvents)
        writeEvents (counter, *static_cast<const VstEvents*> (first));
    else
        writeTo (counter);

    return counter.total;
}

namespace recordPayload
{
    Payload ofDispatcherCall (std::int32_t opcode, VstIntPtr value, void* ptr) noexcept
    {
        const auto& row = dispatcherRow (opcode);

        switch (opcode)
        {
            case setChunk:              return bytes (ptr, value);
            case processEvents:         return events (ptr);
            case setSpeakerArrangement: return arrangements (reinterpret_cast<const void*> (value), ptr);
            default:                    break;
        }

        if (row.pointerKind == kindString && ! row.pointerIsOutput)
            return text (ptr, maxTextBytes);

        // In and out: the host fills the index the plug-in answers for.
        return structure (ptr, row.pointerKind == kindPinProperties || row.pointerKind == kindParameterProperties
                                   ? 0 : structureSize (row.pointerKind));
    }

    Payload ofDispatcherReturn (std::int32_t opcode, VstIntPtr value, void* ptr, VstIntPtr result) noexcept
    {
        const auto& row = dispatcherRow (opcode);

        switch (opcode)
        {
            case getChunk:              return bytes (through<void*> (ptr), result);
            case editGetRect:           return structure (through<ERect*> (ptr), sizeof (ERect));
            case getSpeakerArrangement: return arrangements (through<VstSpeakerArrangement*> (reinterpret_cast<const void*> (value)),
                                                             through<VstSpeakerArrangement*> (ptr));
            default:                    break;
        }

        if (row.pointerKind == kindString && row.pointerIsOutput)
            return text (ptr, maxOutputText);

        if (row.pointerKind == kindRect || row.pointerKind == kindPatchChunkInfo)
            return {};

        return structure (ptr, structureSize (row.pointerKind));
    }

    Payload ofHostCall (std::int32_t opcode, void* ptr) noexcept
    {
        if (opcode == hostProcessEvents)
            return events (ptr);

        if (opcode == hostSetTime)
            return ptr != nullptr ? Payload { payloadTimeInfo, ptr } : Payload {};

        const auto& row = audioMasterRow (opcode);
        return row.pointerKind == kindString && ! row.pointerIsOutput ? text (ptr, maxTextBytes) : Payload {};
    }

    Payload ofHostReturn (std::int32_t opcode, void* ptr, VstIntPtr result) noexcept
    {
        const auto* answer = reinterpret_cast<const void*> (result);

        switch (opcode)
        {
            case hostGetTime:                    return answer != nullptr ? Payload { payloadTimeInfo, answer } : Payload {};
            case hostGetDirectory:               return text (answer, maxTextBytes);
            case hostGetInputSpeakerArrangement: return arrangements (answer, nullptr);
            default:                             break;
        }

        const auto& row = audioMasterRow (opcode);
        return row.pointerKind == kindString && row.pointerIsOutput ? text (ptr, maxOutputText) : Payload {};
    }

    Payload ofAudio (void* const* channels, std::int32_t numChannels, std::int32_t frames, std::uint32_t bytesPerSample) noexcept
    {
        if (channels == nullptr || numChannels <= 0 || frames <= 0 || (std::uint32_t) numChannels > maxAudioChannels)
            return {};

        Payload payload { payloadAudio, channels };
        payload.channels = (std::uint32_t) numChannels;
        payload.frames = (std::uint32_t) frames;
        payload.bytesPerSample = bytesPerSample;
        return payload;
    }

    Payload ofText (const char* path) noexcept
    {
        return text (path, maxTextBytes);
    }
}
