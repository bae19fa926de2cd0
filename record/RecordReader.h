// Reading a session recording back (RecordFormat.h): every record checked
// for its size and its CRC before it is believed. A file cut short (a
// session that ended without Close, a crash) keeps what came before the cut;
// a file that is not a recording, of another version or damaged is refused
// with a sentence that says why. For tbreplay and the tests; allocates.
#pragma once

#include "RecordFormat.h"

#include <cstdint>
#include <string>
#include <vector>

struct RecordedEvent
{
    recording::RecordHeader header;
    std::vector<std::uint8_t> payload;
};

struct Recording
{
    recording::FileHeader header {};
    std::vector<RecordedEvent> events;   // calls and returns, in the file's order
    std::string targetPath;
    std::vector<std::uint32_t> threadIds; // by role; 0 where unnamed
    std::uint64_t recordsLost = 0;
    bool ended = false;                   // an end record: the session closed
};

enum class ReadOutcome
{
    whole,    // read to its end record
    cut,      // usable up to the cut; note says where
    refused   // not usable; note says why
};

// [any thread] note: a sentence for a cut or refused file, empty otherwise.
ReadOutcome parseRecording (const std::uint8_t* data, std::size_t size, Recording& recording, std::string& note);
ReadOutcome readRecording (const std::string& path, Recording& recording, std::string& note);

namespace recordedPayload
{
    // Each event's bytes as the interface lays them out, a SysEx event's
    // dump after its header. False where the payload does not hold together.
    bool events (const RecordedEvent& event, std::vector<std::vector<std::uint8_t>>& events, std::vector<std::uint32_t>& dumpSizes);
    // The input and output arrangement, empty where none was.
    bool arrangements (const RecordedEvent& event, std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& output);
    // A block's samples: header and the first channel's first byte.
    bool audio (const RecordedEvent& event, recording::AudioHeader& header, const std::uint8_t*& samples);
    std::string text (const RecordedEvent& event);
}
