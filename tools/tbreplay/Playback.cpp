// The calls themselves: arguments from the recording, Tattlebox's own log
// lines around them with --log, and with --compare what came back against
// what the recording says came back.
#include "Player.h"
#include "Arguments.h"
#include "EditorWindow.h"
#include "log/TBLogger.h"
#include "record/RecordPayload.h"

#include <cmath>
#include <cstring>

using namespace recording;

namespace tbreplay
{
namespace
{
    constexpr std::int32_t editGetRect = 13, editOpen = 14;

    AEffectFunction loggedBlock (std::uint8_t function)
    {
        return function == recording::recordedProcess ? ::functionProcess
             : function == recording::recordedProcessReplacing ? ::functionProcessReplacing
                                                               : ::functionProcessDoubleReplacing;
    }

    std::string quoted (const std::string& text)
    {
        return "\"" + text + "\"";
    }

    std::string sample (const std::uint8_t* bytes, std::uint32_t bytesPerSample)
    {
        double value = 0.0;

        if (bytesPerSample == 4)
        {
            float f;
            std::memcpy (&f, bytes, 4);
            value = f;
        }
        else
        {
            std::memcpy (&value, bytes, 8);
        }

        char text[48];
        std::snprintf (text, sizeof (text), "%.9g", value);
        return text;
    }

    // A block's channels: the recorded input, or silence where none was recorded.
    struct Channels
    {
        Channels (std::uint32_t count, std::uint32_t frames, std::uint32_t bytesPerSample, const std::uint8_t* samples)
            : storage (count)
        {
            const auto bytes = (std::size_t) frames * bytesPerSample;

            for (std::uint32_t c = 0; c < count; ++c)
            {
                storage[c].assign (bytes + 64, 0);

                if (samples != nullptr)
                    std::memcpy (storage[c].data(), samples + c * bytes, bytes);

                pointers.push_back (storage[c].data());
            }

            pointers.push_back (nullptr);
        }

