// A tiny appender into a fixed character buffer, for the logger's lines. It
// stands in for snprintf on the call paths: no locale (a host may have set a
// comma decimal point), no allocation, and a fraction of the cost. Every
// conversion prints exactly what glibc's printf prints for the same format.
// Content that does not fit is cut at a UTF-8 character boundary, and nothing
// is appended after a cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class LineWriter
{
public:
    // buffer holds capacity + 1 bytes: room for the terminator.
    LineWriter (char* buffer, std::size_t capacity) noexcept
        : data (buffer), limit (capacity)
    {
        data[0] = '\0';
    }

    template <std::size_t size>
    explicit LineWriter (char (&buffer)[size]) noexcept : LineWriter (buffer, size - 1) {}

    std::size_t length() const noexcept  { return used; }
    bool isFull() const noexcept         { return full; }
    // Bytes that can still be appended.
    std::size_t room() const noexcept    { return full ? 0 : limit - used; }

    // Terminated text so far.
    const char* text() noexcept
    {
        data[used] = '\0';
        return data;
    }

    // Keeps up to `count` bytes of room aside for text that must end the
    // line, whatever comes before it; answers how many were kept.
    std::size_t holdBack (std::size_t count) noexcept
    {
        const auto kept = full ? 0 : (count < limit - used ? count : limit - used);
        limit -= kept;
        return kept;
    }

    // Gives the kept room back, also after a cut: the ending still fits.
    void giveBack (std::size_t count) noexcept
    {
        limit += count;

        if (count > 0)
            full = false;
    }

    // Drops everything after the first `newLength` characters.
    void truncate (std::size_t newLength) noexcept
    {
        if (newLength < used)
            used = newLength;

        full = false;
    }

    void appendChar (char c) noexcept
    {
        if (used < limit && ! full)
            data[used++] = c;
        else
            full = true;
    }

    // "%s": a null text prints "(null)". Reads no further into the text than fits.
    void append (const char* text) noexcept
    {
        if (text == nullptr)
            text = "(null)";

        const std::size_t room = full ? 0 : limit - used;
        const std::size_t length = ::strnlen (text, room + 1);

        if (length <= room)
            return appendBytes (text, length);

        appendCut (text, room);
    }

    // A text the host or the target handed over, as append does it, but with
    // its control characters escaped ("\n", "\r", "\t", "\x1B"): whatever it
    // holds, a call stays one line. An escape is written whole or not at all.
    void appendEscaped (const char* text) noexcept
    {
        if (text == nullptr)
            return append (text);

        for (;;)
        {
            const std::size_t room = full ? 0 : limit - used;
            std::size_t length = 0;

            while (length <= room && isPlain (text[length]))
                ++length;

            if (length > room)
                return appendCut (text, room);

            appendBytes (text, length);

            if (text[length] == '\0')
                return;

            appendEscape (static_cast<unsigned char> (text[length]));
            text += length + 1;
        }
    }

    // A text of known length, ASCII (a literal): no search for its end.
    template <std::size_t size>
    void appendLiteral (const char (&text)[size]) noexcept
    {
        appendShortBytes (text, size - 1);
    }

    void appendKnownLength (const char* text, std::size_t length) noexcept
    {
        appendShortBytes (text, length);
    }

    // A count of tenths with one decimal: 123 gives "12.3".
    void appendTenths (std::uint64_t tenths) noexcept
    {
        appendDecimal (static_cast<std::int64_t> (tenths / 10));
        appendChar ('.');
        appendChar (static_cast<char> ('0' + tenths % 10));
    }

    // "%d" of any signed integer up to 64 bits.
    void appendDecimal (std::int64_t value) noexcept
    {
        const bool negative = value < 0;
        auto magnitude = negative ? 0 - static_cast<std::uint64_t> (value) : static_cast<std::uint64_t> (value);

        char digits[24];
        char* start = formatUnsigned (digits + sizeof (digits), magnitude);

        if (negative)
            *--start = '-';

        appendBytes (start, static_cast<std::size_t> (digits + sizeof (digits) - start));
    }

    // "%llu": counts, which may pass 2^32.
    void appendUnsigned (std::uint64_t value) noexcept
    {
        char digits[24];
        char* start = formatUnsigned (digits + sizeof (digits), value);
        appendBytes (start, static_cast<std::size_t> (digits + sizeof (digits) - start));
    }

    // "%X": upper-case hexadecimal, no leading zeros.
    void appendHex (std::uint32_t value) noexcept
    {
        char digits[8];
        char* p = digits + sizeof (digits);

        do
        {
            *--p = hexDigit (value & 15);
            value >>= 4;
        }
        while (value != 0);

        appendBytes (p, static_cast<std::size_t> (digits + sizeof (digits) - p));
    }

    // The pointer in upper-case hexadecimal, zero-padded to full width, no prefix.
    void appendPointer (const void* pointer) noexcept
    {
        constexpr int numDigits = 2 * sizeof (void*);
        auto value = reinterpret_cast<std::uintptr_t> (pointer);
        char digits[numDigits];

        for (int i = numDigits; --i >= 0;)
        {
            digits[i] = hexDigit (static_cast<unsigned> (value & 15));
            value >>= 4;
        }

        appendBytes (digits, numDigits);
    }

    // "%f" of the float widened to double: six decimals, rounded from the exact
    // binary value with ties to even, as glibc does.
    void appendFloat (float value) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));

        const bool negative = (bits >> 31) != 0;
        const int exponentBits = static_cast<int> ((bits >> 23) & 0xff);
        const std::uint32_t fraction = bits & 0x7fffff;

        if (exponentBits == 0xff)
        {
            if (fraction != 0)
                return append (negative ? "-nan" : "nan");

            return append (negative ? "-inf" : "inf");
        }

        if (negative)
            appendChar ('-');

        // value = mantissa * 2^exponent exactly.
        const std::uint32_t mantissa = exponentBits == 0 ? fraction : (fraction | 0x800000);
        const int exponent = (exponentBits == 0 ? 1 : exponentBits) - 150;

        char digits[48];
        char* const end = digits + sizeof (digits);
        char* start;

        if (exponent >= 0)
        {
            // A whole number below 2^128: no fraction to round.
            start = end - 7;
            std::memcpy (start, ".000000", 7);
            start = formatShifted (start, mantissa, exponent);
        }
        else
        {
            const auto micros = roundedMicros (mantissa, -exponent);
            start = formatUnsigned (end, micros % 1000000, 6);
            *--start = '.';
            start = formatUnsigned (start, micros / 1000000);
        }

        appendBytes (start, static_cast<std::size_t> (end - start));
    }

    // How many leading bytes of text to keep so that at most maxBytes are
    // kept and no multi-byte UTF-8 sequence is split. text must have more
    // than maxBytes bytes before its terminator.
    static std::size_t utf8CutLength (const char* text, std::size_t maxBytes) noexcept
    {
        auto isContinuation = [text] (std::size_t i) { return (static_cast<unsigned char> (text[i]) & 0xc0) == 0x80; };

        if (! isContinuation (maxBytes))
            return maxBytes;

        std::size_t start = maxBytes;

        while (start > 0 && isContinuation (start) && maxBytes - start < 3)
            --start;

        // A lead byte starts the sequence that would be split: drop it too.
        // Anything else is not UTF-8; cut where the room ends.
        return (static_cast<unsigned char> (text[start]) >= 0xc0) ? start : maxBytes;
    }

