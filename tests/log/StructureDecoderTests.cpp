// The structure decoders on records built the way hosts and plug-ins build
// them (64-bit layout), their cuts at the line limit and their bounds.
#include "log/StructureDecoder.h"
#include "log/TBLogger.h"
#include "log/VstStructures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

// fst.h has no includes of its own, so it can live in a namespace of its own.
namespace fst
{
#include <pluginterfaces/fst/fst.h>
}

namespace
{
using namespace StructureDecoder;

enum : std::int32_t
{
    effEditDraw = 16, effGetChunk = 23, effSetChunk = 24, effProcessEvents = 25, effGetInputProperties = 33,
    effSetSpeakerArrangement = 42, effGetParameterProperties = 56, effGetSpeakerArrangement = 69,
    audioMasterGetTime = 7, audioMasterProcessEvents = 8, audioMasterSetTime = 9
};

// A line with the logger's capacity (or another), holding the line's own text.
struct Line
{
    explicit Line (const std::string& prefix = "Call ", std::size_t capacity = TBLogger::maxLineLength)
        : buffer (capacity + 1), writer (buffer.data(), capacity)
    {
        writer.append (prefix.c_str());
    }

    std::string text() { return writer.text(); }

    std::vector<char> buffer;
    LineWriter writer;
};

std::string dispatcherCall (std::int32_t opcode, VstIntPtr value, void* ptr, Line line = Line())
{
    decodeDispatcherCall (line.writer, opcode, 0, value, ptr, 0.0f);
    return line.text();
}

std::string dispatcherReturn (std::int32_t opcode, VstIntPtr value, void* ptr, VstIntPtr result)
{
    Line line ("Return ");
    decodeDispatcherReturn (line.writer, opcode, 0, value, ptr, result);
    return line.text();
}

// A VstEvents with room for n pointers, as hosts allocate it.
struct EventList
{
    explicit EventList (std::vector<VstEvent*> events) : storage (offsetof (VstEvents, events) / sizeof (void*) + events.size() + 1)
    {
        auto* list = reinterpret_cast<VstEvents*> (storage.data());
        list->numEvents = static_cast<std::int32_t> (events.size());
        if (! events.empty())
            std::memcpy (reinterpret_cast<char*> (storage.data()) + offsetof (VstEvents, events), events.data(),
                         events.size() * sizeof (void*));
    }

    VstEvents* get() { return reinterpret_cast<VstEvents*> (storage.data()); }

    std::vector<void*> storage;
};

VstMidiEvent midi (std::int32_t delta, int status, int first, int second)
{
    VstMidiEvent e {};
    e.type = kVstMidiType;
    e.byteSize = sizeof (VstMidiEvent);
    e.deltaFrames = delta;
    e.midiData[0] = static_cast<char> (status);
    e.midiData[1] = static_cast<char> (first);
    e.midiData[2] = static_cast<char> (second);
    return e;
}

VstEvent* asEvent (void* e) { return static_cast<VstEvent*> (e); }
}

