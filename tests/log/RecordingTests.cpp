// The session recording: what the recorder writes reads back the same
// (numbers, payloads, thread roles, nesting), a file cut short keeps what
// came before the cut, a damaged or foreign one is refused with a sentence
// and never crashes the reader, and a ring with no room counts what it lost.
#include "LogCapture.h"
#include "log/BackgroundWriter.h"
#include "log/VstStructures.h"
#include "record/RecordFile.h"
#include "record/RecordReader.h"
#include "record/SessionRecorder.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

using namespace recording;

namespace
{
    class RecordingTest : public LoggerTest
    {
    protected:
        void SetUp() override
        {
            LoggerTest::SetUp();
            recordFile.setPlace (folder.file.getChildFile ("Tattlebox.tbrec"));
            ASSERT_TRUE (recordFile.start (true));
        }

        void TearDown() override
        {
            recordFile.finish();
            LoggerTest::TearDown();
        }

        Recording finishAndRead (ReadOutcome expected = ReadOutcome::whole)
        {
            recordFile.finish();
            Recording recording;
            std::string note;
            EXPECT_EQ (readRecording (path(), recording, note), expected) << note;
            return recording;
        }

        std::string path() const { return recordFile.getPlace().getFullPathName().toStdString(); }

        std::vector<std::uint8_t> bytes() const
        {
            std::ifstream in (path(), std::ios::binary);
            return { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
        }

        TemporaryFolder folder { "tb-record" };
    };

    const RecordedEvent& find (const Recording& recording, std::uint8_t type, std::int32_t opcode,
                               std::uint8_t function = recordedDispatcher)
    {
        for (const auto& event : recording.events)
            if (event.header.type == type && event.header.opcode == opcode
                && (event.header.function == function || type == typeHostReturn))
                return event;

        static const RecordedEvent none {};
        ADD_FAILURE() << "no record of type " << (int) type << " opcode " << opcode;
        return none;
    }

