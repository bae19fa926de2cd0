#include "TraceFile.h"
#include "CallStatistics.h"
#include "LineWriter.h"
#include "TBLogger.h"

#include "../platform/StaticOrder.h"
#include "../platform/ThreadId.h"

#include <cstring>
#include <thread>
#include <utility>

// Among the log's sinks: the writer's stop at the unload line still finds it.
TraceFile traceFile TB_STATIC_LOG_SINKS;

namespace
{
    constexpr int recordsPerRead = 256;
    // The longest event: names, args and numbers at their widest.
    constexpr std::size_t maxEventBytes = 512;

    // Microseconds with three decimals from a count of nanoseconds: exact,
    // so that a call nested in another stays inside it in the viewer.
    void appendMicroseconds (LineWriter& out, std::uint64_t nanoseconds)
    {
        out.appendUnsigned (nanoseconds / 1000);
        out.appendChar ('.');
        const auto rest = (int) (nanoseconds % 1000);
        out.appendChar ((char) ('0' + rest / 100));
        out.appendChar ((char) ('0' + rest / 10 % 10));
        out.appendChar ((char) ('0' + rest % 10));
    }

    // A load (0.25: a quarter of the block's budget) with six decimals.
    void appendLoad (LineWriter& out, float load)
    {
        const auto millionths = (std::uint64_t) ((double) load * 1.0e6 + 0.5);
        out.appendUnsigned (millionths / 1000000);
        out.appendChar ('.');
        char digits[6];

        for (int i = 5, rest = (int) (millionths % 1000000); i >= 0; --i, rest /= 10)
            digits[i] = (char) ('0' + rest % 10);

        out.appendKnownLength (digits, sizeof (digits));
    }

    // The name as the call lines write it: "effGetParamName", "audioMasterGetTime", "processReplacing".
    void appendName (LineWriter& out, std::int32_t entry)
    {
        using callStatistics::entryOf;

        if (entry < entryOf (groupDispatcher, 0))
        {
            out.append (aEffectFunctionNames[entry]);
        }
        else if (entry < entryOf (groupAudioMaster, 0))
        {
            out.appendLiteral ("eff");
            out.append (dispatcherOpCodes[entry - entryOf (groupDispatcher, 0)].name);
        }
        else
        {
            out.appendLiteral ("audioMaster");
            out.append (audioMasterOpCodes[entry - entryOf (groupAudioMaster, 0)].name);
        }
    }

    bool isBlock (std::int32_t entry)
    {
        return entry == functionProcess || entry == functionProcessReplacing || entry == functionProcessDoubleReplacing;
    }

    void appendArgs (LineWriter& out, const TraceRecord& call)
    {
        using callStatistics::entryOf;

        if (isBlock (call.entry))
        {
            out.appendLiteral ("{\"sampleFrames\":");
            out.appendDecimal (call.index);

            if (call.load >= 0.0f)
            {
                out.appendLiteral (",\"load\":");
                appendLoad (out, call.load);
            }
        }
        else if (call.entry < entryOf (groupDispatcher, 0))
        {
            out.appendLiteral ("{\"index\":"); // setParameter, getParameter
            out.appendDecimal (call.index);
        }
        else
        {
            const auto dispatcher = call.entry < entryOf (groupAudioMaster, 0);
            const std::pair<const char*, std::int64_t> fields[] {
                { "{\"opcode\":", call.entry - entryOf (dispatcher ? groupDispatcher : groupAudioMaster, 0) },
                { ",\"index\":", call.index }, { ",\"value\":", (std::int64_t) call.value },
                { ",\"result\":", (std::int64_t) call.result } };

            for (const auto& [key, number] : fields)
            {
                out.append (key);
                out.appendDecimal (number);
            }
        }

        out.appendChar ('}');
    }

    bool isKnownEntry (std::int32_t entry)
    {
        return entry >= 0 && entry < callStatistics::numEntries;
    }
}

juce::File TraceFile::besideStateFile (const juce::File& stateFile)
{
    return stateFile.getSiblingFile (stateFile.getFileNameWithoutExtension() + ".trace.json");
}

// The writer's turn, for what only one thread at a time may touch; bounded,
// for a writer the system stopped at exit.
bool TraceFile::takeTurn() noexcept
{
    for (int i = 0; i < 100000; ++i)
    {
        if (! writing.exchange (true, std::memory_order_acquire))
            return true;

        std::this_thread::yield();
    }

    return false;
}

