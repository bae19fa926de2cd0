#include "log/LineWriter.h"
#include "platform/TimeOfDay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int randomFloats = 300000;
#else
    constexpr int randomFloats = 4000000;
#endif

    std::string written (void (*write) (LineWriter&, std::uint64_t), std::uint64_t argument)
    {
        char buffer[128];
        LineWriter line (buffer);
        write (line, argument);
        return line.text();
    }

    std::string viaPrintf (const char* format, double value)
    {
        char text[128];
        std::snprintf (text, sizeof (text), format, value);
        return text;
    }

    std::string floatText (float value)
    {
        char buffer[128];
        LineWriter line (buffer);
        line.appendFloat (value);
        return line.text();
    }

    float fromBits (std::uint32_t bits)
    {
        float f;
        std::memcpy (&f, &bits, sizeof (f));
        return f;
    }
}

TEST (LineWriter, FloatsMatchPrintf)
{
    // Specials, rounding ties at the sixth decimal, the ends of every range.
    const float specials[] = { 0.0f, -0.0f, 0.5f, 0.75f, 44100.0f, 1e-7f, -1e-7f, 5e-7f, 4.9999997e-7f,
                               0.0000005f, 0.0000015f, 0.0000025f, 1.0000005f, 2.5e-6f, 0.1234565f,
                               16777216.0f, 16777217.0f, 3.4028235e38f, -3.4028235e38f,
                               std::numeric_limits<float>::min(), std::numeric_limits<float>::denorm_min(),
                               std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                               fromBits (0x7f800001), fromBits (0xffc00001) };

    for (float f : specials)
        EXPECT_EQ (floatText (f), viaPrintf ("%f", (double) f)) << std::hexfloat << f;

    // Every exponent, with the lowest and highest mantissas.
    for (std::uint32_t exponent = 0; exponent < 256; ++exponent)
        for (std::uint32_t mantissa : { 0u, 1u, 0x400000u, 0x7fffffu })
            for (std::uint32_t sign : { 0u, 0x80000000u })
            {
                const float f = fromBits (sign | (exponent << 23) | mantissa);
                ASSERT_EQ (floatText (f), viaPrintf ("%f", (double) f)) << std::hexfloat << f;
            }

    // Random bit patterns over the whole range, and denser where six decimals round.
    std::mt19937 random (12345);

    for (int i = 0; i < randomFloats; ++i)
    {
        const auto bits = static_cast<std::uint32_t> (random());
        const auto exponent = 106u + (bits >> 23) % 46u; // 2^-21 to 2^24: values with digits on both sides of the point
        const float f = (i % 2 == 0) ? fromBits (bits) : fromBits ((bits & 0x807fffffu) | (exponent << 23));
        ASSERT_EQ (floatText (f), viaPrintf ("%f", (double) f)) << std::hexfloat << f;
    }
}

TEST (LineWriter, IntegersAndPointersMatchPrintf)
{
    auto decimal = [] (LineWriter& l, std::uint64_t v) { l.appendDecimal ((std::int64_t) v); };
    auto hex = [] (LineWriter& l, std::uint64_t v) { l.appendHex ((std::uint32_t) v); };
    auto count = [] (LineWriter& l, std::uint64_t v) { l.appendUnsigned (v); };
    auto pointer = [] (LineWriter& l, std::uint64_t v) { l.appendPointer (reinterpret_cast<const void*> (v)); };

    std::vector<std::uint64_t> values { 0, 1, 9, 10, 0x7fffffff, 0x80000000, 0xffffffff, 0x9f4,
                                        0x8000000000000000ull, 0x7fffffffffffffffull, 0xffffffffffffffffull };
    std::mt19937_64 random (99);

    for (int i = 0; i < 100000; ++i)
        values.push_back (random() >> (random() % 64));

    char expected[64];

    for (auto v : values)
    {
        std::snprintf (expected, sizeof (expected), "%lld", (long long) v);
        ASSERT_EQ (written (decimal, v), expected);
        std::snprintf (expected, sizeof (expected), "%d", (int) (std::uint32_t) v);
        ASSERT_EQ (written (decimal, (std::uint64_t) (std::int64_t) (std::int32_t) v), expected);
        std::snprintf (expected, sizeof (expected), "%llu", (unsigned long long) v);
        ASSERT_EQ (written (count, v), expected);
        std::snprintf (expected, sizeof (expected), "%X", (unsigned) v);
        ASSERT_EQ (written (hex, v), expected);
        std::snprintf (expected, sizeof (expected), "%016llX", (unsigned long long) v);
        ASSERT_EQ (written (pointer, v), expected);
    }
}