    ReadOutcome parse (const std::vector<std::uint8_t>& data, std::string& note)
    {
        Recording recording;
        return parseRecording (data.data(), data.size(), recording, note);
    }
}

// Every kind of call the catalogue knows a payload for, and the numbers beside it.
TEST_F (RecordingTest, WhatIsRecordedReadsBackTheSame)
{
    auto& recorder = sessionRecorder;
    recorder.returnEntry (recorder.callEntry ("/plug/ins/Target.so"), nullptr);

    char name[64] = "Gain";
    recorder.returnDispatcher (recorder.callDispatcher (8, 3, 0, name, 0.0f), 8, 3, 0, name, 0); // GetParamName out

    std::uint8_t chunk[300];
    for (int i = 0; i < 300; ++i)
        chunk[i] = (std::uint8_t) i;
    recorder.returnDispatcher (recorder.callDispatcher (24, 1, sizeof (chunk), chunk, 0.0f), 24, 1, sizeof (chunk), chunk, 1);

    VstMidiEvent note {};
    note.type = kVstMidiType;
    note.byteSize = sizeof (note);
    note.deltaFrames = 17;
    std::memcpy (note.midiData, "\x90\x3c\x64", 3);
    char dump[5] = { '\xf0', 1, 2, 3, '\xf7' };
    VstMidiSysexEvent sysex {};
    sysex.type = kVstSysExType;
    sysex.dumpBytes = sizeof (dump);
    sysex.sysexDump = dump;
    struct { std::int32_t numEvents; VstIntPtr reserved; VstEvent* events[2]; } list { 2, 0, { reinterpret_cast<VstEvent*> (&note), reinterpret_cast<VstEvent*> (&sysex) } };
    recorder.returnDispatcher (recorder.callDispatcher (25, 0, 0, &list, 0.0f), 25, 0, 0, &list, 1);

    VstTimeInfo time {};
    time.samplePos = 4096.0;
    time.tempo = 120.0;
    recorder.returnHost (recorder.callHost (7, 0, 0, nullptr, 0.0f), 7, 0, 0, nullptr, (VstIntPtr) &time);

    float left[4] = { 0.5f, -0.25f, 1.0f, 0.0f }, right[4] = { 1.0f, 2.0f, 3.0f, 4.0f };
    float* channels[2] = { left, right };
    const auto pointers = reinterpret_cast<void* const*> (channels);
    recorder.returnBlock (recorder.callBlock (recordedProcessReplacing, pointers, 2, pointers, 2, 4, 4),
                          recordedProcessReplacing, pointers, 2, 4, 4);
    recorder.returnParameter (recorder.callParameter (recordedGetParameter, 2, 0.0f), recordedGetParameter, 2, 0.75f);

    const auto recording = finishAndRead();
    EXPECT_EQ (recording.targetPath, "/plug/ins/Target.so");
    EXPECT_EQ (recordedPayload::text (find (recording, typeReturn, 8)), "Gain");

    const auto& setChunk = find (recording, typeCall, 24);
    EXPECT_EQ (setChunk.header.index, 1);
    EXPECT_EQ (setChunk.header.value, 300);
    EXPECT_EQ (setChunk.payload, std::vector<std::uint8_t> (chunk, chunk + 300));

    std::vector<std::vector<std::uint8_t>> events;
    std::vector<std::uint32_t> dumps;
    ASSERT_TRUE (recordedPayload::events (find (recording, typeCall, 25), events, dumps));
    ASSERT_EQ (events.size(), 2u);
    EXPECT_EQ (reinterpret_cast<const VstMidiEvent*> (events[0].data())->deltaFrames, 17);
    EXPECT_EQ (std::memcmp (reinterpret_cast<const VstMidiEvent*> (events[0].data())->midiData, "\x90\x3c\x64", 3), 0);
    ASSERT_EQ (dumps[1], 5u);
    EXPECT_EQ (std::memcmp (events[1].data() + sizeof (VstMidiSysexEvent), dump, 5), 0);

    const auto& getTime = find (recording, typeHostReturn, 7);
    ASSERT_EQ (getTime.payload.size(), sizeof (VstTimeInfo));
    EXPECT_EQ (reinterpret_cast<const VstTimeInfo*> (getTime.payload.data())->samplePos, 4096.0);

    AudioHeader audio {};
    const std::uint8_t* samples = nullptr;
    const auto& block = find (recording, typeCall, 0, recordedProcessReplacing);
    ASSERT_TRUE (recordedPayload::audio (block, audio, samples));
    EXPECT_EQ (audio.channels, 2u);
    EXPECT_EQ (std::memcmp (samples + 16, right, sizeof (right)), 0);

    const auto& getParameter = recording.events.back();
    float value;
    const auto bits = (std::int32_t) getParameter.header.result;
    std::memcpy (&value, &bits, sizeof (value));
    EXPECT_EQ (value, 0.75f);
    EXPECT_EQ (getParameter.header.flags, flagResultIsFloat);
    EXPECT_TRUE (recording.ended);
}

// In place or not, as the replay must hand the plug-in its channels: only
// outputs that are their inputs' channels, as far as both go, are in place.
TEST_F (RecordingTest, BlocksProcessedInPlaceAreMarked)
{
    float a[4] {}, b[4] {}, c[4] {};
    float* inputs[2] = { a, b };
    float* same[2] = { a, b };
    float* oneApart[2] = { a, c };
    float* swapped[2] = { b, a };
    const struct { float** outputs; std::int32_t numOutputs; bool inPlace; } cases[] {
        { same, 2, true }, { oneApart, 2, false }, { swapped, 2, false }, { same, 1, true }, { nullptr, 2, false } };

    for (const auto& block : cases)
    {
        const auto outputs = reinterpret_cast<void* const*> (block.outputs);
        sessionRecorder.returnBlock (sessionRecorder.callBlock (recordedProcessReplacing, reinterpret_cast<void* const*> (inputs), 2,
                                                                outputs, block.numOutputs, 4, 4),
                                     recordedProcessReplacing, outputs, block.numOutputs, 4, 4);
    }

    const auto recording = finishAndRead();
    std::size_t next = 0;

    for (const auto& event : recording.events)
    {
        if (event.header.type == typeCall && next < std::size (cases))
        {
            EXPECT_EQ ((event.header.flags & flagInPlace) != 0, cases[next].inPlace) << "block " << next;
            ++next;
        }
    }

    EXPECT_EQ (next, std::size (cases));
}

// Roles in the order threads first call; each thread's records in its own order, calls before their returns.
TEST_F (RecordingTest, ThreadsGetRolesInTheOrderTheyFirstCall)
{
    sessionRecorder.returnDispatcher (sessionRecorder.callDispatcher (0, 0, 0, nullptr, 0.0f), 0, 0, 0, nullptr, 0);

    for (int i = 1; i <= 2; ++i)
        std::thread ([i] {
            for (int call = 0; call < 100; ++call)
            {
                const auto ticket = sessionRecorder.callParameter (recordedSetParameter, i, 0.5f);
                sessionRecorder.returnHost (sessionRecorder.callHost (0, i, 0, nullptr, 0.5f), 0, i, 0, nullptr, 0);
                sessionRecorder.returnParameter (ticket, recordedSetParameter, i);
            }
        }).join();

    const auto recording = finishAndRead();
    ASSERT_EQ (recording.threadIds.size(), 3u);
    EXPECT_NE (recording.threadIds[1], recording.threadIds[2]);

    for (const auto& event : recording.events)
        EXPECT_TRUE (event.header.function != recordedSetParameter || event.header.role == event.header.index);

    std::uint64_t last = 0;

    for (const auto& event : recording.events)
        if (event.header.type == typeCall || event.header.type == typeHostCall)
        {
            EXPECT_GT (event.header.sequence, last);
            last = event.header.sequence;
        }
}

// A host that opens a second session in the same process gets a recording of its own.
TEST_F (RecordingTest, ASecondSessionNumbersItsCallsAndRolesAnew)
{
    std::thread ([] { sessionRecorder.returnDispatcher (sessionRecorder.callDispatcher (0, 0, 0, nullptr, 0.0f), 0, 0, 0, nullptr, 0); }).join();
    recordFile.finish();
    ASSERT_TRUE (recordFile.start (false));
    sessionRecorder.returnDispatcher (sessionRecorder.callDispatcher (1, 0, 0, nullptr, 0.0f), 1, 0, 0, nullptr, 0);

    const auto recording = finishAndRead();
    ASSERT_EQ (recording.events.size(), 2u);
    EXPECT_EQ (recording.events[0].header.sequence, 1u);
    EXPECT_EQ (recording.events[0].header.role, 0);
    EXPECT_EQ (recording.header.flags, 0);
}

// A recording cut anywhere keeps the records before the cut; damage and foreign files are refused.
TEST_F (RecordingTest, CutFilesKeepWhatCameBeforeDamagedOnesAreRefused)
{
    for (int i = 0; i < 10; ++i)
        sessionRecorder.returnDispatcher (sessionRecorder.callDispatcher (51, 0, 0, (void*) "receiveVstEvents", 0.0f), 51, 0, 0, nullptr, 1);

    finishAndRead();
    const auto whole = bytes();
    std::string note;

    for (std::size_t cut = sizeof (FileHeader); cut < whole.size(); cut += 13)
    {
        EXPECT_EQ (parse ({ whole.begin(), whole.begin() + (std::ptrdiff_t) cut }, note), ReadOutcome::cut) << cut;
        EXPECT_NE (note.find ("the recording"), std::string::npos) << note;
    }

    const struct { const char* what; std::size_t offset; std::uint8_t value; const char* said; } damage[] {
        { "magic", 0, 'X', "not a Tattlebox recording" },
        { "major version", 8, 2, "format version 2.1: this reader takes version 1" },
        { "pointer size", 12, 4, "32-bit host" },
        { "a payload byte", whole.size() - 70, 0x55, "fails its check" },
        { "a record's size", sizeof (FileHeader), 0x39, "damaged" },
    };

    for (const auto& [what, offset, value, said] : damage)
    {
        auto damaged = whole;
        damaged[offset] = value;
        EXPECT_EQ (parse (damaged, note), ReadOutcome::refused) << what;
        EXPECT_NE (note.find (said), std::string::npos) << what << ": " << note;
    }

    EXPECT_EQ (parse ({}, note), ReadOutcome::refused);
}

// No room: the record is not half written but counted, and the file says how many.
TEST (RecordRing, NoRoomIsCountedAndWrappedRecordsReadWhole)
{
    RecordRing ring;
    ASSERT_TRUE (ring.allocate (64 * 1024));
    std::vector<std::uint8_t> pattern (10000);

    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = (std::uint8_t) (i * 7);

    int taken = 0;

    for (int round = 0; round < 40; ++round)
    {
        const auto room = ring.reserve (10000 + 8 * 3);

        if (room.size == 0)
            break;

        ring.write (room, 8, pattern.data(), pattern.size());
        ring.publish (room);
        ++taken;
    }

    EXPECT_EQ (taken, 6);
    EXPECT_EQ (ring.takeLost(), 1u);

    // Read and release, then write across the end of the ring.
    for (int round = 0; round < 20; ++round)
    {
        RecordRing::Span span;
        ASSERT_TRUE (ring.peek (span));
        std::vector<std::uint8_t> copy (span.size());
        std::memcpy (copy.data(), span.first, span.firstSize);
        std::memcpy (copy.data() + span.firstSize, span.second, span.secondSize);
        EXPECT_EQ (std::memcmp (copy.data() + 8, pattern.data(), pattern.size()), 0) << round;
        ring.release (span);

        const auto room = ring.reserve (10000 + 8 * 3);
        ASSERT_NE (room.size, 0u);
        ring.write (room, 8, pattern.data(), pattern.size());
        ring.publish (room);
    }

    EXPECT_EQ (ring.takeLost(), 0u);
}

// Several threads record at once while the reader empties the ring: every
// record read is whole (its bytes are what its writer wrote), and every one
// is either read or counted as lost.
TEST (RecordRing, ConcurrentWritersNeverTearARecord)
{
    RecordRing ring;
    ASSERT_TRUE (ring.allocate (64 * 1024));
    constexpr int writers = 4, perWriter = 20000;
    std::atomic<int> writing { writers };
    std::uint64_t read = 0, torn = 0;

    std::thread reader ([&] {
        for (RecordRing::Span span; writing.load() > 0 || ring.peek (span);)
        {
            if (! ring.peek (span))
                continue;

            std::vector<std::uint8_t> copy (span.size());
            std::memcpy (copy.data(), span.first, span.firstSize);
            std::memcpy (copy.data() + span.firstSize, span.second, span.secondSize);

            for (std::size_t i = 8; i < copy.size(); ++i)
                torn += copy[i] != copy[4];

            ring.release (span);
            ++read;
        }
    });

    std::vector<std::thread> threads;

    for (int w = 0; w < writers; ++w)
        threads.emplace_back ([&, w] {
            for (int i = 0; i < perWriter; ++i)
            {
                // Sizes from 16 to 1016 bytes, every byte after the size word the same mark.
                const auto size = (std::uint32_t) (16 + 8 * ((i * 7 + w) % 126));
                const auto room = ring.reserve (size);
                std::vector<std::uint8_t> bytes (size - 4, (std::uint8_t) (w * 50 + i % 50 + 1));
                ring.write (room, 4, bytes.data(), bytes.size());
                ring.publish (room);
            }

            --writing;
        });

    for (auto& thread : threads)
        thread.join();

    reader.join();
    EXPECT_EQ (torn, 0u);
    EXPECT_EQ (read + ring.takeLost(), (std::uint64_t) writers * perWriter);
    EXPECT_GT (read, 0u);
}
