#include "RecordReader.h"
#include "../log/StructureDecoder.h"

#include <cstring>
#include <fstream>
#include <iterator>

using namespace recording;

namespace
{
    std::string at (std::size_t offset)
    {
        return " at byte " + std::to_string (offset);
    }

    ReadOutcome refuse (std::string& note, std::string why)
    {
        note = std::move (why);
        return ReadOutcome::refused;
    }

    bool knownType (std::uint8_t type)
    {
        return type >= typeCall && type <= typeEnd;
    }

    bool checkFileHeader (const std::uint8_t* data, std::size_t size, FileHeader& header, std::string& note)
    {
        if (size < sizeof (FileHeader) || std::memcmp (data, magic, sizeof (magic)) != 0)
        {
            note = "not a Tattlebox recording: it does not start with TBRECORD";
            return false;
        }

        std::memcpy (&header, data, sizeof (header));

        if (header.majorVersion != majorVersion)
        {
            note = "a recording of format version " + std::to_string (header.majorVersion) + "."
                 + std::to_string (header.minorVersion) + ": this reader takes version " + std::to_string (majorVersion);
            return false;
        }

        if (header.pointerBytes != sizeof (void*))
        {
            note = "recorded by a " + std::to_string (header.pointerBytes * 8) + "-bit host: replay it with the "
                 + std::to_string (header.pointerBytes * 8) + "-bit tbreplay";
            return false;
        }

        return true;
    }

    void take (Recording& recording, RecordedEvent&& event)
    {
        const auto& record = event.header;

        switch (record.type)
        {
            case typeThread:
                if (record.role >= recording.threadIds.size())
                    recording.threadIds.resize (record.role + 1u);
                recording.threadIds[record.role] = (std::uint32_t) record.value;
                break;
            case typeTarget: recording.targetPath = recordedPayload::text (event); break;
            case typeLost:   recording.recordsLost += (std::uint64_t) record.value; break;
            case typeEnd:    recording.ended = true; break;
            default:         recording.events.push_back (std::move (event)); break;
        }
    }
}

ReadOutcome parseRecording (const std::uint8_t* data, std::size_t size, Recording& recording, std::string& note)
{
    recording = {};
    note.clear();

    if (! checkFileHeader (data, size, recording.header, note))
        return ReadOutcome::refused;

    std::size_t offset = sizeof (FileHeader);

    while (offset < size)
    {
        RecordHeader record;

        if (size - offset < sizeof (record))
        {
            note = "the recording is cut" + at (offset) + ": its last record is incomplete";
            return ReadOutcome::cut;
        }

        std::memcpy (&record, data + offset, sizeof (record));

        if (record.size < sizeof (record) || record.size % 8 != 0)
            return refuse (note, "the recording is damaged" + at (offset) + ": a record of " + std::to_string (record.size) + " bytes");

        if (record.size > size - offset)
        {
            note = "the recording is cut" + at (offset) + ": its last record is incomplete";
            return ReadOutcome::cut;
        }

        auto copy = record;
        copy.check = 0;
        auto check = StructureDecoder::crc32 (&copy, sizeof (copy));
        check = StructureDecoder::crc32 (data + offset + sizeof (copy), record.size - sizeof (copy), check);

        if (check != record.check)
            return refuse (note, "the recording is damaged" + at (offset) + ": a record fails its check");

        const auto carried = record.payloadKind == payloadTooLarge ? 0u : record.payloadSize;

        if (carried > record.size - sizeof (record))
            return refuse (note, "the recording is damaged" + at (offset) + ": a payload larger than its record");

        // Types of a later minor version are skipped.
        if (knownType (record.type))
        {
            RecordedEvent event { record, {} };
            const auto* payload = data + offset + sizeof (record);
            event.payload.assign (payload, payload + carried);
            take (recording, std::move (event));
        }

        offset += record.size;
    }

    if (! recording.ended)
    {
        note = "the recording has no end: the session ended without Close";
        return ReadOutcome::cut;
    }

    return ReadOutcome::whole;
}

ReadOutcome readRecording (const std::string& path, Recording& recording, std::string& note)
{
    std::ifstream file (path, std::ios::binary);

    if (! file)
        return refuse (note, "cannot read " + path);

    const std::vector<std::uint8_t> bytes ((std::istreambuf_iterator<char> (file)), std::istreambuf_iterator<char>());
    return parseRecording (bytes.data(), bytes.size(), recording, note);
}

namespace recordedPayload
{
    namespace
    {
        // A reader that never reads past the payload.
        struct Cursor
        {
            const std::vector<std::uint8_t>& bytes;
            std::size_t offset = 0;

            bool word (std::uint32_t& value)
            {
                return copy (&value, sizeof (value));
            }

            bool copy (void* destination, std::size_t count)
            {
                if (bytes.size() - offset < count)
                    return false;

                if (count > 0)
                    std::memcpy (destination, bytes.data() + offset, count);
                offset += count;
                return true;
            }

            bool block (std::vector<std::uint8_t>& out, std::size_t count)
            {
                if (bytes.size() - offset < count)
                    return false;

                out.assign (bytes.begin() + (std::ptrdiff_t) offset, bytes.begin() + (std::ptrdiff_t) (offset + count));
                offset += count;
                return true;
            }
        };
    }

    bool events (const RecordedEvent& event, std::vector<std::vector<std::uint8_t>>& list, std::vector<std::uint32_t>& dumpSizes)
    {
        list.clear();
        dumpSizes.clear();
        Cursor in { event.payload };
        std::uint32_t count = 0;

        if (event.header.payloadKind != payloadEvents || ! in.word (count) || count > (std::uint32_t) StructureDecoder::maxPlausibleEvents)
            return false;

        for (std::uint32_t i = 0; i < count; ++i)
        {
            std::uint32_t size = 0, dump = 0;
            std::vector<std::uint8_t> bytes;

            if (! in.word (size) || ! in.word (dump) || size > 4096 || ! in.block (bytes, (std::size_t) size + dump))
                return false;

            list.push_back (std::move (bytes));
            dumpSizes.push_back (dump);
        }

        return true;
    }

    bool arrangements (const RecordedEvent& event, std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& output)
    {
        Cursor in { event.payload };
        std::uint32_t size = 0;

        return event.header.payloadKind == payloadArrangements
            && in.word (size) && in.block (input, size)
            && in.word (size) && in.block (output, size);
    }

    bool audio (const RecordedEvent& event, AudioHeader& header, const std::uint8_t*& samples)
    {
        Cursor in { event.payload };

        if (event.header.payloadKind != payloadAudio || ! in.copy (&header, sizeof (header)))
            return false;

        const auto bytes = (std::uint64_t) header.channels * header.frames * header.bytesPerSample;

        if ((header.bytesPerSample != 4 && header.bytesPerSample != 8) || header.channels > maxAudioChannels
            || bytes != event.payload.size() - sizeof (header))
            return false;

        samples = event.payload.data() + sizeof (header);
        return true;
    }

    std::string text (const RecordedEvent& event)
    {
        if (event.header.payloadKind != payloadText)
            return {};

        return std::string (event.payload.begin(), event.payload.end());
    }
}
