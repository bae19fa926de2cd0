// TBLogger's call lines: each call, and each result, turned into the text of
// one line, then handed to logLine. Kept out of line, so that the unlogged
// path of the call operations stays a few instructions long.
#include "TBLogger.h"
#include "LineWriter.h"

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

__attribute__ ((noinline)) void TBLogger::writeCallLine (const char* prefix, const OpCodeDescriptor& row, std::int32_t index,
                                                       VstIntPtr value, void* ptr, float opt) noexcept
{
    LineBuffer buffer;
    LineWriter line (buffer);
    line.append (prefix);
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

    logLine (line.text());
}

__attribute__ ((noinline)) void TBLogger::writeReturnLine (const char* prefix, const OpCodeDescriptor& row, void* ptr,
                                                         VstIntPtr result, bool printsRectangles) noexcept
{
    if (row.returnName == nullptr && ! row.pointerIsOutput)
        return;

    LineBuffer buffer;
    LineWriter line (buffer);
    line.append (prefix);
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