//==============================================================================
TEST (StructureDecoderEvents, MidiMessagesAreNamed)
{
    auto noteOn = midi (0, 0x90, 60, 100);
    auto noteOff = midi (12, 0x8f, 60, 64);
    noteOff.noteOffVelocity = 64;
    noteOff.flags = kVstMidiEventIsRealtime;
    auto cc = midi (1, 0xb2, 7, 127);
    cc.noteLength = 480;
    cc.noteOffset = -3;
    cc.detune = -10;
    auto program = midi (2, 0xc0, 5, 0);
    auto bendLow = midi (3, 0xe0, 0, 0), bendHigh = midi (3, 0xe0, 0x7f, 0x7f), bendCentre = midi (3, 0xe0, 0, 0x40);
    auto pressure = midi (4, 0xd1, 33, 0), poly = midi (4, 0xa1, 60, 20);
    auto clock = midi (5, 0xf8, 0, 0), running = midi (5, 0x3c, 0x40, 0);

    EventList list ({ asEvent (&noteOn), asEvent (&noteOff), asEvent (&cc), asEvent (&program) });
    EXPECT_EQ (dispatcherCall (effProcessEvents, 0, list.get(), Line ("effProcessEvents events=X ")),
               "effProcessEvents events=X {numEvents=4"
               "; midi delta=0 90 3C 64 NoteOn channel=1 key=60 velocity=100"
               "; midi delta=12 8F 3C 40 NoteOff channel=16 key=60 velocity=64 noteOffVelocity=64 flags=realtime"
               "; midi delta=1 B2 07 7F CC channel=3 number=7 value=127 noteLength=480 noteOffset=-3 detune=-10"
               "; midi delta=2 C0 05 00 ProgramChange channel=1 program=5}");

    EventList more ({ asEvent (&bendLow), asEvent (&bendHigh), asEvent (&bendCentre), asEvent (&pressure),
                      asEvent (&poly), asEvent (&clock), asEvent (&running) });
    Line line ("ProcessEvents");
    decodeAudioMasterCall (line.writer, audioMasterProcessEvents, 0, 0, more.get(), 0.0f);
    EXPECT_EQ (line.text(), "ProcessEvents {numEvents=7"
                            "; midi delta=3 E0 00 00 PitchBend channel=1 value=-8192"
                            "; midi delta=3 E0 7F 7F PitchBend channel=1 value=8191"
                            "; midi delta=3 E0 00 40 PitchBend channel=1 value=0"
                            "; midi delta=4 D1 21 00 ChannelPressure channel=2 pressure=33"
                            "; midi delta=4 A1 3C 14 PolyPressure channel=2 key=60 pressure=20"
                            "; midi delta=5 F8 00 00 System"
                            "; midi delta=5 3C 40 00 NoStatus}");
}

TEST (StructureDecoderEvents, SysexAndOtherEvents)
{
    unsigned char identity[] = { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 };
    unsigned char longDump[40] = { 0xf0 };
    longDump[39] = 0xf7;

    auto sysex = [] (std::int32_t delta, void* dump, std::int32_t size)
    {
        VstMidiSysexEvent e {};
        e.type = kVstSysExType;
        e.byteSize = sizeof (e);
        e.deltaFrames = delta;
        e.dumpBytes = size;
        e.sysexDump = static_cast<char*> (dump);
        return e;
    };

    auto shortOne = sysex (0, identity, 6), longOne = sysex (7, longDump, 40);
    auto nullDump = sysex (1, nullptr, 3), negative = sysex (2, identity, -5);
    VstEvent other { 3, 32, 9, 0, {} };

    EventList list ({ asEvent (&shortOne), asEvent (&longOne), asEvent (&nullDump), asEvent (&negative), &other, nullptr });
    EXPECT_EQ (dispatcherCall (effProcessEvents, 0, list.get()),
               "Call {numEvents=6"
               "; sysex delta=0 dumpBytes=6 F0 7E 7F 06 01 F7"
               "; sysex delta=7 dumpBytes=40 F0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \xe2\x80\xa6"
               "; sysex delta=1 dumpBytes=3 sysexDump=null"
               "; sysex delta=2 dumpBytes=-5"
               "; type=3 byteSize=32 delta=9"
               "; null}");
}

TEST (StructureDecoderEvents, CountsAreBounded)
{
    EventList empty ({});
    EXPECT_EQ (dispatcherCall (effProcessEvents, 0, empty.get()), "Call {numEvents=0}");

    empty.get()->numEvents = -1;
    EXPECT_EQ (dispatcherCall (effProcessEvents, 0, empty.get()), "Call {numEvents=-1}");

    // No pointer behind the count is followed (ASan would see it).
    empty.get()->numEvents = 2000000000;
    EXPECT_EQ (dispatcherCall (effProcessEvents, 0, empty.get()), "Call {numEvents=2000000000 (implausible)}");

    // With room to spare, still no more than maxEventsRead.
    auto note = midi (0, 0x90, 1, 2);
    EventList many (std::vector<VstEvent*> (100, asEvent (&note)));
    const auto text = dispatcherCall (effProcessEvents, 0, many.get(), Line ("Call ", 100000));
    std::size_t shown = 0;

    for (auto at = text.find ("; midi"); at != std::string::npos; at = text.find ("; midi", at + 1))
        ++shown;

    EXPECT_EQ (shown, (std::size_t) maxEventsRead);
    const std::string tail = "velocity=2 \xe2\x80\xa6 36 more}";
    EXPECT_EQ (text.substr (text.size() - tail.size()), tail);
}

