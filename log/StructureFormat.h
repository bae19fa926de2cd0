// The pieces the structure decoders build their text from: copies that need
// no alignment, the " {...}" block that cuts after its last whole item, and
// the number, text, flag and name formats. Internal to the decoders.
#pragma once

#include "LineWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace StructureFormat
{
    // The first `size` bytes of a structure, copied: a caller's pointer need
    // not be aligned, and a partial copy reads no further than the header
    // every source agrees the sender allocates.
    template <typename T>
    T copyOf (const void* source, std::size_t size = sizeof (T)) noexcept
    {
        T copy {};
        std::memcpy (&copy, source, size);
        return copy;
    }

    inline const char* byteOffset (const void* base, std::size_t offset) noexcept
    {
        return static_cast<const char*> (base) + offset;
    }

    //==============================================================================
    // " … 4294967295 more}" and a little over: the room every item leaves behind it,
    // so that a cut can always be closed.
    constexpr std::size_t tailRoom = 24;

    // One " {...}" block of items. An item that does not fit, and every later
    // one, is left out and counted; the block is closed on destruction.
    class Block
    {
    public:
        explicit Block (LineWriter& lineToUse) noexcept : line (lineToUse)
        {
            if (line.room() < tailRoom + 2)
            {
                abandoned = cut = true; // the line's own text filled it: leave that alone
                return;
            }

            const auto length = line.length();

            if (length == 0 || line.text()[length - 1] != ' ')
                line.appendChar (' ');

            line.appendChar ('{');
        }

        ~Block()
        {
            if (abandoned)
                return;

            if (leftOut > 0)
            {
                line.append (" \xe2\x80\xa6 ");
                line.appendDecimal (leftOut);
                line.append (" more");
            }

            line.appendChar ('}');
        }

        bool isCut() const noexcept  { return cut; }

        // Items not read at all (past a read bound): counted, and nothing may follow.
        void skip (std::int64_t count) noexcept
        {
            leftOut += count > 0 ? count : 0;
            cut = true;
        }

        // Separators are literals: their length is known, and no search runs
        // for it at every item of an event list.
        template <typename Write>
        void item (Write&& write) noexcept
        {
            item (std::forward<Write> (write), " ");
        }

        template <typename Write, std::size_t size>
        void item (Write&& write, const char (&separator)[size]) noexcept
        {
            if (cut)
            {
                ++leftOut;
                return;
            }

            const auto mark = line.length();

            if (numItems > 0)
                line.appendLiteral (separator);

            write();

            if (line.room() < tailRoom)
            {
                line.truncate (mark);
                cut = true;
                ++leftOut;
                return;
            }

            ++numItems;
        }

    private:
        LineWriter& line;
        int numItems = 0;
        std::int64_t leftOut = 0;
        bool cut = false, abandoned = false;

        Block (const Block&) = delete;
        Block& operator= (const Block&) = delete;
    };

    //==============================================================================
    // Upper-case hexadecimal, zero-padded to numDigits.
    void appendHexDigits (LineWriter& line, std::uint32_t value, int numDigits) noexcept;
    // Upper-case hexadecimal pairs, separated by spaces.
    void appendBytes (LineWriter& line, const unsigned char* bytes, std::size_t count) noexcept;
    // A fixed-size text field, quoted: up to its terminator or its end, whichever
    // comes first, with control characters and quotes replaced.
    void appendText (LineWriter& line, const char* name, const char* text, std::size_t size) noexcept;
    // Six decimals like "%f", to the nearest millionth; magnitudes a double
    // cannot carry to a millionth print as whole numbers.
    void appendDouble (LineWriter& line, double value) noexcept;

    struct FlagName
    {
        std::int32_t bit;
        const char* name;
    };

    // Names joined by '|', unknown bits as one hexadecimal rest, "none" for 0.
    template <std::size_t numNames>
    void appendFlags (LineWriter& line, const char* label, std::int32_t flags, const FlagName (&names)[numNames]) noexcept
    {
        line.append (label);
        line.appendChar ('=');

        if (flags == 0)
            return line.append ("none");

        auto rest = static_cast<std::uint32_t> (flags);
        const char* separator = "";

        for (const auto& flag : names)
        {
            if ((rest & static_cast<std::uint32_t> (flag.bit)) != 0)
            {
                line.append (separator);
                line.append (flag.name);
                rest &= ~static_cast<std::uint32_t> (flag.bit);
                separator = "|";
            }
        }

        if (rest != 0)
        {
            line.append (separator);
            line.append ("0x");
            line.appendHex (rest);
        }
    }

    // A name from a table indexed from `first`, or the number.
    template <std::size_t numNames>
    void appendNamed (LineWriter& line, std::int32_t value, std::int32_t first, const char* const (&names)[numNames]) noexcept
    {
        const auto index = static_cast<std::int64_t> (value) - first;

        if (index >= 0 && index < static_cast<std::int64_t> (numNames) && names[index] != nullptr)
            return line.append (names[index]);

        line.appendDecimal (value);
    }

    template <typename Number>
    void appendNamedNumber (LineWriter& line, const char* name, Number value) noexcept
    {
        line.append (name);
        line.appendChar ('=');
        line.appendDecimal (value);
    }

    // The same for a literal name, the common case: its length is known.
    template <std::size_t size, typename Number>
    void appendNumber (LineWriter& line, const char (&name)[size], Number value) noexcept
    {
        line.appendLiteral (name);
        line.appendChar ('=');
        line.appendDecimal (value);
    }
}

namespace StructureDecoder
{
    // [any thread, realtime] A VstEvents list (EventDecoder.cpp).
    void decodeEvents (LineWriter& line, const void* events) noexcept;
}
