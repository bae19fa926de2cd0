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

// With decoding on, the line leaves room for logLine's prefix (time, thread
// and name), so that the decoded part is never cut behind its own back.
std::size_t TBLogger::roomForLine() const noexcept
{
    if (! decodeStructures.load (relaxed))
        return maxLineLength;

    const std::size_t prefix = (logTime.load (relaxed) ? 13 : 0) + 11 + nameLength.load (relaxed) + 1;
    return prefix < (std::size_t) maxLineLength ? maxLineLength - prefix : 0;
}

__attribute__ ((noinline)) void TBLogger::writeCallLine (bool dispatcher, std::int32_t opcode, std::int32_t index,
                                                       VstIntPtr value, void* ptr, float opt) noexcept
{
    const auto& row = dispatcher ? dispatcherOpCodes[opcode] : audioMasterOpCodes[opcode];
    LineBuffer buffer;
    LineWriter line (buffer, roomForLine());
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
                line.append (static_cast<const char*> (ptr));
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

    logLine (line.text());
}

__attribute__ ((noinline)) void TBLogger::writeReturnLine (bool dispatcher, std::int32_t opcode, std::int32_t index,
                                                         VstIntPtr value, void* ptr, VstIntPtr result) noexcept
{
    const auto& row = dispatcher ? dispatcherOpCodes[opcode] : audioMasterOpCodes[opcode];
    const bool printsRectangles = dispatcher;

    if (row.returnName == nullptr && ! row.pointerIsOutput)
        return;

    LineBuffer buffer;
    LineWriter line (buffer, roomForLine());
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
                line.append (static_cast<const char*> (ptr));
            else
                line.appendPointer (ptr);
        }
    }

    if (decodeStructures.load (relaxed))
        (dispatcher ? StructureDecoder::decodeDispatcherReturn : StructureDecoder::decodeAudioMasterReturn)
            (line, opcode, index, value, ptr, result);

    logLine (line.text());
}

__attribute__ ((noinline)) void TBLogger::writeProcessLine (bool replacing, float** inputs, float** outputs,
                                                          std::int32_t sampleFrames) noexcept
{
    LineBuffer buffer;
    LineWriter line (buffer);
    line.append (aEffectFunctionNames[replacing ? functionProcessReplacing : functionProcess]);

    if (logParameters.load (relaxed))
    {
        line.append ("(inputs:");
        line.appendPointer (inputs);
        line.append (", outputs:");
        line.appendPointer (outputs);
        line.append (", sampleFrames:");
        line.appendDecimal (sampleFrames);
        line.appendChar (')');
    }

    logLine (line.text());
}

__attribute__ ((noinline)) void TBLogger::writeSetParameterLine (std::int32_t index, float parameter) noexcept
{
    LineBuffer buffer;
    LineWriter line (buffer);
    line.append (aEffectFunctionNames[functionSetParameter]);

    if (logParameters.load (relaxed))
    {
        line.append ("(index: ");
        line.appendDecimal (index);
        line.append (", parameter: ");
        line.appendFloat (parameter);
        line.appendChar (')');
    }

    logLine (line.text());
}

__attribute__ ((noinline)) void TBLogger::writeGetParameterLine (std::int32_t index) noexcept
{
    LineBuffer buffer;
    LineWriter line (buffer);
    line.append (aEffectFunctionNames[functionGetParameter]);

    if (logParameters.load (relaxed))
    {
        line.append ("(index: ");
        line.appendDecimal (index);
        line.appendChar (')');
    }

    logLine (line.text());
}