// Whatever the room the line's own text leaves, the block is whole items,
// then the count of the rest, then "}", within the limit; or nothing at all.
TEST (StructureDecoderEvents, CutsAfterTheLastWholeItem)
{
    auto note = midi (0, 0x90, 60, 100);
    EventList list (std::vector<VstEvent*> (30, asEvent (&note)));
    const std::string item = "; midi delta=0 90 3C 64 NoteOn channel=1 key=60 velocity=100";

    for (std::size_t prefixLength = 0; prefixLength <= (std::size_t) TBLogger::maxLineLength; ++prefixLength)
    {
        const std::string prefix (prefixLength, 'x');
        const auto text = dispatcherCall (effProcessEvents, 0, list.get(), Line (prefix));
        SCOPED_TRACE (prefixLength);
        ASSERT_LE (text.size(), (std::size_t) TBLogger::maxLineLength);

        if (text == prefix)
        {
            EXPECT_GT (prefixLength, (std::size_t) TBLogger::maxLineLength - 30);
            continue;
        }

        std::string rest = text.substr (prefixLength);
        ASSERT_EQ (rest.back(), '}');
        std::size_t shown = 0;

        if (rest.rfind (" {numEvents=30", 0) == 0)
        {
            rest = rest.substr (14);

            while (rest.rfind (item, 0) == 0)
            {
                rest = rest.substr (item.size());
                ++shown;
            }
        }
        else
        {
            ASSERT_EQ (rest.rfind (" {", 0), 0u);
            rest = rest.substr (2);
            --shown; // the header itself was left out
        }

        if (shown == 30)
            EXPECT_EQ (rest, "}");
        else
            EXPECT_EQ (rest, " \xe2\x80\xa6 " + std::to_string (30 - shown) + " more}");
    }
}

//==============================================================================
TEST (StructureDecoderTime, ValidFieldsOnly)
{
    VstTimeInfo info {};
    info.samplePos = 48000.0;
    info.sampleRate = 48000.0;
    info.nanoSeconds = 123.0;
    info.ppqPos = 2.0;
    info.tempo = 120.0;
    info.barStartPos = -0.5;
    info.cycleStartPos = 1e13;
    info.timeSigNumerator = 3;
    info.timeSigDenominator = 4;
    info.smpteFrameRate = kVstSmpte25fps;
    info.samplesToNextClock = -12;
    info.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;

    Line line ("GetTime returned TimeInfo=1 ");
    decodeAudioMasterReturn (line.writer, audioMasterGetTime, 0, 0, nullptr, reinterpret_cast<VstIntPtr> (&info));
    EXPECT_EQ (line.text(), "GetTime returned TimeInfo=1 {flags=playing|ppqPosValid|tempoValid|timeSigValid"
                            " samplePos=48000.000000 sampleRate=48000.000000 ppqPos=2.000000 tempo=120.000000 timeSig=3/4}");

    info.flags = kVstTransportChanged | kVstNanosValid | kVstBarsValid | kVstCyclePosValid | kVstSmpteValid | kVstClockValid | 0x30000;
    info.samplePos = std::nan ("");
    Line set ("SetTime ");
    decodeAudioMasterCall (set.writer, audioMasterSetTime, 0, 0, &info, 0.0f);
    EXPECT_EQ (set.text(), "SetTime {flags=changed|nanosValid|barsValid|cyclePosValid|smpteValid|clockValid|0x30000"
                           " samplePos=nan sampleRate=48000.000000 nanoSeconds=123.000000 barStartPos=-0.500000"
                           " cycleStartPos=10000000000000.000000 cycleEndPos=0.000000 smpteOffset=0 smpteFrameRate=25fps"
                           " samplesToNextClock=-12}");
}

