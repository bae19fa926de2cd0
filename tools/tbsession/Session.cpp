#include "Session.h"

#include "log/VstStructures.h"
#include "tools/tbhost/TestSignal.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace tbsession
{

namespace
{
enum Opcode : std::int32_t
{
    effOpen = 0, effClose = 1, effSetProgram = 2, effGetParamLabel = 6, effGetParamDisplay = 7,
    effGetParamName = 8, effSetSampleRate = 10, effSetBlockSize = 11, effMainsChanged = 12,
    effEditGetRect = 13, effSetChunk = 24, effGetProgramNameIndexed = 29, effGetPlugCategory = 35, effGetEffectName = 45,
    effGetVendorString = 47, effGetProductString = 48, effGetVendorVersion = 49, effCanDo = 51,
    effGetVstVersion = 58
};

constexpr std::int32_t audioMasterVersion = 1, audioMasterIOChanged = 13;
constexpr std::int32_t effFlagsCanReplacing = 1 << 4;
constexpr std::int32_t effFlagsCanDoubleReplacing = 1 << 12;
constexpr std::int32_t effSetProcessPrecision = 77, processPrecision64 = 1;

constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;
constexpr float parameterValue = 0.75f;
constexpr int maxChannels = 256; // more is a broken record, not a plug-in
const char* const canDoQueries[] = { "receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "bypass", "offline" };

VstIntPtr dispatch (AEffect* effect, std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                    void* ptr = nullptr, float opt = 0.0f)
{
    return effect->dispatcher (effect, opcode, index, value, ptr, opt);
}

// Plug-in texts may overrun the published limits or hold anything: a roomy
// buffer, a terminator of our own, and one summary line stays one line.
// Aligned, so that it never starts just before the end of a page: a text
// check reads past a limit only within its page, and its line would then
// depend on where the stack happened to lie.
std::string queryText (AEffect* effect, std::int32_t opcode, std::int32_t index = 0)
{
    alignas (64) char buffer[512] = {};
    dispatch (effect, opcode, index, 0, buffer);
    buffer[sizeof (buffer) - 1] = 0;
    std::string text (buffer);

    for (auto& c : text)
        if ((unsigned char) c < 0x20 || c == 0x7f)
            c = '?';

    return text;
}

std::string number (long long value)
{
    return std::to_string (value);
}

std::string formatFloat (float value)
{
    char text[64];
    std::snprintf (text, sizeof (text), "%.6f", (double) value);
    return text;
}

std::string hex32 (std::int32_t value)
{
    char text[16];
    std::snprintf (text, sizeof (text), "%08X", (unsigned) value);
    return text;
}

int channelCount (std::int32_t declared)
{
    return std::clamp ((int) declared, 0, maxChannels);
}

void printRecord (const AEffect* effect)
{
    printLine ("numPrograms", number (effect->numPrograms));
    printLine ("numParams", number (effect->numParams));
    printLine ("numInputs", number (effect->numInputs));
    printLine ("numOutputs", number (effect->numOutputs));
    printLine ("flags", hex32 (effect->flags));
    printLine ("uniqueID", hex32 (effect->uniqueID));
    printLine ("version", number (effect->version));
}

void queryDescription (AEffect* effect)
{
    printLine ("name", queryText (effect, effGetEffectName));
    printLine ("vendor", queryText (effect, effGetVendorString));
    printLine ("product", queryText (effect, effGetProductString));
    printLine ("vendor version", number (dispatch (effect, effGetVendorVersion)));
    printLine ("vst version", number (dispatch (effect, effGetVstVersion)));
    printLine ("category", number (dispatch (effect, effGetPlugCategory)));
}

void queryCanDo (AEffect* effect)
{
    for (const char* query : canDoQueries)
        printLine ((std::string ("canDo ") + query).c_str(),
                   number (dispatch (effect, effCanDo, 0, 0, const_cast<char*> (query))));
}

// name | label | display | value | value set | value read back
void parameterPass (AEffect* effect)
{
    for (std::int32_t i = 0; i < effect->numParams; ++i)
    {
        const auto name = queryText (effect, effGetParamName, i);
        const auto label = queryText (effect, effGetParamLabel, i);

        // Asked as hosts do, not printed: a plug-in may answer it or not.
        VstParameterProperties properties {};
        dispatch (effect, 56, i, 0, &properties); // effGetParameterProperties

        const auto display = queryText (effect, effGetParamDisplay, i);
        const float before = effect->getParameter (effect, i);
        effect->setParameter (effect, i, parameterValue);
        const float after = effect->getParameter (effect, i);

        printLine (("parameter " + number (i)).c_str(),
                   name + " | " + label + " | " + display + " | " + formatFloat (before) + " | "
                       + formatFloat (parameterValue) + " | " + formatFloat (after));
    }
}

void programPass (AEffect* effect)
{
    for (std::int32_t i = 0; i < effect->numPrograms; ++i)
        printLine (("program " + number (i)).c_str(), queryText (effect, effGetProgramNameIndexed, i));

    if (effect->numPrograms > 0)
        dispatch (effect, effSetProgram, 0, 0);
}

void queryEditorRect (AEffect* effect)
{
    ERect* rect = nullptr;
    const auto result = dispatch (effect, effEditGetRect, 0, 0, &rect);

    if (result == 0 || rect == nullptr)
        return printLine ("editor", "none");

    printLine ("editor", number (rect->right - rect->left) + "x" + number (rect->bottom - rect->top));
}

// Two notes and a SysEx message, as a host hands them over before a block.
void sendEvents (AEffect* effect)
{
    VstMidiEvent notes[2] {};
    const unsigned char bytes[2][3] = { { 0x90, 0x3C, 0x64 }, { 0xB0, 0x07, 0x50 } };

    for (int i = 0; i < 2; ++i)
    {
        notes[i].type = 1;
        notes[i].byteSize = (std::int32_t) sizeof (VstMidiEvent);
        notes[i].deltaFrames = i * 100;
        std::memcpy (notes[i].midiData, bytes[i], 3);
    }

    char dump[] = { '\xF0', '\x7E', '\x7F', '\x06', '\x01', '\xF7' };
    VstMidiSysexEvent sysex {};
    sysex.type = 6;
    sysex.byteSize = (std::int32_t) sizeof (VstMidiSysexEvent);
    sysex.deltaFrames = 200;
    sysex.dumpBytes = (std::int32_t) sizeof (dump);
    sysex.sysexDump = dump;

    struct { std::int32_t numEvents; VstIntPtr reserved; VstEvent* events[3]; } events {};
    events.numEvents = 3;
    events.events[0] = reinterpret_cast<VstEvent*> (&notes[0]);
    events.events[1] = reinterpret_cast<VstEvent*> (&notes[1]);
    events.events[2] = reinterpret_cast<VstEvent*> (&sysex);
    dispatch (effect, 25, 0, 0, &events); // effProcessEvents
}

// Block after block, each output channel after the other into the dump. The
// old accumulating process call gets cleared outputs, so both calls give the same.
template <typename Sample, typename Process>
void processBlocksWith (AEffect* effect, const SessionSettings& settings, Process process)
{
    // Read after resume: a plug-in may change its channel counts there.
    const int inputs = channelCount (effect->numInputs);
    const int outputs = channelCount (effect->numOutputs);

    std::vector<std::vector<Sample>> in ((std::size_t) inputs, std::vector<Sample> (blockSize));
    std::vector<std::vector<Sample>> out ((std::size_t) outputs, std::vector<Sample> (blockSize));
    std::vector<Sample*> inPointers (1, nullptr), outPointers (1, nullptr);
    inPointers.resize (std::max (1, inputs));
    outPointers.resize (std::max (1, outputs));
    std::vector<tbhost::TestSignal> signals;

    for (int c = 0; c < inputs; ++c)
    {
        inPointers[(std::size_t) c] = in[(std::size_t) c].data();
        signals.emplace_back (c);
    }

    for (int c = 0; c < outputs; ++c)
        outPointers[(std::size_t) c] = out[(std::size_t) c].data();

    long long nonFinite = 0;

    for (int block = 0; block < settings.blocks; ++block)
    {
        for (int c = 0; c < inputs; ++c)
            for (auto& sample : in[(std::size_t) c])
                sample = (Sample) signals[(std::size_t) c].next (sampleRate);

        for (auto& channel : out)
            std::fill (channel.begin(), channel.end(), (Sample) 0);

        if (settings.midi && block == 0)
            sendEvents (effect);

        process (effect, inPointers.data(), outPointers.data(), blockSize);

        for (const auto& channel : out)
        {
            nonFinite += std::count_if (channel.begin(), channel.end(), [] (Sample s) { return ! std::isfinite (s); });

            if (settings.dump != nullptr)
                std::fwrite (channel.data(), sizeof (Sample), channel.size(), settings.dump);
        }
    }

    printLine ("blocks", number (settings.blocks));
    printLine ("non-finite samples", number (nonFinite));
}

void processBlocks (AEffect* effect, const SessionSettings& settings)
{
    const bool replacing = (effect->flags & effFlagsCanReplacing) != 0 && effect->processReplacing != nullptr;
    const bool doublePrecision = settings.doublePrecision && replacing
                              && (effect->flags & effFlagsCanDoubleReplacing) != 0
                              && effect->processDoubleReplacing != nullptr;

    if (doublePrecision)
    {
        printLine ("processing", "processDoubleReplacing");
        processBlocksWith<double> (effect, settings, effect->processDoubleReplacing);
        return;
    }

    printLine ("processing", replacing ? "processReplacing" : "process");
    processBlocksWith<float> (effect, settings, replacing ? effect->processReplacing : effect->process);
}
} // namespace

VstIntPtr hostCallback (AEffect* effect, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float)
{
    // What a host reads when told that the plug-in's inputs or latency changed.
    if (opcode == audioMasterIOChanged && effect != nullptr)
        printLine ("io changed", std::to_string (effect->numInputs) + " inputs, " + std::to_string (effect->numOutputs)
                                     + " outputs, latency " + std::to_string (effect->initialDelay));

    return opcode == audioMasterVersion ? 2400 : 0;
}

void printLine (const char* key, const std::string& value)
{
    std::printf ("%s: %s\n", key, value.c_str());
    std::fflush (stdout);
}

void closeEffect (AEffect* effect, const SessionSettings& settings)
{
    if (! settings.closeFromThread)
    {
        dispatch (effect, effClose);
        return;
    }

    // As hosts that close from a worker thread do: this thread goes on
    // pumping its messages until the Close has returned.
    std::atomic<bool> closed { false };
    std::thread closer ([&] { dispatch (effect, effClose); closed = true; });

    while (! closed.load())
    {
        if (settings.betweenSteps)
            settings.betweenSteps();

        std::this_thread::yield();
    }

    closer.join();
    printLine ("closed from", "a second thread");
}

// Chunks as a host restores a bank: "tbsession chunk 1", "tbsession chunk 2"...
static void setChunks (AEffect* effect, int count)
{
    for (int i = 1; i <= count; ++i)
    {
        auto chunk = "tbsession chunk " + std::to_string (i);
        const auto result = dispatch (effect, effSetChunk, 0, (VstIntPtr) chunk.size(), chunk.data());
        printLine ("set chunk", std::to_string (i) + " of " + std::to_string (chunk.size()) + " bytes: " + std::to_string (result));
    }
}

void runSession (AEffect* effect, const SessionSettings& settings)
{
    const auto step = [&settings]
    {
        if (settings.betweenSteps)
            settings.betweenSteps();
    };

    printRecord (effect);
    dispatch (effect, effOpen);
    step();
    dispatch (effect, effSetSampleRate, 0, 0, nullptr, (float) sampleRate);
    dispatch (effect, effSetBlockSize, 0, blockSize);
    step();
    queryDescription (effect);
    step();
    queryCanDo (effect);
    step();
    parameterPass (effect);
    step();
    programPass (effect);
    step();
    queryEditorRect (effect);
    step();
    // Before resume, as hosts that process in double precision say so.
    if (settings.doublePrecision && (effect->flags & effFlagsCanDoubleReplacing) != 0)
        dispatch (effect, effSetProcessPrecision, 0, processPrecision64);

    setChunks (effect, settings.chunks);
    dispatch (effect, effMainsChanged, 0, 1);
    step();
    processBlocks (effect, settings);
    step();
    dispatch (effect, effMainsChanged, 0, 0);
    step();
    closeEffect (effect, settings);
    step();
}

} // namespace tbsession
