#include "StructureDecoder.h"
#include "StructureFormat.h"
#include "VstStructures.h"

#include <cstring>

namespace StructureDecoder
{
namespace
{
    using namespace StructureFormat;

    enum : std::int32_t
    {
        effEditDraw = 16,
        effGetChunk = 23,
        effSetChunk = 24,
        effProcessEvents = 25,
        effGetInputProperties = 33,
        effGetOutputProperties = 34,
        effSetSpeakerArrangement = 42,
        effGetParameterProperties = 56,
        effGetSpeakerArrangement = 69,

        audioMasterGetTime = 7,
        audioMasterProcessEvents = 8,
        audioMasterSetTime = 9
    };

    const FlagName timeInfoFlags[] =
    {
        { kVstTransportChanged, "changed" }, { kVstTransportPlaying, "playing" },
        { kVstTransportCycleActive, "cycleActive" }, { kVstTransportRecording, "recording" },
        { kVstAutomationWriting, "automationWriting" }, { kVstAutomationReading, "automationReading" },
        { kVstNanosValid, "nanosValid" }, { kVstPpqPosValid, "ppqPosValid" }, { kVstTempoValid, "tempoValid" },
        { kVstBarsValid, "barsValid" }, { kVstCyclePosValid, "cyclePosValid" }, { kVstTimeSigValid, "timeSigValid" },
        { kVstSmpteValid, "smpteValid" }, { kVstClockValid, "clockValid" }
    };

    const FlagName pinFlags[] = { { kVstPinIsActive, "active" }, { kVstPinIsStereo, "stereo" }, { kVstPinUseSpeaker, "useSpeaker" } };

    const FlagName parameterFlags[] =
    {
        { kVstParameterIsSwitch, "switch" }, { kVstParameterUsesIntegerMinMax, "integerMinMax" },
        { kVstParameterUsesFloatStep, "floatStep" }, { kVstParameterUsesIntStep, "intStep" },
        { kVstParameterSupportsDisplayIndex, "displayIndex" }, { kVstParameterSupportsDisplayCategory, "category" },
        { kVstParameterCanRamp, "canRamp" }
    };

    // From kSpeakerArrUserDefined (-2) to kSpeakerArr102 (28).
    const char* const arrangementNames[] =
    {
        "userDefined", "empty", "mono", "stereo", "stereoSurround", "stereoCenter", "stereoSide", "stereoCLfe",
        "3.0cine", "3.0music", "3.1cine", "3.1music", "4.0cine", "4.0music", "4.1cine", "4.1music", "5.0", "5.1",
        "6.0cine", "6.0music", "6.1cine", "6.1music", "7.0cine", "7.0music", "7.1cine", "7.1music",
        "8.0cine", "8.0music", "8.1cine", "8.1music", "10.2"
    };

    const char* const speakerNames[] =
    {
        "M", "L", "R", "C", "Lfe", "Ls", "Rs", "Lc", "Rc", "S", "Sl", "Sr",
        "Tm", "Tfl", "Tfc", "Tfr", "Trl", "Trc", "Trr", "Lfe2"
    };

    const char* const smpteRateNames[] =
    {
        "24fps", "25fps", "29.97fps", "30fps", "29.97dfps", "30dfps", "film16mm", "film35mm",
        nullptr, nullptr, "23.976fps", "24.976fps", "59.94fps", "60fps"
    };

    //==============================================================================
    void decodeTimeInfo (LineWriter& line, const void* pointer) noexcept
    {
        const auto info = copyOf<VstTimeInfo> (pointer);
        const auto has = [&info] (std::int32_t flag) { return (info.flags & flag) != 0; };
        Block block (line);

        const auto number = [&] (const char* name, double value)
        {
            block.item ([&] { line.append (name); line.appendChar ('='); appendDouble (line, value); });
        };

        block.item ([&] { appendFlags (line, "flags", info.flags, timeInfoFlags); });
        number ("samplePos", info.samplePos);
        number ("sampleRate", info.sampleRate);

        if (has (kVstNanosValid))    number ("nanoSeconds", info.nanoSeconds);
        if (has (kVstPpqPosValid))   number ("ppqPos", info.ppqPos);
        if (has (kVstTempoValid))    number ("tempo", info.tempo);
        if (has (kVstBarsValid))     number ("barStartPos", info.barStartPos);

        if (has (kVstCyclePosValid))
        {
            number ("cycleStartPos", info.cycleStartPos);
            number ("cycleEndPos", info.cycleEndPos);
        }

        if (has (kVstTimeSigValid))
            block.item ([&]
            {
                appendNumber (line, "timeSig", info.timeSigNumerator);
                line.appendChar ('/');
                line.appendDecimal (info.timeSigDenominator);
            });

        if (has (kVstSmpteValid))
        {
            block.item ([&] { appendNumber (line, "smpteOffset", info.smpteOffset); });
            block.item ([&] { line.append ("smpteFrameRate="); appendNamed (line, info.smpteFrameRate, 0, smpteRateNames); });
        }

        if (has (kVstClockValid))
            block.item ([&] { appendNumber (line, "samplesToNextClock", info.samplesToNextClock); });
    }

