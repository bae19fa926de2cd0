// libFuzzer: tbreplay's reading of a recording, from a hostile file. The
// input is a recording whose records' checks are set right first (half the
// runs), so that the mutations reach the payload decoders, the call tree and
// the rebuilt arguments instead of stopping at the first check.
#include "record/RecordReader.h"
#include "tools/tbreplay/Arguments.h"
#include "tools/tbreplay/CallTree.h"
#include "log/StructureDecoder.h"

#include <cstring>
#include <vector>

namespace
{
using namespace recording;

void fixChecks (std::vector<std::uint8_t>& bytes)
{
    for (std::size_t offset = sizeof (FileHeader); offset <= bytes.size() && bytes.size() - offset >= sizeof (RecordHeader);)
    {
        RecordHeader record;
        std::memcpy (&record, bytes.data() + offset, sizeof (record));

        if (record.size < sizeof (record) || record.size > bytes.size() - offset)
            return;

        record.check = 0;
        auto check = StructureDecoder::crc32 (&record, sizeof (record));
        check = StructureDecoder::crc32 (bytes.data() + offset + sizeof (record), record.size - sizeof (record), check);
        std::memcpy (bytes.data() + offset + offsetof (RecordHeader, check), &check, sizeof (check));
        offset += (record.size + 7) & ~7u;
    }
}

volatile std::size_t sink = 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes (data, data + size);

    if (size > 0 && (data[size - 1] & 1) != 0)
        fixChecks (bytes);

    Recording recording;
    std::string note;

    if (parseRecording (bytes.data(), bytes.size(), recording, note) == ReadOutcome::refused)
        return 0;

    auto tree = tbreplay::buildCallTree (recording);

    for (auto& node : tree.nodes)
    {
        std::string said;
        sink = sink + tbreplay::callName (node.call->header).size();

        if (node.fromHost() && node.call->header.function == recordedDispatcher)
        {
            tbreplay::DispatcherArguments arguments (node, said);
            sink = sink + arguments.writtenText().size();
        }
        else if (! node.fromHost())
        {
            char answer[64] {};
            sink = sink + (std::size_t) tbreplay::answerFromRecording (node, answer, said);
        }

        AudioHeader audio;
        const std::uint8_t* samples = nullptr;
        sink = sink + recordedPayload::audio (*node.call, audio, samples);
    }

    return 0;
}
