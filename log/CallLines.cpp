// TBLogger's call lines: each call, and each result, turned into the text of
// one line, then handed to logLine. Kept out of line, so that the unlogged
// path of the call operations stays a few instructions long.
#include "TBLogger.h"
#include "LineWriter.h"
#include "StructureDecoder.h"

#include <cstring>

namespace
{
    constexpr auto relaxed = std::memory_order_relaxed;

    // "%s=" then the caller's value.
    void appendLabel (LineWriter& line, const char* label)
    {
        line.append (label);
        line.appendChar ('=');
    }

    // "%s=%d "
    void appendNumberItem (LineWriter& line, const char* label, std::int64_t value)
    {
        appendLabel (line, label);
        line.appendDecimal (value);
        line.appendChar (' ');
    }

    void appendRectangle (LineWriter& line, const char* label, const ERect& rect)
    {
        appendLabel (line, label);
        line.append ("top(");
        line.appendDecimal (rect.top);
        line.append ("), left(");
        line.appendDecimal (rect.left);
        line.append ("), bottom(");
        line.appendDecimal (rect.bottom);
        line.append ("), right(");
        line.appendDecimal (rect.right);
        line.append (") ");
    }

    // " (12.3 us)": the duration in tenths of a microsecond, rounded.
    void appendDuration (LineWriter& line, std::uint64_t nanoseconds)
    {
        line.appendLiteral (" (");
        line.appendTenths ((nanoseconds + 50) / 100);
        line.appendLiteral (" us)");
    }

    // The rectangle the callee stored at *ptr, or null.
    const ERect* storedRectangle (const void* ptr)
    {
        if (ptr == nullptr)
            return nullptr;

        const ERect* rect;
        std::memcpy (&rect, ptr, sizeof (rect)); // the host's pointer need not be aligned
        return rect;
    }
}

__attribute__ ((noinline)) void TBLogger::writeCallLine (bool dispatcher, std::int32_t opcode, std::int32_t index,
                                                       VstIntPtr value, void* ptr, float opt) noexcept
{
    const auto& row = dispatcher ? dispatcherOpCodes[opcode] : audioMasterOpCodes[opcode];
    OutputLine output;
    auto& line = output.line;
    appendPrefix (line);
    line.append (dispatcher ? "eff" : "audioMaster");
    line.append (row.name);
    line.appendChar (' ');

    if (logParameters.load (relaxed))
    {
        if (row.indexName != nullptr)
            appendNumberItem (line, row.indexName, index);

        if (row.valueName != nullptr)
            appendNumberItem (line, row.valueName, value);

        if (row.pointerName != nullptr && ! row.pointerIsOutput)
        {
            appendLabel (line, row.pointerName);

            if (row.pointerKind == kindString)
                line.appendEscaped (static_cast<const char*> (ptr));
            else
                line.appendPointer (ptr);

            line.appendChar (' ');
        }

        if (row.optName != nullptr)
        {
            appendLabel (line, row.optName);
            line.appendFloat (opt);
            line.appendChar (' ');
        }
    }

    if (decodeStructures.load (relaxed))
        (dispatcher ? StructureDecoder::decodeDispatcherCall : StructureDecoder::decodeAudioMasterCall)
            (line, opcode, index, value, ptr, opt);

    finishLine (output);
}

__attribute__ ((noinline)) void TBLogger::writeReturnLine (bool dispatcher, std::int32_t opcode, std::int32_t index,
                                                         VstIntPtr value, void* ptr, VstIntPtr result,
                                                         bool timed, std::uint64_t duration) noexcept
{
    const auto& row = dispatcher ? dispatcherOpCodes[opcode] : audioMasterOpCodes[opcode];
    const bool printsRectangles = dispatcher;

    if (row.returnName == nullptr && ! row.pointerIsOutput)
        return;

    OutputLine output;
    auto& line = output.line;
    appendPrefix (line);

    // The duration ends the line, however much a decoder has to say before it.
    char durationText[32];
    LineWriter ending (durationText);

    if (timed)
        appendDuration (ending, duration);

    const auto kept = line.holdBack (ending.length());
    line.append (dispatcher ? "eff" : "audioMaster");
    line.append (row.name);
    line.append (" returned ");

    if (row.returnName != nullptr)
        appendNumberItem (line, row.returnName, result);

    if (row.pointerName != nullptr && row.pointerIsOutput)
    {
        const ERect* rect = (printsRectangles && row.pointerKind == kindRectOut) ? storedRectangle (ptr) : nullptr;

        if (rect != nullptr)
        {
            appendRectangle (line, row.pointerName, *rect);
        }
        else
        {
            appendLabel (line, row.pointerName);

            if (row.pointerKind == kindString)
                line.appendEscaped (static_cast<const char*> (ptr));
            else
                line.appendPointer (ptr);
        }
    }

    if (decodeStructures.load (relaxed))
        (dispatcher ? StructureDecoder::decodeDispatcherReturn : StructureDecoder::decodeAudioMasterReturn)
            (line, opcode, index, value, ptr, result);

    line.giveBack (kept);

    // Most return lines end with a blank already: one is enough.
    const auto* endingText = ending.text();
    auto endingLength = ending.length();

    if (endingLength > 0 && line.length() > 0 && output.buffer[line.length() - 1] == ' ')
    {
        ++endingText;
        --endingLength;
    }

    line.appendKnownLength (endingText, endingLength);
    finishLine (output);
}

// The prefix and the function's name; whether its arguments follow.
bool TBLogger::beginFunctionLine (LineWriter& line, AEffectFunction function) const noexcept
{
    appendPrefix (line);
    line.append (aEffectFunctionNames[function]);
    return logParameters.load (relaxed);
}

__attribute__ ((noinline)) void TBLogger::writeProcessLine (AEffectFunction function, const void* inputs,
                                                          const void* outputs, std::int32_t sampleFrames) noexcept
{
    OutputLine output;

    if (auto& line = output.line; beginFunctionLine (line, function))
    {
        line.append ("(inputs:");
        line.appendPointer (inputs);
        line.append (", outputs:");
        line.appendPointer (outputs);
        line.append (", sampleFrames:");
        line.appendDecimal (sampleFrames);
        line.appendChar (')');
    }

    finishLine (output);
}

__attribute__ ((noinline)) void TBLogger::writeSetParameterLine (std::int32_t index, float parameter) noexcept
{
    OutputLine output;

    if (auto& line = output.line; beginFunctionLine (line, functionSetParameter))
    {
        line.append ("(index: ");
        line.appendDecimal (index);
        line.append (", parameter: ");
        line.appendFloat (parameter);
        line.appendChar (')');
    }

    finishLine (output);
}

__attribute__ ((noinline)) void TBLogger::writeGetParameterLine (std::int32_t index) noexcept
{
    OutputLine output;

    if (auto& line = output.line; beginFunctionLine (line, functionGetParameter))
    {
        line.append ("(index: ");
        line.appendDecimal (index);
        line.appendChar (')');
    }

    finishLine (output);
}
