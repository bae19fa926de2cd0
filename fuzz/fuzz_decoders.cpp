// libFuzzer: the structure decoders on records a hostile host or plug-in
// builds from the input: any count (negative, huge), null fields, sizes past
// the end. Every record is its own heap block, exactly as large as what the
// decoder may read of it (its type's size, or the count bounded by the
// decoder's read limits), so that a read one byte further shows up under
// ASan; the line must stay within the logger's limit.
#include "log/StructureDecoder.h"
#include "log/TBLogger.h"
#include "log/VstStructures.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

namespace
{
using namespace StructureDecoder;

volatile unsigned lineChecksum = 0;

class RecordBuilder
{
public:
    explicit RecordBuilder (FuzzedDataProvider& source) : input (source) {}

    // A block of exactly `size` bytes, filled from the input.
    unsigned char* block (std::size_t size)
    {
        blocks.emplace_back (new unsigned char[size > 0 ? size : 1]);
        auto* bytes = blocks.back().get();
        const auto filled = input.ConsumeData (bytes, size);
        std::memset (bytes + filled, 0, size - filled);
        return bytes;
    }

    template <typename T>
    void store (unsigned char* at, T value) { std::memcpy (at, &value, sizeof (value)); }

    std::int32_t count (std::int32_t small)
    {
        switch (input.ConsumeIntegralInRange (0, 3))
        {
            case 0:  return input.ConsumeIntegralInRange<std::int32_t> (0, small);
            case 1:  return -input.ConsumeIntegralInRange<std::int32_t> (1, 1 << 30);
            case 2:  return input.ConsumeIntegral<std::int32_t>();
            default: return input.ConsumeIntegralInRange<std::int32_t> (0, 3);
        }
    }

    std::int32_t entriesFor (std::int32_t count, std::int32_t plausible, int readLimit)
    {
        return (count <= 0 || count > plausible) ? 0 : std::min (count, readLimit);
    }

    void* event()
    {
        if (input.ConsumeBool() && input.ConsumeBool())
            return nullptr;

        const auto kind = input.ConsumeIntegralInRange (0, 2);
        const std::int32_t type = kind == 0 ? kVstMidiType : kind == 1 ? kVstSysExType : input.ConsumeIntegral<std::int32_t>();
        const bool isMidi = type == kVstMidiType, isSysex = type == kVstSysExType;
        auto* e = block (isMidi ? sizeof (VstMidiEvent) : isSysex ? sizeof (VstMidiSysexEvent) : offsetof (VstEvent, data));
        store (e, type);

        if (isSysex)
        {
            const auto dumpBytes = count (40);
            const auto shown = std::min (std::max (dumpBytes, 0), maxBytesShown);
            store (e + offsetof (VstMidiSysexEvent, dumpBytes), dumpBytes);
            store (e + offsetof (VstMidiSysexEvent, sysexDump), input.ConsumeBool() ? (void*) block ((std::size_t) shown) : nullptr);
        }

        return e;
    }

    void* events()
    {
        const auto numEvents = count (2 * maxEventsRead);
        const auto entries = entriesFor (numEvents, maxPlausibleEvents, maxEventsRead);
        auto* list = block (offsetof (VstEvents, events) + (std::size_t) entries * sizeof (void*));
        store (list, numEvents);

        for (std::int32_t i = 0; i < entries; ++i)
            store (list + offsetof (VstEvents, events) + (std::size_t) i * sizeof (void*), event());

        return list;
    }

    void* arrangement()
    {
        if (input.ConsumeIntegralInRange (0, 7) == 0)
            return nullptr;

        const auto numChannels = count (2 * maxSpeakersRead);
        const auto entries = entriesFor (numChannels, maxPlausibleChannels, maxSpeakersRead);
        auto* a = block (offsetof (VstSpeakerArrangement, speakers) + (std::size_t) entries * sizeof (VstSpeakerProperties));
        store (a + offsetof (VstSpeakerArrangement, numChannels), numChannels);
        return a;
    }

    // A slot holding a pointer, as the host's variable behind a T** argument.
    void* slotFor (void* target)
    {
        auto* slot = block (sizeof (void*));
        store (slot, target);
        return slot;
    }