bool TraceFile::start()
{
    if (! file.isOpen() && takeTurn())
    {
        const juce::ScopeGuard endTurn { [this] { writing.store (false, std::memory_order_release); } };

        // A session's trace starts anew: the last one's events would not nest with ours.
        place.deleteFile();

        if (file.open (place) != FileFault::none)
        {
            tbLogger.logLine (("Failed to open trace file " + place.getFullPathName()).toRawUTF8());
            return false;
        }

        cursor = traceRing.cursorAtHead();
        processId = currentProcessId();
        firstEvent = true;
        numThreadsNamed = 0;
        eventsWritten = 0;
        eventsDropped = 0;
        file.append ("[", 1);
    }

    recording = file.isOpen();
    return file.isOpen();
}

void TraceFile::finish() noexcept
{
    if (! file.isOpen())
        return;

    recording = false;

    if (takeTurn())
    {
        cursor.wait.patience = 8; // a record still on its way by now is lost with its thread
        writing.store (false, std::memory_order_release);
    }

    for (int round = 0; round < 400 && traceRing.pushed() > cursor.next; ++round)
        writePending (TraceRing::numSlots);

    if (takeTurn())
    {
        file.append ("\n]\n", 3);
        file.close();
        writing.store (false, std::memory_order_release);
    }
}

int TraceFile::writePending (int maxRecords) noexcept
{
    if (! file.isOpen() || writing.exchange (true, std::memory_order_acquire))
        return 0;

    TraceRecord records[recordsPerRead];
    std::uint64_t missed = 0;
    int total = 0;

    while (total < maxRecords)
    {
        const auto count = traceRing.read (cursor, records, std::min (recordsPerRead, maxRecords - total), missed);

        for (int i = 0; i < count; ++i)
            append (records[i]);

        total += count;

        if (count < recordsPerRead)
            break;
    }

    flush();
    writing.store (false, std::memory_order_release);

    if (missed > 0)
    {
        eventsDropped.fetch_add (missed, std::memory_order_relaxed);
        char text[96];
        LineWriter line (text);
        line.appendUnsigned (missed);
        line.append (missed == 1 ? " trace event dropped" : " trace events dropped");
        tbLogger.logLine (line.text());
    }

    return total;
}

void TraceFile::append (const TraceRecord& call) noexcept
{
    if (! isKnownEntry (call.entry))
        return;

    nameThreadOnce (call.threadId);

    if (used + maxEventBytes > bufferBytes)
        flush();

    LineWriter out (buffer + used, maxEventBytes - 1);
    out.append (std::exchange (firstEvent, false) ? "\n" : ",\n");
    out.appendLiteral ("{\"ph\":\"X\",\"name\":\"");
    appendName (out, call.entry);
    out.appendLiteral ("\",\"ts\":");
    appendMicroseconds (out, call.started);
    out.appendLiteral (",\"dur\":");
    appendMicroseconds (out, call.ended - call.started);
    out.appendLiteral (",\"pid\":");
    out.appendUnsigned (processId);
    out.appendLiteral (",\"tid\":");
    out.appendUnsigned (call.threadId);
    out.appendLiteral (",\"args\":");
    appendArgs (out, call);
    out.appendChar ('}');
    used += out.length();
    eventsWritten.fetch_add (1, std::memory_order_relaxed);
}

// The viewers name a row by its thread: the hexadecimal id the log lines show.
void TraceFile::nameThreadOnce (std::uint32_t threadId) noexcept
{
    for (int i = 0; i < numThreadsNamed; ++i)
        if (threadsNamed[i] == threadId)
            return;

    if (numThreadsNamed < maxThreadsNamed)
        threadsNamed[numThreadsNamed++] = threadId;

    if (used + maxEventBytes > bufferBytes)
        flush();

    LineWriter out (buffer + used, maxEventBytes - 1);
    out.append (std::exchange (firstEvent, false) ? "\n" : ",\n");
    out.appendLiteral ("{\"ph\":\"M\",\"name\":\"thread_name\",\"pid\":");
    out.appendUnsigned (processId);
    out.appendLiteral (",\"tid\":");
    out.appendUnsigned (threadId);
    out.appendLiteral (",\"args\":{\"name\":\"thread ");
    out.appendHex (threadId);
    out.appendLiteral ("\"}}");
    used += out.length();
}

void TraceFile::flush() noexcept
{
    if (used > 0)
        file.append (buffer, used);

    used = 0;
}