TEST (StructureDecoderTime, RequestMaskAndNoAnswer)
{
    Line request ("GetTime filter=1536 ");
    decodeAudioMasterCall (request.writer, audioMasterGetTime, 0, kVstPpqPosValid | kVstTempoValid, nullptr, 0.0f);
    EXPECT_EQ (request.text(), "GetTime filter=1536 {request=ppqPosValid|tempoValid}");

    Line none ("GetTime returned TimeInfo=0 ");
    decodeAudioMasterReturn (none.writer, audioMasterGetTime, 0, 0, nullptr, 0);
    EXPECT_EQ (none.text(), "GetTime returned TimeInfo=0 ");
}

//==============================================================================
namespace
{
// Storage for an arrangement of n speakers, as JUCE's hosting sizes it.
struct Arrangement
{
    Arrangement (std::int32_t type, std::vector<std::int32_t> speakers)
        : storage ((sizeof (VstSpeakerArrangement) + (speakers.size() > 8 ? speakers.size() - 8 : 0) * sizeof (VstSpeakerProperties)) / 8 + 1)
    {
        get()->type = type;
        get()->numChannels = static_cast<std::int32_t> (speakers.size());

        for (std::size_t i = 0; i < speakers.size(); ++i)
            get()->speakers[i].type = speakers[i];
    }

    VstSpeakerArrangement* get() { return reinterpret_cast<VstSpeakerArrangement*> (storage.data()); }

    std::vector<std::uint64_t> storage;
};
}

TEST (StructureDecoderSpeakers, SetAndGetArrangements)
{
    Arrangement stereo (kSpeakerArrStereo, { kSpeakerL, kSpeakerR });
    Arrangement surround (kSpeakerArr51, { kSpeakerL, kSpeakerR, kSpeakerC, kSpeakerLfe, kSpeakerLs, kSpeakerRs });

    EXPECT_EQ (dispatcherCall (effSetSpeakerArrangement, reinterpret_cast<VstIntPtr> (stereo.get()), surround.get()),
               "Call {input: type=stereo numChannels=2 speakers=L R; output: type=5.1 numChannels=6 speakers=L R C Lfe Ls Rs}");

    // The plug-in stores its own records' addresses where the host's pointers point.
    Arrangement odd (99, { 42, kSpeakerLfe2 });
    VstSpeakerArrangement* input = odd.get();
    VstSpeakerArrangement* output = nullptr;
    EXPECT_EQ (dispatcherReturn (effGetSpeakerArrangement, reinterpret_cast<VstIntPtr> (&input), &output, 1),
               "Return {input: type=99 numChannels=2 speakers=42 Lfe2; output: null}");
    EXPECT_EQ (dispatcherReturn (effGetSpeakerArrangement, reinterpret_cast<VstIntPtr> (&input), &output, 0), "Return ");

    stereo.get()->numChannels = -3;
    surround.get()->numChannels = 5000;
    EXPECT_EQ (dispatcherCall (effSetSpeakerArrangement, reinterpret_cast<VstIntPtr> (stereo.get()), surround.get()),
               "Call {input: type=stereo numChannels=-3; output: type=5.1 numChannels=5000 (implausible)}");
}