        std::vector<std::vector<std::uint8_t>> storage;
        std::vector<void*> pointers;
    };
}

void Player::differs (const CallNode& node, const std::string& what, bool audio)
{
    ++differences;
    const auto ofKind = audio ? ++audioDifferences : ++otherDifferences;

    if (audio && ofKind == 1)
        firstDifferingBlock = blocksPlayed.load();

    if (ofKind <= maxLinesPerKind)
        say ("call " + std::to_string (node.sequence()) + " (" + callName (node.call->header) + ") differs: " + what);
}

void Player::compareResult (const CallNode& node, VstIntPtr result)
{
    if (! options.compare || node.result == nullptr)
        return;

    ++compared;

    if ((std::int64_t) result != node.result->header.result)
        differs (node, "result " + std::to_string ((std::int64_t) result) + ", recorded " + std::to_string (node.result->header.result));
}

// JUCE's plug-ins answer effEditGetRect with the rectangle's address: whether
// there is one counts, and what it holds.
void Player::compareRectangle (const CallNode& node, VstIntPtr result, const ERect* rectangle)
{
    if (! options.compare || node.result == nullptr)
        return;

    ++compared;
    const auto& recorded = *node.result;

    if ((result != 0) != (recorded.header.result != 0))
        differs (node, "result " + std::to_string ((std::int64_t) result) + ", recorded " + std::to_string (recorded.header.result));
    else if (recorded.header.payloadKind == payloadStructure && recorded.payload.size() == sizeof (ERect)
             && (rectangle == nullptr || std::memcmp (rectangle, recorded.payload.data(), sizeof (ERect)) != 0))
        differs (node, "the rectangle differs from the recorded one");
}

void Player::compareEffect (const CallNode& node)
{
    if (! options.compare || node.result == nullptr || node.result->payload.size() < sizeof (AEffect))
        return;

    AEffect recorded;
    std::memcpy (&recorded, node.result->payload.data(), sizeof (recorded));
    ++compared;

    const std::pair<const char*, std::pair<std::int32_t, std::int32_t>> fields[] {
        { "numPrograms", { effect->numPrograms, recorded.numPrograms } }, { "numParams", { effect->numParams, recorded.numParams } },
        { "numInputs", { effect->numInputs, recorded.numInputs } }, { "numOutputs", { effect->numOutputs, recorded.numOutputs } },
        { "flags", { effect->flags, recorded.flags } }, { "uniqueID", { effect->uniqueID, recorded.uniqueID } },
        { "version", { effect->version, recorded.version } } };

    for (const auto& [name, values] : fields)
        if (values.first != values.second)
            differs (node, std::string (name) + " " + std::to_string (values.first) + ", recorded " + std::to_string (values.second));
}

void Player::playDispatcher (CallNode& node)
{
    const auto& header = node.call->header;
    std::string note;
    DispatcherArguments arguments (node, note);

    if (! note.empty())
        say ("call " + std::to_string (node.sequence()) + " (" + callName (header) + "): " + note);

    // The editor opens into a window of our own, as a host's.
    if (header.opcode == editOpen)
    {
        editorParent = editorParent != nullptr ? editorParent : openEditorParent (editorSize.first, editorSize.second);
        arguments.ptr = editorParent;

        if (editorParent == nullptr)
            say ("call " + std::to_string (node.sequence()) + " (effEditOpen): no window for the editor (no display?)");
    }

    auto& logger = tbLogger;
    const auto started = options.log ? logger.logDispatcherCall (header.opcode, header.index, arguments.value, arguments.ptr, header.opt) : 0;
    const auto result = effect->dispatcher (effect, header.opcode, header.index, arguments.value, arguments.ptr, header.opt);

    if (options.log)
        logger.logDispatcherReturn (header.opcode, arguments.ptr, result, header.index, arguments.value, started);

    if (header.opcode == recordPayload::editGetRect)
        compareRectangle (node, result, arguments.writtenRectangle());
    else
        compareResult (node, result);

    // The window for the editor gets the size the editor asks for.
    if (header.opcode == editGetRect && arguments.ptr != nullptr)
        if (const auto* rect = *static_cast<ERect* const*> (arguments.ptr); rect != nullptr && rect->right > rect->left && rect->bottom > rect->top)
            editorSize = { rect->right - rect->left, rect->bottom - rect->top };

    if (options.compare && arguments.hasOutputText() && node.result != nullptr && node.result->header.payloadKind == payloadText)
        if (const auto text = arguments.writtenText(), recorded = recordedPayload::text (*node.result); text != recorded)
            differs (node, "text " + quoted (text) + ", recorded " + quoted (recorded));

    // After Close the plug-in is gone: nothing more reaches it.
    if (header.opcode == 1)
        effect = nullptr;
}

void Player::playBlock (CallNode& node)
{
    const auto& header = node.call->header;
    const auto frames = (std::uint32_t) std::max<std::int64_t> (0, std::min<std::int64_t> (header.value, 1 << 20));
    const std::uint32_t bytesPerSample = header.function == recordedProcessDoubleReplacing ? 8 : 4;

    AudioHeader in {}, out {};
    const std::uint8_t* inSamples = nullptr;
    const std::uint8_t* outSamples = nullptr;
    const bool recordedIn = recordedPayload::audio (*node.call, in, inSamples) && in.frames == frames;
    const bool recordedOut = node.result != nullptr && recordedPayload::audio (*node.result, out, outSamples) && out.frames == frames;

    Channels inputs (recordedIn ? in.channels : (std::uint32_t) std::max (0, effect->numInputs), frames, bytesPerSample,
                     recordedIn ? inSamples : nullptr);
    Channels outputs (recordedOut ? out.channels : (std::uint32_t) std::max (0, effect->numOutputs), frames, bytesPerSample, nullptr);

    // The host's buffers, as it shared them between input and output.
    if ((header.flags & flagInPlace) != 0)
        for (std::size_t c = 0; c < inputs.storage.size() && c < outputs.storage.size(); ++c)
            outputs.pointers[c] = inputs.pointers[c];

    const auto function = loggedBlock (header.function);
    auto& logger = tbLogger;
    const auto ins = inputs.pointers.data();
    const auto outs = outputs.pointers.data();
    TBLogger::CallStart started = 0;

    if (options.log)
        started = function == ::functionProcessDoubleReplacing
                      ? logger.logProcessDoubleReplacing (reinterpret_cast<double**> (ins), reinterpret_cast<double**> (outs), (std::int32_t) frames)
                      : logger.logProcess (reinterpret_cast<float**> (ins), reinterpret_cast<float**> (outs), (std::int32_t) frames,
                                           function == ::functionProcessReplacing);

    if (function == ::functionProcessDoubleReplacing && effect->processDoubleReplacing != nullptr)
        effect->processDoubleReplacing (effect, reinterpret_cast<double**> (ins), reinterpret_cast<double**> (outs), (std::int32_t) frames);
    else if (function == ::functionProcessReplacing && effect->processReplacing != nullptr)
        effect->processReplacing (effect, reinterpret_cast<float**> (ins), reinterpret_cast<float**> (outs), (std::int32_t) frames);
    else if (function == ::functionProcess && effect->process != nullptr)
        effect->process (effect, reinterpret_cast<float**> (ins), reinterpret_cast<float**> (outs), (std::int32_t) frames);

    if (options.log)
        logger.logProcessEnd (function, (std::int32_t) frames, started);

    if (recordedOut)
        compareBlock (node, outs, out.channels, frames, bytesPerSample);

    ++blocksPlayed;
}

void Player::compareBlock (const CallNode& node, void* const* outputs, std::uint32_t channels, std::uint32_t frames, std::uint32_t bytesPerSample)
{
    if (! options.compare)
        return;

    AudioHeader recorded {};
    const std::uint8_t* samples = nullptr;
    recordedPayload::audio (*node.result, recorded, samples);
    ++compared;

    for (std::uint32_t c = 0; c < channels; ++c)
    {
        const auto* mine = static_cast<const std::uint8_t*> (outputs[c]);
        const auto* theirs = samples + (std::size_t) c * frames * bytesPerSample;

        if (std::memcmp (mine, theirs, (std::size_t) frames * bytesPerSample) == 0)
            continue;

        std::uint32_t frame = 0;

        while (std::memcmp (mine + frame * bytesPerSample, theirs + frame * bytesPerSample, bytesPerSample) == 0)
            ++frame;

        differs (node, "block " + std::to_string (blocksPlayed.load()) + ", channel " + std::to_string (c) + ", frame "
                           + std::to_string (frame) + ": " + sample (mine + frame * bytesPerSample, bytesPerSample)
                           + ", recorded " + sample (theirs + frame * bytesPerSample, bytesPerSample), true);
        return;
    }
}

void Player::playParameter (CallNode& node)
{
    const auto& header = node.call->header;
    auto& logger = tbLogger;

    if (header.function == recording::recordedSetParameter)
    {
        const auto started = options.log ? logger.logSetParameter (header.index, header.opt) : 0;

        if (effect->setParameter != nullptr)
            effect->setParameter (effect, header.index, header.opt);

        if (options.log)
            logger.logCallEnd (::functionSetParameter, started, header.index);

        return;
    }

    const auto started = options.log ? logger.logGetParameter (header.index) : 0;
    const auto value = effect->getParameter != nullptr ? effect->getParameter (effect, header.index) : 0.0f;

    if (options.log)
        logger.logCallEnd (::functionGetParameter, started, header.index);

    if (! options.compare || node.result == nullptr)
        return;

    ++compared;
    std::int32_t bits = 0;
    std::memcpy (&bits, &value, sizeof (bits));

    if (bits != (std::int32_t) node.result->header.result)
    {
        float recorded;
        const auto recordedBits = (std::int32_t) node.result->header.result;
        std::memcpy (&recorded, &recordedBits, sizeof (recorded));
        differs (node, "value " + std::to_string (value) + ", recorded " + std::to_string (recorded));
    }
}
}
