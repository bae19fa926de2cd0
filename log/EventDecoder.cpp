// The event lists of ProcessEvents, both ways: MIDI, SysEx and any other
// event by its type and size.
#include "StructureDecoder.h"
#include "StructureFormat.h"
#include "VstStructures.h"

#include <cstring>

namespace StructureDecoder
{
namespace
{
    using namespace StructureFormat;

    const FlagName midiEventFlags[] = { { kVstMidiEventIsRealtime, "realtime" } };

    //==============================================================================
    // One MIDI event's text, at most about 150 bytes, put together without a
    // bound check per piece and handed to the line in one go: these lines
    // come from audio threads at every block.
    class Scratch
    {
    public:
        template <std::size_t size>
        void literal (const char (&text)[size]) noexcept
        {
            for (std::size_t i = 0; i + 1 < size; ++i)
                *p++ = text[i];
        }

        void decimal (std::int64_t value) noexcept
        {
            auto magnitude = value < 0 ? 0 - static_cast<std::uint64_t> (value) : static_cast<std::uint64_t> (value);
            char digits[24];
            int n = 0;

            do
            {
                digits[n++] = static_cast<char> ('0' + magnitude % 10);
                magnitude /= 10;
            }
            while (magnitude != 0);

            if (value < 0)
                *p++ = '-';

            while (n > 0)
                *p++ = digits[--n];
        }

        void hexPair (unsigned byte) noexcept
        {
            *p++ = "0123456789ABCDEF"[(byte >> 4) & 15];
            *p++ = "0123456789ABCDEF"[byte & 15];
        }

        void appendTo (LineWriter& line) const noexcept { line.appendKnownLength (text, static_cast<std::size_t> (p - text)); }

    private:
        char text[192];
        char* p = text;
    };

    void appendMidiEvent (LineWriter& line, const VstMidiEvent& event) noexcept
    {
        Scratch s;
        s.literal ("midi delta=");
        s.decimal (event.deltaFrames);

        unsigned char bytes[3];
        std::memcpy (bytes, event.midiData, sizeof (bytes));

        for (auto byte : bytes)
        {
            s.literal (" ");
            s.hexPair (byte);
        }

        const int status = bytes[0], first = bytes[1] & 0x7f, second = bytes[2] & 0x7f;

        const auto channel = [&] { s.literal (" channel="); s.decimal ((status & 15) + 1); };

        switch (status >> 4)
        {
            case 0x8: s.literal (" NoteOff"); channel(); s.literal (" key="); s.decimal (first); s.literal (" velocity="); s.decimal (second); break;
            case 0x9: s.literal (" NoteOn"); channel(); s.literal (" key="); s.decimal (first); s.literal (" velocity="); s.decimal (second); break;
            case 0xa: s.literal (" PolyPressure"); channel(); s.literal (" key="); s.decimal (first); s.literal (" pressure="); s.decimal (second); break;
            case 0xb: s.literal (" CC"); channel(); s.literal (" number="); s.decimal (first); s.literal (" value="); s.decimal (second); break;
            case 0xc: s.literal (" ProgramChange"); channel(); s.literal (" program="); s.decimal (first); break;
            case 0xd: s.literal (" ChannelPressure"); channel(); s.literal (" pressure="); s.decimal (first); break;
            case 0xe: s.literal (" PitchBend"); channel(); s.literal (" value="); s.decimal (((second << 7) | first) - 8192); break;
            case 0xf: s.literal (" System"); break;
            default:  s.literal (" NoStatus"); break;
        }

        if (event.noteLength != 0)      { s.literal (" noteLength="); s.decimal (event.noteLength); }
        if (event.noteOffset != 0)      { s.literal (" noteOffset="); s.decimal (event.noteOffset); }
        if (event.detune != 0)          { s.literal (" detune="); s.decimal (static_cast<signed char> (event.detune)); }
        if (event.noteOffVelocity != 0) { s.literal (" noteOffVelocity="); s.decimal (static_cast<unsigned char> (event.noteOffVelocity)); }

        s.appendTo (line);

        if (event.flags != 0)
        {
            line.appendChar (' ');
            appendFlags (line, "flags", event.flags, midiEventFlags);
        }
    }

    void appendSysexEvent (LineWriter& line, const VstMidiSysexEvent& event) noexcept
    {
        appendNumber (line, "sysex delta", event.deltaFrames);
        appendNumber (line, " dumpBytes", event.dumpBytes);

        if (event.dumpBytes <= 0)
            return;

        if (event.sysexDump == nullptr)
            return line.append (" sysexDump=null");

        unsigned char bytes[maxBytesShown];
        const auto count = event.dumpBytes < maxBytesShown ? static_cast<std::size_t> (event.dumpBytes) : sizeof (bytes);
        std::memcpy (bytes, event.sysexDump, count);
        line.appendChar (' ');
        appendBytes (line, bytes, count);

        if (event.dumpBytes > maxBytesShown)
            line.append (" \xe2\x80\xa6");
    }

    void appendEvent (LineWriter& line, const void* event) noexcept
    {
        if (event == nullptr)
            return line.append ("null");

        const auto header = copyOf<VstEvent> (event, offsetof (VstEvent, data));

        if (header.type == kVstMidiType)
            return appendMidiEvent (line, copyOf<VstMidiEvent> (event));

        if (header.type == kVstSysExType)
            return appendSysexEvent (line, copyOf<VstMidiSysexEvent> (event));

        appendNumber (line, "type", header.type);
        appendNumber (line, " byteSize", header.byteSize);
        appendNumber (line, " delta", header.deltaFrames);
    }
}

// [any thread, realtime]
void decodeEvents (LineWriter& line, const void* events) noexcept
{
    const auto numEvents = copyOf<std::int32_t> (events);
    const bool plausible = numEvents <= maxPlausibleEvents;
    Block block (line);

    block.item ([&]
    {
        appendNumber (line, "numEvents", numEvents);

        if (! plausible)
            line.append (" (implausible)");
    });

    if (numEvents <= 0 || ! plausible)
        return;

    const char* pointers = byteOffset (events, offsetof (VstEvents, events));

    for (std::int32_t i = 0; i < numEvents; ++i)
    {
        if (block.isCut() || i == maxEventsRead)
            return block.skip (numEvents - i);

        const auto event = copyOf<const void*> (pointers + static_cast<std::size_t> (i) * sizeof (void*));
        block.item ([&] { appendEvent (line, event); }, "; ");
    }
}
}