//==============================================================================
TEST (StructureDecoderProperties, PinsAndParameters)
{
    VstPinProperties pin {};
    std::memset (pin.label, 'A', sizeof (pin.label)); // no terminator
    std::memcpy (pin.shortLabel, "L\tR\"x\x7f", 6);
    pin.flags = kVstPinIsActive | kVstPinIsStereo;
    pin.arrangementType = kSpeakerArrStereo;
    std::memset (pin.future, 'Z', sizeof (pin.future));

    EXPECT_EQ (dispatcherReturn (effGetInputProperties, 0, &pin, 1),
               "Return {label=\"" + std::string (64, 'A') + "\" shortLabel=\"L?R?x?\" flags=active|stereo arrangementType=stereo}");
    EXPECT_EQ (dispatcherReturn (effGetInputProperties, 0, &pin, 0), "Return ");

    VstParameterProperties parameter {};
    std::strcpy (parameter.label, "Cutoff");
    std::strcpy (parameter.shortLabel, "Cut");
    std::strcpy (parameter.categoryLabel, "Filter");
    parameter.flags = kVstParameterUsesIntegerMinMax | kVstParameterSupportsDisplayIndex | kVstParameterSupportsDisplayCategory;
    parameter.minInteger = -10;
    parameter.maxInteger = 10;
    parameter.stepInteger = 99; // not flagged: not shown
    parameter.stepFloat = 0.5f;
    parameter.displayIndex = 3;
    parameter.category = 2;
    parameter.numParametersInCategory = 4;

    EXPECT_EQ (dispatcherReturn (effGetParameterProperties, 0, &parameter, 1),
               "Return {label=\"Cutoff\" shortLabel=\"Cut\" flags=integerMinMax|displayIndex|category minInteger=-10"
               " maxInteger=10 displayIndex=3 category=2 categoryLabel=\"Filter\" numParametersInCategory=4}");

    parameter.flags = kVstParameterIsSwitch | kVstParameterUsesFloatStep | kVstParameterUsesIntStep | kVstParameterCanRamp | 0x100;
    EXPECT_EQ (dispatcherReturn (effGetParameterProperties, 0, &parameter, 1),
               "Return {label=\"Cutoff\" shortLabel=\"Cut\" flags=switch|floatStep|intStep|canRamp|0x100 stepInteger=99"
               " largeStepInteger=0 stepFloat=0.500000 smallStepFloat=0.000000 largeStepFloat=0.000000}");
}

TEST (StructureDecoderProperties, EditorRectangle)
{
    ERect rect { 0, -5, 300, 400 };
    EXPECT_EQ (dispatcherCall (effEditDraw, 0, &rect), "Call {top=0 left=-5 bottom=300 right=400}");
}

