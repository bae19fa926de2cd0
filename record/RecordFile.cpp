#include "RecordFile.h"
#include "SessionRecorder.h"
#include "../log/LineWriter.h"
#include "../log/StructureDecoder.h"
#include "../log/TBLogger.h"
#include "../platform/StaticOrder.h"
#include "../platform/ThreadId.h"

#include <algorithm>
#include <cstring>
#include <thread>

using namespace recording;

// Among the log's sinks: the writer's stop at the unload line still finds it.
RecordFile recordFile TB_STATIC_LOG_SINKS;

namespace
{
    void copyFrom (const RecordRing::Span& span, void* destination, std::size_t count) noexcept
    {
        const auto first = std::min (count, span.firstSize);
        std::memcpy (destination, span.first, first);
        std::memcpy (static_cast<std::uint8_t*> (destination) + first, span.second, count - first);
    }

    RecordHeader plainRecord (RecordType type, std::int64_t value = 0) noexcept
    {
        RecordHeader record {};
        record.size = sizeof (RecordHeader);
        record.type = type;
        record.value = value;
        record.check = StructureDecoder::crc32 (&record, sizeof (record));
        return record;
    }
}

juce::File RecordFile::besideStateFile (const juce::File& stateFile)
{
    return stateFile.getSiblingFile (stateFile.getFileNameWithoutExtension() + ".tbrec");
}

// One thread at a time moves records; bounded, for a writer the system stopped at exit.
bool RecordFile::takeTurn (int rounds) noexcept
{
    for (int i = 0; i < rounds; ++i)
    {
        if (! writing.exchange (true, std::memory_order_acquire))
            return true;

        std::this_thread::yield();
    }

    return false;
}

bool RecordFile::start (bool withAudio)
{
    // A recording is one session's, from its first call.
    place.deleteFile();

    if (file.open (place) != FileFault::none || ! sessionRecorder.start (withAudio))
    {
        file.close();
        tbLogger.logLine (("Failed to open recording file " + place.getFullPathName()).toRawUTF8());
        return false;
    }

    FileHeader header {};
    std::memcpy (header.magic, magic, sizeof (magic));
    header.majorVersion = majorVersion;
    header.minorVersion = minorVersion;
    header.pointerBytes = (std::uint16_t) sizeof (void*);
    header.flags = withAudio ? fileHasAudio : 0;
    header.processId = currentProcessId();
    header.startTime = (std::uint64_t) juce::Time::currentTimeMillis();
    file.append (reinterpret_cast<const char*> (&header), sizeof (header));
    recordsWritten = 0;
    recordsLost = 0;
    place.getFullPathName().copyToUTF8 (pathText, sizeof (pathText));
    tbLogger.logLine (("Recording the session into " + place.getFullPathName()).toRawUTF8());
    return true;
}

void RecordFile::put (const void* data, std::size_t size) noexcept
{
    if (used + size > bufferBytes)
        flush();

    if (size > bufferBytes)
    {
        file.append (static_cast<const char*> (data), size);
        return;
    }

    std::memcpy (buffer + used, data, size);
    used += size;
}

void RecordFile::flush() noexcept
{
    if (used > 0)
        file.append (buffer, used);

    used = 0;
}

void RecordFile::moveRecord (const RecordRing::Span& span) noexcept
{
    RecordHeader record;
    copyFrom (span, &record, sizeof (record));
    record.check = 0;

    // The check covers the header (check as 0) and every byte after it.
    auto check = StructureDecoder::crc32 (&record, sizeof (record));
    const auto headerInFirst = std::min (span.firstSize, sizeof (record));
    const auto* restFirst = span.first + headerInFirst;
    const auto restFirstSize = span.firstSize - headerInFirst;
    const auto* restSecond = span.second + (sizeof (record) - headerInFirst);
    const auto restSecondSize = span.secondSize - (sizeof (record) - headerInFirst);
    check = StructureDecoder::crc32 (restFirst, restFirstSize, check);
    check = StructureDecoder::crc32 (restSecond, restSecondSize, check);
    record.check = check;

    put (&record, sizeof (record));
    put (restFirst, restFirstSize);
    put (restSecond, restSecondSize);
    recordsWritten.fetch_add (1, std::memory_order_relaxed);
}

void RecordFile::writeLostRecord (std::uint64_t count) noexcept
{
    const auto record = plainRecord (typeLost, (std::int64_t) count);
    put (&record, sizeof (record));
    recordsLost.fetch_add (count, std::memory_order_relaxed);
}

int RecordFile::writeRecords (int maxRecords) noexcept
{
    auto& ring = sessionRecorder.ring;
    int moved = 0;

    if (const auto lost = ring.takeLost(); lost > 0)
        writeLostRecord (lost);

    for (RecordRing::Span span; moved < maxRecords && ring.peek (span); ++moved)
    {
        moveRecord (span);
        ring.release (span);
    }

    flush();
    return moved;
}

int RecordFile::writePending (int maxRecords) noexcept
{
    if (! file.isOpen() || writing.exchange (true, std::memory_order_acquire))
        return 0;

    const auto moved = writeRecords (maxRecords);
    endTurn();
    return moved;
}

void RecordFile::writeOutForCrash() noexcept
{
    // The writer's round ends within a second; a stuck one is not waited for.
    if (! file.isOpen() || ! takeTurn (1000000))
        return;

    writeRecords (1 << 30);
    endTurn();
}

void RecordFile::finish() noexcept
{
    if (! file.isOpen())
        return;

    sessionRecorder.stop();

    if (! takeTurn (100000))
        return;

    // A record reserved but never published belongs to a thread the system stopped: what is before it is written.
    for (int round = 0; round < 400 && sessionRecorder.ring.backlog() > 0; ++round)
        if (writeRecords (1 << 30) == 0)
            std::this_thread::yield();

    const auto end = plainRecord (typeEnd, (std::int64_t) sessionRecorder.callsRecorded());
    put (&end, sizeof (end));
    flush();
    file.close();

    char text[160];
    LineWriter line (text);
    line.appendLiteral ("Recorded ");
    line.appendUnsigned (sessionRecorder.callsRecorded());
    line.appendLiteral (" calls");

    if (const auto lost = recordsLost.load(); lost > 0)
    {
        line.appendLiteral (", ");
        line.appendUnsigned (lost);
        line.append (lost == 1 ? " record lost for want of room" : " records lost for want of room");
    }

    tbLogger.logLine (line.text());
    endTurn();
}
