#include "TextChecks.h"

#include "../log/VstStructures.h"

#include <cstddef>
#include <cstring>

namespace
{
    constexpr std::size_t room = sizeof (CallChecks::Entry::textBefore);

    struct TextField
    {
        const char* name;   // "text" for a call's whole buffer
        std::size_t offset;
        std::size_t limit;  // bytes, the end included
        bool isField;       // inside a structure: its end must lie inside the field
    };

    struct TextCall
    {
        bool dispatcher;
        std::int32_t opcode;
        TextField fields[3];
        int numFields;
    };

    constexpr TextField wholeText (std::size_t limit) { return { "text", 0, limit, false }; }

    constexpr TextCall textCalls[] = {
        { true, 5,  { wholeText (24) }, 1 },  // GetProgramName
        { true, 6,  { wholeText (8) }, 1 },   // GetParamLabel
        { true, 7,  { wholeText (8) }, 1 },   // GetParamDisplay
        { true, 8,  { wholeText (8) }, 1 },   // GetParamName
        { true, 29, { wholeText (24) }, 1 },  // GetProgramNameIndexed
        { true, 45, { wholeText (32) }, 1 },  // GetEffectName
        { true, 47, { wholeText (64) }, 1 },  // GetVendorString
        { true, 48, { wholeText (64) }, 1 },  // GetProductString
        { true, 33, { { "label", offsetof (VstPinProperties, label), kVstMaxLabelLen, true },
                      { "shortLabel", offsetof (VstPinProperties, shortLabel), kVstMaxShortLabelLen, true } }, 2 },
        { true, 34, { { "label", offsetof (VstPinProperties, label), kVstMaxLabelLen, true },
                      { "shortLabel", offsetof (VstPinProperties, shortLabel), kVstMaxShortLabelLen, true } }, 2 },
        { true, 56, { { "label", offsetof (VstParameterProperties, label), kVstMaxLabelLen, true },
                      { "shortLabel", offsetof (VstParameterProperties, shortLabel), kVstMaxShortLabelLen, true },
                      { "categoryLabel", offsetof (VstParameterProperties, categoryLabel), kVstMaxCategLabelLen, true } }, 3 },
        { false, 32, { wholeText (64) }, 1 }, // audioMasterGetVendorString
        { false, 33, { wholeText (64) }, 1 }, // audioMasterGetProductString
    };

    // The opcodes with a text, one bit each: most calls are turned away by one test.
    constexpr std::uint64_t maskOf (bool dispatcher) noexcept
    {
        std::uint64_t mask = 0;

        for (const auto& call : textCalls)
            if (call.dispatcher == dispatcher)
                mask |= std::uint64_t (1) << call.opcode;

        return mask;
    }

    constexpr std::uint64_t dispatcherTexts = maskOf (true), hostTexts = maskOf (false);

    const TextCall* findTextCall (bool dispatcher, std::int32_t opcode) noexcept
    {
        if ((std::uint32_t) opcode >= 64 || ((dispatcher ? dispatcherTexts : hostTexts) & (std::uint64_t (1) << opcode)) == 0)
            return nullptr;

        for (const auto& call : textCalls)
            if (call.dispatcher == dispatcher && call.opcode == opcode)
                return &call;

        return nullptr;
    }

    // A structure's fields lie within it. A whole text is read past its
    // limit (up to the room hosts commonly give) only within the memory page
    // its limit ends in: the caller owes the limit's bytes, and a smaller
    // buffer at the end of a mapped page must not make the check fault.
    std::size_t bytesToRead (const TextCall& call, const void* ptr) noexcept
    {
        constexpr std::uintptr_t pageBytes = 4096;
        std::size_t end = 0;

        for (int i = 0; i < call.numFields; ++i)
        {
            const auto& field = call.fields[i];
            const auto start = reinterpret_cast<std::uintptr_t> (ptr) + field.offset;
            const auto pageEnd = ((start + field.limit - 1) | (pageBytes - 1)) + 1;
            end = std::max (end, field.isField ? field.offset + field.limit : (std::size_t) (pageEnd - start));
        }

        return std::min (end, room);
    }