TEST (LineWriter, NeverWritesPastItsBuffer)
{
    char buffer[12];
    std::memset (buffer, '#', sizeof (buffer));
    LineWriter line (buffer, 8); // 8 characters + terminator; buffer[9..] must stay untouched

    line.append ("abc");
    line.appendFloat (-3.4028235e38f);
    line.appendChar ('z'); // nothing after a cut
    line.append ("more");
    EXPECT_STREQ (line.text(), "abc-3402");
    EXPECT_TRUE (line.isFull());
    EXPECT_EQ (buffer[9], '#');

    // A cut text ends before the character it would split.
    LineWriter utf8 (buffer, 8);
    utf8.append ("abcdef\xE2\x82\xAC");
    EXPECT_STREQ (utf8.text(), "abcdef");

    EXPECT_EQ (LineWriter::utf8CutLength ("ab\xF0\x9F\x8E\xB5", 2), 2u);
    EXPECT_EQ (LineWriter::utf8CutLength ("ab\xF0\x9F\x8E\xB5", 5), 2u);
    EXPECT_EQ (LineWriter::utf8CutLength ("\x80\x80\x80\x80\x80", 4), 4u); // not UTF-8: cut at the room
}

// An escape takes the room it needs or none: the text is cut before it, as
// before a character that would be split.
TEST (LineWriter, ControlCharactersAreEscapedWhole)
{
    const struct { const char* text; std::size_t capacity; const char* expected; bool full; } cases[] =
    {
        { "\r\t\x1B\x01\x7F\x1F", 64, "\\r\\t\\x1B\\x01\\x7F\\x1F", false },
        { "C:\\Dir\\\xC3\xA9 \x80", 64, "C:\\Dir\\\xC3\xA9 \x80", false }, // as they are
        { "abc", 3, "abc", false },
        { "ab\n", 4, "ab\\n", false },
        { "ab\x1B", 6, "ab\\x1B", false },
        { "ab\n", 3, "ab", true },
        { "ab\x1B", 5, "ab", true },
        { "ab\x1B" "cd", 6, "ab\\x1B", true },
        { "\xC3\xA9\n", 3, "\xC3\xA9", true },
        { "\n\xC3\xA9", 3, "\\n", true },
    };

    for (const auto& c : cases)
    {
        char buffer[72];
        LineWriter line (buffer, c.capacity);
        line.appendEscaped (c.text);
        EXPECT_STREQ (line.text(), c.expected) << c.text;
        EXPECT_EQ (line.isFull(), c.full) << c.text;
    }
}

TEST (TimeOfDay, FollowsTheLocalZoneAcrossDaylightSavingChanges)
{
    const char* previous = std::getenv ("TZ");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv ("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();

    auto at = [] (int year, int month, int day, int hour, int minute, int second, long millis)
    {
        std::tm utc {};
        utc.tm_year = year - 1900; utc.tm_mon = month - 1; utc.tm_mday = day;
        utc.tm_hour = hour; utc.tm_min = minute; utc.tm_sec = second;
        const auto t = localTimeOfDay (std::timespec { ::timegm (&utc), millis * 1000000 });
        char text[32];
        std::snprintf (text, sizeof (text), "%02d:%02d:%02d.%03d", t.hours, t.minutes, t.seconds, t.milliseconds);
        return std::string (text);
    };

    EXPECT_EQ (at (2026, 3, 29, 0, 59, 59, 999), "01:59:59.999");
    EXPECT_EQ (at (2026, 3, 29, 1, 0, 0, 0), "03:00:00.000");
    EXPECT_EQ (at (2026, 10, 25, 0, 59, 59, 5), "02:59:59.005");
    EXPECT_EQ (at (2026, 10, 25, 1, 0, 0, 0), "02:00:00.000");
    EXPECT_EQ (at (2026, 12, 31, 23, 30, 0, 0), "00:30:00.000");
    EXPECT_EQ (at (1969, 12, 31, 22, 59, 1, 1), "23:59:01.001"); // before the epoch

    // Random moments, each compared with the C library's own conversion.
    std::mt19937 random (7);

    for (int i = 0; i < 20000; ++i)
    {
        const std::time_t t = 1700000000 + (std::time_t) (random() % 200000000);
        std::tm local {};
        ::localtime_r (&t, &local);
        const auto ours = localTimeOfDay (std::timespec { t, 0 });
        ASSERT_EQ (ours.hours * 3600 + ours.minutes * 60 + ours.seconds,
                   local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) << t;
    }

    if (previous != nullptr)
        ::setenv ("TZ", saved.c_str(), 1);
    else
        ::unsetenv ("TZ");

    ::tzset();
    localTimeOfDay (std::timespec { 0, 0 }); // drop the cached offset of the test zone
}