    //==============================================================================
    // One arrangement's items: type, numChannels, each speaker's type.
    void appendArrangement (Block& block, LineWriter& line, const char* label, const void* arrangement) noexcept
    {
        if (arrangement == nullptr)
            return block.item ([&] { line.append (label); line.append ("null"); }, "; ");

        const auto type = copyOf<std::int32_t> (arrangement);
        const auto numChannels = copyOf<std::int32_t> (byteOffset (arrangement, offsetof (VstSpeakerArrangement, numChannels)));
        const bool plausible = numChannels <= maxPlausibleChannels;

        block.item ([&] { line.append (label); line.append ("type="); appendNamed (line, type, kSpeakerArrUserDefined, arrangementNames); }, "; ");
        block.item ([&]
        {
            appendNumber (line, "numChannels", numChannels);

            if (! plausible)
                line.append (" (implausible)");
        });

        if (! plausible)
            return;

        for (std::int32_t i = 0; i < numChannels; ++i)
        {
            if (block.isCut() || i == maxSpeakersRead)
                return block.skip (numChannels - i);

            const auto speakerType = copyOf<std::int32_t> (byteOffset (arrangement, offsetof (VstSpeakerArrangement, speakers)
                                                                          + static_cast<std::size_t> (i) * sizeof (VstSpeakerProperties)
                                                                          + offsetof (VstSpeakerProperties, type)));
            block.item ([&]
            {
                if (i == 0)
                    line.append ("speakers=");

                appendNamed (line, speakerType, kSpeakerM, speakerNames);
            });
        }
    }

    void decodeArrangements (LineWriter& line, const void* input, const void* output) noexcept
    {
        Block block (line);
        appendArrangement (block, line, "input: ", input);
        appendArrangement (block, line, "output: ", output);
    }

    const void* storedPointer (const void* where) noexcept
    {
        return where != nullptr ? copyOf<const void*> (where) : nullptr;
    }

    //==============================================================================
    void decodePinProperties (LineWriter& line, const void* pointer) noexcept
    {
        const auto pin = copyOf<VstPinProperties> (pointer, offsetof (VstPinProperties, future));
        Block block (line);
        block.item ([&] { appendText (line, "label", pin.label, sizeof (pin.label)); });
        block.item ([&] { appendText (line, "shortLabel", pin.shortLabel, sizeof (pin.shortLabel)); });
        block.item ([&] { appendFlags (line, "flags", pin.flags, pinFlags); });
        block.item ([&] { line.append ("arrangementType="); appendNamed (line, pin.arrangementType, kSpeakerArrUserDefined, arrangementNames); });
    }

    void decodeParameterProperties (LineWriter& line, const void* pointer) noexcept
    {
        const auto p = copyOf<VstParameterProperties> (pointer, offsetof (VstParameterProperties, future));
        const auto has = [&p] (std::int32_t flag) { return (p.flags & flag) != 0; };
        Block block (line);

        const auto integer = [&] (const char* name, std::int32_t value) { block.item ([&] { appendNamedNumber (line, name, value); }); };
        const auto real = [&] (const char* name, float value)
        {
            block.item ([&] { line.append (name); line.appendChar ('='); line.appendFloat (value); });
        };

        block.item ([&] { appendText (line, "label", p.label, sizeof (p.label)); });
        block.item ([&] { appendText (line, "shortLabel", p.shortLabel, sizeof (p.shortLabel)); });
        block.item ([&] { appendFlags (line, "flags", p.flags, parameterFlags); });

        if (has (kVstParameterUsesIntegerMinMax))
        {
            integer ("minInteger", p.minInteger);
            integer ("maxInteger", p.maxInteger);
        }

        if (has (kVstParameterUsesIntStep))
        {
            integer ("stepInteger", p.stepInteger);
            integer ("largeStepInteger", p.largeStepInteger);
        }

        if (has (kVstParameterUsesFloatStep))
        {
            real ("stepFloat", p.stepFloat);
            real ("smallStepFloat", p.smallStepFloat);
            real ("largeStepFloat", p.largeStepFloat);
        }

        if (has (kVstParameterSupportsDisplayIndex))
            integer ("displayIndex", p.displayIndex);

        if (has (kVstParameterSupportsDisplayCategory))
        {
            integer ("category", p.category);
            block.item ([&] { appendText (line, "categoryLabel", p.categoryLabel, sizeof (p.categoryLabel)); });
            integer ("numParametersInCategory", p.numParametersInCategory);
        }
    }