    FuzzedDataProvider& input;

private:
    std::vector<std::unique_ptr<unsigned char[]>> blocks;
};

void checkLine (LineWriter& line, std::size_t prefixLength)
{
    const auto length = line.length();
    const char* text = line.text();

    if (length > (std::size_t) TBLogger::maxLineLength || length < prefixLength)
        std::abort();

    if (length > prefixLength && text[length - 1] != '}')
        std::abort();

    unsigned sum = 0;

    for (std::size_t i = 0; i < length; ++i)
        sum += (unsigned char) text[i];

    lineChecksum = lineChecksum + sum;
}

void decodeOne (RecordBuilder& records)
{
    auto& input = records.input;
    char buffer[TBLogger::maxLineLength + 1];
    LineWriter line (buffer);
    const auto prefixLength = input.ConsumeIntegralInRange<std::size_t> (0, TBLogger::maxLineLength);

    for (std::size_t i = 0; i < prefixLength; ++i)
        line.appendChar (i % 7 == 0 ? ' ' : 'x');

    const bool fromHost = input.ConsumeBool();
    const bool isReturn = input.ConsumeBool();
    VstIntPtr value = input.ConsumeIntegral<VstIntPtr>();
    VstIntPtr result = input.ConsumeIntegralInRange<VstIntPtr> (-1, 2);
    void* ptr = nullptr;
    std::int32_t opcode = 0;

    static constexpr std::int32_t hostOpcodes[] = { 16, 23, 24, 25, 33, 34, 42, 56, 69 };
    static constexpr std::int32_t pluginOpcodes[] = { 7, 8, 9 };

    if (input.ConsumeIntegralInRange (0, 15) == 0)
        opcode = input.ConsumeIntegralInRange<std::int32_t> (-2, 80); // any, with ptr null: nothing to follow
    else if (fromHost)
        opcode = hostOpcodes[input.ConsumeIntegralInRange<std::size_t> (0, std::size (hostOpcodes) - 1)];
    else
        opcode = pluginOpcodes[input.ConsumeIntegralInRange<std::size_t> (0, std::size (pluginOpcodes) - 1)];

    // A null record: whatever else carries a pointer for the opcode is null too.
    const bool nullPointer = input.ConsumeIntegralInRange (0, 9) == 0;

    if (nullPointer && (opcode == 42 || opcode == 69))
        value = 0;

    if (nullPointer && opcode == 7)
        result = 0;

    switch (nullPointer ? -1 : opcode)
    {
        case 8:
        case 25: ptr = records.events(); break;
        case 9:  ptr = records.block (sizeof (VstTimeInfo)); break;
        case 7:  result = input.ConsumeBool() ? (VstIntPtr) records.block (sizeof (VstTimeInfo)) : 0; break;
        case 16: ptr = records.block (sizeof (ERect)); break;
        case 33:
        case 34: ptr = records.block (offsetof (VstPinProperties, future)); break;
        case 56: ptr = records.block (offsetof (VstParameterProperties, future)); break;
        case 42:
            value = (VstIntPtr) records.arrangement();
            ptr = records.arrangement();
            break;
        case 69:
            value = input.ConsumeBool() ? (VstIntPtr) records.slotFor (records.arrangement()) : 0;
            ptr = input.ConsumeBool() ? records.slotFor (records.arrangement()) : nullptr;
            break;
        case 23:
        case 24:
        {
            const auto size = input.ConsumeIntegralInRange<std::size_t> (0, 4096);
            auto* data = records.block (size);
            const auto claimed = input.ConsumeBool() ? (VstIntPtr) size : -(VstIntPtr) input.ConsumeIntegral<std::uint16_t>();
            (opcode == 23 ? result : value) = claimed;
            ptr = opcode == 23 ? records.slotFor (input.ConsumeBool() ? data : nullptr) : data;
            break;
        }
        default: break;
    }

    if (fromHost)
    {
        if (isReturn)
            decodeDispatcherReturn (line, opcode, 0, value, ptr, result);
        else
            decodeDispatcherCall (line, opcode, 0, value, ptr, 0.0f);
    }
    else
    {
        if (isReturn)
            decodeAudioMasterReturn (line, opcode, 0, value, ptr, result);
        else
            decodeAudioMasterCall (line, opcode, 0, value, ptr, 0.0f);
    }

    checkLine (line, prefixLength);
}
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input (data, size);

    while (input.remaining_bytes() > 0)
    {
        RecordBuilder records (input);
        decodeOne (records);
    }

    return 0;
}
