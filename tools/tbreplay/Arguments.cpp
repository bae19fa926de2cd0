#include "Arguments.h"
#include "log/OpCodeCatalogue.h"
#include "log/VstStructures.h"
#include "record/RecordPayload.h"

#include <cstring>

using namespace recording;

namespace tbreplay
{
namespace
{
    // Room a plug-in may write an answer into: more than any host gives.
    constexpr std::size_t answerRoom = 64 * 1024;
    constexpr std::size_t maxZeros = 64u << 20;
    constexpr std::int32_t editOpen = 14; // given a window of our own instead

    const OpCodeDescriptor* dispatcherRow (std::int32_t opcode)
    {
        return (std::uint32_t) opcode < (std::uint32_t) numDispatcherOpCodes ? &dispatcherOpCodes[opcode] : nullptr;
    }

    const RecordedEvent* answerOf (const CallNode& node)
    {
        return node.result;
    }
}

DispatcherArguments::DispatcherArguments (const CallNode& node, std::string& note)
{
    const auto& call = *node.call;
    const auto& header = call.header;
    const auto* row = dispatcherRow (header.opcode);
    value = (VstIntPtr) header.value;
    const bool pointerSet = (header.flags & flagPointerSet) != 0;

    if (header.payloadKind == payloadTooLarge)
        note = "its " + std::to_string (header.payloadSize) + " bytes were too large to record: zeros in their place";

    switch (header.opcode)
    {
        case recordPayload::processEvents:         events (call, note); return;
        case recordPayload::setSpeakerArrangement: arrangements (call, note); return;
        case recordPayload::getSpeakerArrangement:
            pointers.assign (2, nullptr);
            value = (VstIntPtr) &pointers[0];
            ptr = &pointers[1];
            return;
        case recordPayload::getChunk:
        case recordPayload::editGetRect:
            pointers.assign (1, nullptr);
            ptr = &pointers[0];
            return;
        default:
            break;
    }

    if (! pointerSet)
        return;

    // Texts, chunks and structures in; room for what comes out. A chunk too
    // large to record is replayed as zeros, of its size up to a bound.
    const std::size_t left = header.payloadKind == payloadTooLarge ? std::min<std::size_t> (header.payloadSize, maxZeros) : 0;

    if (header.opcode == recordPayload::setChunk && header.payloadKind == payloadTooLarge)
        value = (VstIntPtr) left;

    scratch.assign (std::max (answerRoom, left) + 1, 0);
    if (! call.payload.empty())
        std::memcpy (scratch.data(), call.payload.data(), std::min (call.payload.size(), scratch.size() - 1));
    ptr = scratch.data();
    outputText = row != nullptr && row->pointerKind == kindString && row->pointerIsOutput;

    if (row != nullptr && (row->pointerKind == kindOpaque || row->pointerKind == kindWindow) && header.opcode != recordPayload::setChunk
        && header.opcode != editOpen)
        note = "its pointer is replayed as a zeroed buffer";
}

void DispatcherArguments::events (const RecordedEvent& call, std::string& note)
{
    std::vector<std::uint32_t> dumps;

    if (! recordedPayload::events (call, pieces, dumps))
    {
        note = "its events could not be read back";
        return;
    }

    // VstEvents: the count, a reserved word, then one pointer per event.
    scratch.assign (offsetof (VstEvents, events) + std::max<std::size_t> (2, pieces.size()) * sizeof (void*), 0);
    auto* list = reinterpret_cast<VstEvents*> (scratch.data());
    list->numEvents = (std::int32_t) pieces.size();
    // The list runs past the declared two: addressed from the start of the room, not through the array.
    auto** slots = reinterpret_cast<VstEvent**> (scratch.data() + offsetof (VstEvents, events));

    for (std::size_t i = 0; i < pieces.size(); ++i)
    {
        auto& bytes = pieces[i];
        bytes.resize (std::max (bytes.size(), sizeof (VstMidiSysexEvent)));
        auto* event = reinterpret_cast<VstEvent*> (bytes.data());
        slots[i] = event;

        // A SysEx event's dump follows its header: point it there again.
        if (event->type == kVstSysExType && dumps[i] > 0)
            reinterpret_cast<VstMidiSysexEvent*> (event)->sysexDump = reinterpret_cast<char*> (bytes.data() + sizeof (VstMidiSysexEvent));
    }

    ptr = list;
}

void DispatcherArguments::arrangements (const RecordedEvent& call, std::string& note)
{
    pieces.assign (2, {});

    if (! recordedPayload::arrangements (call, pieces[0], pieces[1]))
    {
        note = "its speaker arrangements could not be read back";
        return;
    }

    value = pieces[0].empty() ? 0 : (VstIntPtr) pieces[0].data();
    ptr = pieces[1].empty() ? nullptr : pieces[1].data();
}

std::string DispatcherArguments::writtenText() const
{
    if (! outputText || scratch.empty())
        return {};

    const auto* text = reinterpret_cast<const char*> (scratch.data());
    return std::string (text, strnlen (text, scratch.size()));
}

const ERect* DispatcherArguments::writtenRectangle() const noexcept
{
    return pointers.empty() ? nullptr : static_cast<const ERect*> (pointers[0]);
}

VstIntPtr answerFromRecording (const CallNode& callback, void* ptr, std::string& note)
{
    const auto* answer = answerOf (callback);

    if (answer == nullptr)
    {
        note = "the recorded callback never returned: answered 0";
        return 0;
    }

    const auto opcode = callback.call->header.opcode;
    const auto result = (VstIntPtr) answer->header.result;

    // Answers that are pointers: to the recording's own copy, which lives as long as the replay.
    switch (opcode)
    {
        case recordPayload::hostGetTime:
            return answer->header.payloadKind == payloadTimeInfo && answer->payload.size() >= sizeof (VstTimeInfo)
                       ? (VstIntPtr) answer->payload.data() : 0;
        case recordPayload::hostGetDirectory:
            return answer->header.payloadKind == payloadText ? (VstIntPtr) callback.resultText.c_str() : 0;
        case recordPayload::hostGetInputSpeakerArrangement:
            // The first of the payload's two arrangements, after its size.
            return answer->payload.size() > sizeof (std::uint32_t) ? (VstIntPtr) (answer->payload.data() + sizeof (std::uint32_t)) : 0;
        case 20: // GetPreviousPlug
        case 21: // GetNextPlug
            if (result != 0)
                note = "the host's other plug-ins are not replayed: answered 0";
            return 0;
        default:
            break;
    }

    // A text the host wrote for the plug-in (vendor, product).
    if (answer->header.payloadKind == payloadText && ptr != nullptr)
    {
        const auto size = std::min<std::size_t> (answer->payload.size(), 63);

        if (size > 0)
            std::memcpy (ptr, answer->payload.data(), size);

        static_cast<char*> (ptr)[size] = 0;
    }

    return result;
}

bool isEditorCall (const RecordHeader& header) noexcept
{
    const auto opcode = header.opcode;
    return header.function == recording::recordedDispatcher && ((opcode >= 13 && opcode <= 21) || (opcode >= 59 && opcode <= 61));
}
}