    void decodeRectangle (LineWriter& line, const void* pointer) noexcept
    {
        const auto rect = copyOf<ERect> (pointer);
        Block block (line);
        block.item ([&] { appendNumber (line, "top", rect.top); });
        block.item ([&] { appendNumber (line, "left", rect.left); });
        block.item ([&] { appendNumber (line, "bottom", rect.bottom); });
        block.item ([&] { appendNumber (line, "right", rect.right); });
    }

    // Size, CRC-32 of at most maxBytesHashed bytes, the first bytes.
    void decodeChunk (LineWriter& line, const char* sizeName, const void* data, VstIntPtr size) noexcept
    {
        Block block (line);
        block.item ([&] { appendNamedNumber (line, sizeName, size); });

        if (size <= 0)
            return;

        const auto hashed = static_cast<std::size_t> (size) < maxBytesHashed ? static_cast<std::size_t> (size) : maxBytesHashed;

        block.item ([&]
        {
            line.append ("crc32=");
            appendHexDigits (line, crc32 (data, hashed), 8);

            if (hashed < static_cast<std::size_t> (size))
            {
                line.append (" (first ");
                line.appendDecimal (static_cast<std::int64_t> (hashed));
                line.append (" bytes)");
            }
        });

        block.item ([&]
        {
            unsigned char bytes[maxBytesShown];
            const auto count = hashed < sizeof (bytes) ? hashed : sizeof (bytes);
            std::memcpy (bytes, data, count);
            line.append ("bytes=");
            appendBytes (line, bytes, count);

            if (count < static_cast<std::size_t> (size))
                line.append (" \xe2\x80\xa6");
        });
    }
}

//==============================================================================
void decodeDispatcherCall (LineWriter& line, std::int32_t opcode, std::int32_t, VstIntPtr value, void* ptr, float) noexcept
{
    const auto input = reinterpret_cast<const void*> (value);

    switch (opcode)
    {
        case effProcessEvents:         if (ptr != nullptr) decodeEvents (line, ptr); break;
        case effEditDraw:              if (ptr != nullptr) decodeRectangle (line, ptr); break;
        case effSetChunk:              if (ptr != nullptr) decodeChunk (line, "byteSize", ptr, value); break;
        case effSetSpeakerArrangement: if (input != nullptr || ptr != nullptr) decodeArrangements (line, input, ptr); break;
        default: break;
    }
}

void decodeDispatcherReturn (LineWriter& line, std::int32_t opcode, std::int32_t, VstIntPtr value, void* ptr, VstIntPtr result) noexcept
{
    // Each of these reports through its result whether it filled anything:
    // otherwise the record (or the pointer the host left in it) may be garbage.
    if (result == 0)
        return;

    switch (opcode)
    {
        case effGetChunk:
            if (const auto data = storedPointer (ptr); data != nullptr && result > 0)
                decodeChunk (line, "size", data, result);
            break;

        case effGetInputProperties:
        case effGetOutputProperties:
            if (ptr != nullptr) decodePinProperties (line, ptr);
            break;

        case effGetParameterProperties:
            if (ptr != nullptr) decodeParameterProperties (line, ptr);
            break;

        case effGetSpeakerArrangement:
        {
            const auto input = storedPointer (reinterpret_cast<const void*> (value));
            const auto output = storedPointer (ptr);

            if (input != nullptr || output != nullptr)
                decodeArrangements (line, input, output);
            break;
        }

        default: break;
    }
}

void decodeAudioMasterCall (LineWriter& line, std::int32_t opcode, std::int32_t, VstIntPtr value, void* ptr, float) noexcept
{
    switch (opcode)
    {
        case audioMasterGetTime:
        {
            Block block (line);
            block.item ([&] { appendFlags (line, "request", static_cast<std::int32_t> (value), timeInfoFlags); });
            break;
        }

        case audioMasterProcessEvents: if (ptr != nullptr) decodeEvents (line, ptr); break;
        case audioMasterSetTime:       if (ptr != nullptr) decodeTimeInfo (line, ptr); break;
        default: break;
    }
}

void decodeAudioMasterReturn (LineWriter& line, std::int32_t opcode, std::int32_t, VstIntPtr, void*, VstIntPtr result) noexcept
{
    if (opcode == audioMasterGetTime && result != 0)
        decodeTimeInfo (line, reinterpret_cast<const void*> (result));
}
}
