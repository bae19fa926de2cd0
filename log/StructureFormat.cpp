#include "StructureFormat.h"
#include "StructureDecoder.h"

#include <cmath>

namespace StructureFormat
{
    void appendHexDigits (LineWriter& line, std::uint32_t value, int numDigits) noexcept
    {
        while (--numDigits >= 0)
            line.appendChar ("0123456789ABCDEF"[(value >> (4 * numDigits)) & 15]);
    }

    void appendBytes (LineWriter& line, const unsigned char* bytes, std::size_t count) noexcept
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            if (i > 0)
                line.appendChar (' ');

            appendHexDigits (line, bytes[i], 2);
        }
    }

    void appendText (LineWriter& line, const char* name, const char* text, std::size_t size) noexcept
    {
        line.append (name);
        line.append ("=\"");

        for (std::size_t i = 0; i < size && text[i] != '\0'; ++i)
        {
            const auto c = static_cast<unsigned char> (text[i]);
            line.appendChar (c < 0x20 || c == 0x7f || c == '"' ? '?' : text[i]);
        }

        line.appendChar ('"');
    }

    void appendDouble (LineWriter& line, double value) noexcept
    {
        if (std::isnan (value))
            return line.append ("nan");

        if (std::isinf (value))
            return line.append (value < 0 ? "-inf" : "inf");

        const double magnitude = std::fabs (value);

        if (magnitude >= 9.0e18)
            return line.append (value < 0 ? "-huge" : "huge");

        const bool whole = magnitude >= 9.0e12;
        const auto scaled = static_cast<std::uint64_t> (std::llround (whole ? magnitude : magnitude * 1.0e6));

        if (value < 0 && scaled != 0)
            line.appendChar ('-');

        line.appendDecimal (static_cast<std::int64_t> (whole ? scaled : scaled / 1000000));
        line.appendChar ('.');

        auto fraction = whole ? 0 : static_cast<std::uint32_t> (scaled % 1000000);
        char digits[6];

        for (int i = 6; --i >= 0; fraction /= 10)
            digits[i] = static_cast<char> ('0' + fraction % 10);

        for (char digit : digits)
            line.appendChar (digit);
    }
}

namespace
{
    // Slicing by 16: table k holds a byte's CRC carried through k more bytes,
    // so one step takes 16 bytes in 16 independent lookups, where a byte-wise
    // loop waits on a lookup for every byte (BM_ChunkCrc32: 7 times as fast).
    struct CrcTables
    {
        std::uint32_t entries[16][256];
    };

    constexpr CrcTables makeCrcTables() noexcept
    {
        CrcTables tables {};
        auto& t = tables.entries;

        for (std::uint32_t i = 0; i < 256; ++i)
        {
            auto c = i;

            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;

            t[0][i] = c;
        }

        for (int k = 1; k < 16; ++k)
            for (int i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];

        return tables;
    }

    constexpr CrcTables crcTables = makeCrcTables();

    // Little-endian on any machine; one unaligned load where the machine is.
    inline std::uint32_t load32 (const unsigned char* p) noexcept
    {
        return static_cast<std::uint32_t> (p[0]) | static_cast<std::uint32_t> (p[1]) << 8
             | static_cast<std::uint32_t> (p[2]) << 16 | static_cast<std::uint32_t> (p[3]) << 24;
    }

    // The four lookups of one 32-bit word against tables first down to first - 3.
    inline std::uint32_t lookUpWord (std::uint32_t word, int first) noexcept
    {
        const auto& t = crcTables.entries;
        return t[first][word & 0xff] ^ t[first - 1][(word >> 8) & 0xff]
             ^ t[first - 2][(word >> 16) & 0xff] ^ t[first - 3][word >> 24];
    }
}

// [any thread, realtime]
std::uint32_t StructureDecoder::crc32 (const void* data, std::size_t size, std::uint32_t previous) noexcept
{
    auto crc = ~previous;
    const auto* bytes = static_cast<const unsigned char*> (data);

    for (; size >= 16; size -= 16, bytes += 16)
        crc = lookUpWord (load32 (bytes) ^ crc, 15) ^ lookUpWord (load32 (bytes + 4), 11)
            ^ lookUpWord (load32 (bytes + 8), 7) ^ lookUpWord (load32 (bytes + 12), 3);

    for (; size > 0; --size, ++bytes)
        crc = crcTables.entries[0][(crc ^ *bytes) & 0xff] ^ (crc >> 8);

    return ~crc;
}