//==============================================================================
TEST (StructureDecoderChunks, Crc32MatchesZlib)
{
    EXPECT_EQ (crc32 ("123456789", 9), 0xCBF43926u);
    EXPECT_EQ (crc32 ("The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
    EXPECT_EQ (crc32 ("", 0), 0u);
    EXPECT_EQ (crc32 ("\0", 1), 0xD202EF8Du);
    EXPECT_EQ (crc32 ("456789", 6, crc32 ("123", 3)), 0xCBF43926u);
}

// Against the polynomial bit by bit, which shares no table with the sliced
// one: every start within a step, every length through four steps, a running CRC.
TEST (StructureDecoderChunks, Crc32AtEveryAlignmentAndLength)
{
    const auto bitwise = [] (const unsigned char* bytes, std::size_t size)
    {
        std::uint32_t crc = 0xffffffffu;

        for (std::size_t i = 0; i < size * 8; ++i)
            crc = ((crc ^ (bytes[i / 8] >> (i % 8))) & 1) != 0 ? (crc >> 1) ^ 0xedb88320u : crc >> 1;

        return ~crc;
    };

    std::vector<unsigned char> data (4096 + 16);
    std::mt19937 random (5);

    for (auto& byte : data)
        byte = static_cast<unsigned char> (random());

    for (std::size_t start = 0; start < 16; ++start)
        for (std::size_t size = 0; size <= 64; ++size)
            ASSERT_EQ (crc32 (data.data() + start, size), bitwise (data.data() + start, size)) << start << " " << size;

    EXPECT_EQ (crc32 (data.data() + 1001, 3000, crc32 (data.data() + 3, 998)), bitwise (data.data() + 3, 3998));
}

TEST (StructureDecoderChunks, GetAndSetChunk)
{
    std::vector<unsigned char> data (20);

    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char> (i * 17);

    char crc[9];
    std::snprintf (crc, sizeof (crc), "%08X", (unsigned) crc32 (data.data(), data.size()));

    void* stored = data.data();
    EXPECT_EQ (dispatcherReturn (effGetChunk, 0, &stored, 20),
               std::string ("Return {size=20 crc32=") + crc + " bytes=00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \xe2\x80\xa6}");
    std::snprintf (crc, sizeof (crc), "%08X", (unsigned) crc32 (data.data(), 3));
    EXPECT_EQ (dispatcherCall (effSetChunk, 3, data.data()), std::string ("Call {byteSize=3 crc32=") + crc + " bytes=00 11 22}");
    EXPECT_EQ (dispatcherCall (effSetChunk, 0, data.data()), "Call {byteSize=0}");
    EXPECT_EQ (dispatcherCall (effSetChunk, -1, data.data()), "Call {byteSize=-1}");

    // No chunk, or no pointer stored: the host's variable may be anything.
    EXPECT_EQ (dispatcherReturn (effGetChunk, 0, &stored, 0), "Return ");
    stored = nullptr;
    EXPECT_EQ (dispatcherReturn (effGetChunk, 0, &stored, 20), "Return ");
}

TEST (StructureDecoderChunks, HashIsBounded)
{
    std::vector<unsigned char> data (maxBytesHashed + 1, 0x5a);
    char expected[80];
    std::snprintf (expected, sizeof (expected), "Call {byteSize=%zu crc32=%08X (first %zu bytes) bytes=",
                   data.size(), (unsigned) crc32 (data.data(), maxBytesHashed), maxBytesHashed);

    const auto text = dispatcherCall (effSetChunk, static_cast<VstIntPtr> (data.size()), data.data());
    EXPECT_EQ (text.substr (0, std::strlen (expected)), expected);
    EXPECT_NE (crc32 (data.data(), maxBytesHashed), crc32 (data.data(), data.size()));
}

//==============================================================================
TEST (StructureDecoderSelection, NothingWithoutAStructure)
{
    ERect rect {};
    EXPECT_EQ (dispatcherCall (effProcessEvents, 0, nullptr), "Call ");
    EXPECT_EQ (dispatcherCall (8, 0, &rect), "Call ");              // GetParamName: a text
    EXPECT_EQ (dispatcherCall (effSetSpeakerArrangement, 0, nullptr), "Call ");
    EXPECT_EQ (dispatcherReturn (effEditDraw, 0, &rect, 1), "Return ");
    EXPECT_EQ (dispatcherReturn (effGetParameterProperties, 0, nullptr, 1), "Return ");

    Line line ("Call ");
    decodeAudioMasterCall (line.writer, audioMasterSetTime, 0, 0, nullptr, 0.0f);
    decodeAudioMasterReturn (line.writer, audioMasterProcessEvents, 0, 0, &rect, 1);
    EXPECT_EQ (line.text(), "Call ");
}

// Our layouts against fst.h where fst.h is not guessing.
TEST (StructureDecoderLayout, AgreesWithFst)
{
    EXPECT_EQ (offsetof (VstEvents, events), offsetof (fst::VstEvents, events));
    EXPECT_EQ (offsetof (VstMidiEvent, midiData), offsetof (fst::VstMidiEvent, midiData));
    EXPECT_EQ (offsetof (VstMidiSysexEvent, sysexDump), offsetof (fst::VstMidiSysexEvent, sysexDump));
    EXPECT_EQ (offsetof (VstTimeInfo, cycleEndPos), offsetof (fst::VstTimeInfo, cycleEndPos));
    EXPECT_EQ (offsetof (VstTimeInfo, timeSigDenominator), offsetof (fst::VstTimeInfo, timeSigDenominator));
    EXPECT_EQ (offsetof (VstTimeInfo, samplesToNextClock), offsetof (fst::VstTimeInfo, samplesToNextClock));
    EXPECT_EQ (offsetof (VstTimeInfo, flags), offsetof (fst::VstTimeInfo, flags));
    EXPECT_EQ (sizeof (VstSpeakerProperties), sizeof (fst::VstSpeakerProperties));
    EXPECT_EQ (offsetof (VstSpeakerProperties, type), offsetof (fst::VstSpeakerProperties, type));
    EXPECT_EQ (offsetof (VstSpeakerArrangement, speakers), offsetof (fst::VstSpeakerArrangement, speakers));
    EXPECT_EQ (offsetof (VstPinProperties, future), sizeof (fst::VstPinProperties));
    EXPECT_EQ (offsetof (VstPinProperties, arrangementType), offsetof (fst::VstPinProperties, arrangementType));
    EXPECT_EQ (offsetof (VstPinProperties, shortLabel), offsetof (fst::VstPinProperties, shortLabel));
    EXPECT_EQ ((int) kVstSmpteValid, (int) fst::kVstSmpteValid);
    EXPECT_EQ ((int) kSpeakerArr102, (int) fst::kSpeakerArr102);
}