    void checkField (bool dispatcher, std::int32_t opcode, const TextField& field, const char* text,
                     std::size_t bytesRead) noexcept
    {
        const auto available = field.isField ? field.limit : bytesRead - field.offset;
        const auto length = strnlen (text + field.offset, available);
        const bool noEnd = length == available;

        if (! noEnd && length + 1 <= field.limit)
            return;

        char line[256];
        LineWriter writer (line);
        writer.append (dispatcher ? "the target wrote " : "the host wrote ");

        if (noEnd)
        {
            writer.appendLiteral ("no end within ");
            writer.appendUnsigned (available);
            writer.appendLiteral (" bytes");
        }
        else
        {
            writer.appendUnsigned (length + 1);
            writer.appendLiteral (" bytes");
        }

        writer.appendLiteral (" into ");
        textchecks::appendCall (writer, dispatcher, opcode);
        writer.appendLiteral ("'s ");
        writer.append (field.name);
        writer.appendLiteral (", the VST 2 limit is ");
        writer.appendUnsigned (field.limit);
        writer.appendLiteral (" including the end (hosts commonly give more room)");
        checkRules.breach (dispatcher ? CheckRule::targetText : CheckRule::hostText, writer.text());
    }
}

namespace textchecks
{
    void saveBefore (CallChecks::Entry& entry, bool dispatcher, std::int32_t opcode, const void* ptr) noexcept
    {
        const auto* call = ptr != nullptr ? findTextCall (dispatcher, opcode) : nullptr;

        if (call == nullptr)
            return;

        entry.textBytes = (std::uint16_t) bytesToRead (*call, ptr);
        std::memcpy (entry.textBefore, ptr, entry.textBytes);
        entry.textSaved = true;
    }

    void checkAfter (const CallChecks::Entry& entry, bool dispatcher, std::int32_t opcode, const void* ptr) noexcept
    {
        const auto* call = entry.textSaved ? findTextCall (dispatcher, opcode) : nullptr;

        if (call == nullptr)
            return;

        // A callee that wrote nothing leaves whatever the caller's buffer held.
        const std::size_t bytes = entry.textBytes;

        if (std::memcmp (entry.textBefore, ptr, bytes) == 0)
            return;

        char text[room];
        std::memcpy (text, ptr, bytes);

        for (int i = 0; i < call->numFields; ++i)
            checkField (dispatcher, opcode, call->fields[i], text, bytes);
    }

    void appendCall (LineWriter& line, bool dispatcher, std::int32_t opcode) noexcept
    {
        // VST 2.4's opcodes past the catalogue (which stops at 2.3's), effSetProcessPrecision among them.
        static constexpr struct { std::int32_t opcode; const char* name; } laterOpcodes[] = {
            { 77, "SetProcessPrecision" }, { 78, "GetNumMidiInputChannels" }, { 79, "GetNumMidiOutputChannels" }
        };

        if ((std::uint32_t) opcode < (std::uint32_t) (dispatcher ? numDispatcherOpCodes : numAudioMasterOpCodes))
        {
            line.append (dispatcher ? "eff" : "audioMaster");
            line.append ((dispatcher ? dispatcherOpCodes : audioMasterOpCodes)[opcode].name);
            return;
        }

        for (const auto& later : laterOpcodes)
            if (dispatcher && later.opcode == opcode)
            {
                line.appendLiteral ("eff");
                line.append (later.name);
                return;
            }

        line.append (dispatcher ? "dispatcher opcode " : "audioMaster opcode ");
        line.appendDecimal (opcode);
    }

    void appendFunction (LineWriter& line, AEffectFunction function) noexcept
    {
        line.append (aEffectFunctionNames[function]);
    }
}