private:
    char* data;
    std::size_t limit;
    std::size_t used = 0;
    bool full = false;

    static char hexDigit (unsigned value) noexcept
    {
        return "0123456789ABCDEF"[value];
    }

    // Bytes 0x80 and up belong to UTF-8 characters: only controls are escaped.
    static bool isPlain (char c) noexcept
    {
        const auto byte = static_cast<unsigned char> (c);
        return byte >= 0x20 && byte != 0x7f;
    }

    void appendEscape (unsigned char c) noexcept
    {
        const char named = c == '\n' ? 'n' : c == '\r' ? 'r' : c == '\t' ? 't' : '\0';
        const char escape[4] = { '\\', named != '\0' ? named : 'x', hexDigit (c >> 4), hexDigit (c & 15u) };
        const std::size_t length = named != '\0' ? 2 : 4;

        if (full || length > limit - used)
            full = true;
        else
            appendBytes (escape, length);
    }

    // The rare path, out of line: text has more than `room` bytes.
    __attribute__ ((noinline)) void appendCut (const char* text, std::size_t room) noexcept
    {
        appendBytes (text, utf8CutLength (text, room));
        full = true;
    }

    // Room for count bytes at the end (fewer where the line fills up); null when full.
    char* reserve (std::size_t& count) noexcept
    {
        if (full)
            return nullptr;

        if (count > limit - used)
        {
            count = limit - used;
            full = true;
        }

        char* const destination = data + used;
        used += count;
        return destination;
    }

    void appendBytes (const char* bytes, std::size_t count) noexcept
    {
        if (auto* destination = reserve (count))
            std::memcpy (destination, bytes, count);
    }

    // The same for the few bytes of a name or a number: a loop beats a call to
    // memcpy. Through a local: stores through a char pointer could otherwise
    // alias this object's members and reload them at every byte.
    void appendShortBytes (const char* bytes, std::size_t count) noexcept
    {
        if (auto* destination = reserve (count))
        {
            if (count > 16)
                std::memcpy (destination, bytes, count);
            else
                for (std::size_t i = 0; i < count; ++i)
                    destination[i] = bytes[i];
        }
    }

    // Writes the digits backwards ending at `end`, at least minDigits of them;
    // returns the first.
    template <typename Unsigned>
    static char* formatUnsigned (char* end, Unsigned value, int minDigits = 1) noexcept
    {
        char* p = end;

        while (value != 0 || (end - p) < minDigits)
        {
            *--p = static_cast<char> ('0' + static_cast<int> (value % 10));
            value /= 10;
        }

        return p;
    }

    // The decimal digits of mantissa * 2^exponent (below 2^128), written
    // backwards ending at `end`; returns the first. 32-bit words, so that
    // compilers without a 128-bit integer (32-bit targets) build it too.
    static char* formatShifted (char* end, std::uint32_t mantissa, int exponent) noexcept
    {
        std::uint32_t words[5] = {}; // most significant first
        const int wordShift = exponent / 32;
        const auto shifted = static_cast<std::uint64_t> (mantissa) << (exponent % 32); // below 2^56
        words[4 - wordShift] = static_cast<std::uint32_t> (shifted);
        words[3 - wordShift] = static_cast<std::uint32_t> (shifted >> 32);

        char* p = end;
        bool more;

        do
        {
            std::uint64_t remainder = 0;
            more = false;

            for (auto& word : words)
            {
                const auto current = (remainder << 32) | word;
                word = static_cast<std::uint32_t> (current / 10);
                remainder = current % 10;
                more = more || word != 0;
            }

            *--p = static_cast<char> ('0' + static_cast<int> (remainder));
        }
        while (more);

        return p;
    }

    // mantissa * 10^6 / 2^shift, rounded to nearest, ties to even.
    static std::uint64_t roundedMicros (std::uint32_t mantissa, int shift) noexcept
    {
        const auto scaled = static_cast<std::uint64_t> (mantissa) * 1000000u; // below 2^44

        if (shift > 44)
            return 0; // below half a millionth: scaled < 2^44 <= half

        const auto quotient = scaled >> shift;
        const auto remainder = scaled - (quotient << shift);
        const auto half = static_cast<std::uint64_t> (1) << (shift - 1);
        const bool roundUp = remainder > half || (remainder == half && (quotient & 1) != 0);

        return static_cast<std::uint64_t> (quotient) + (roundUp ? 1 : 0);
    }
};
