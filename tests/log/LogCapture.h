// Captures the lines tbLogger writes, for the logger's tests.
#pragma once

#include "log/TBLogger.h"
#include "platform/ThreadId.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

struct CapturedLines
{
    static std::mutex& lock()
    {
        static std::mutex m;
        return m;
    }

    static std::vector<std::string>& lines()
    {
        static std::vector<std::string> l;
        return l;
    }

    static void sink (const char* line, std::size_t length)
    {
        const std::lock_guard<std::mutex> guard (lock());
        lines().emplace_back (line, length);
    }

    static std::vector<std::string> take()
    {
        const std::lock_guard<std::mutex> guard (lock());
        auto result = std::move (lines());
        lines().clear();
        return result;
    }
};

// "(%X) " with the calling thread's identifier.
inline std::string threadPrefix()
{
    char text[32];
    std::snprintf (text, sizeof (text), "(%X) ", (unsigned) currentThreadId());
    return text;
}

// A line taken apart: "[HH:MM:SS.mmm ](%X) name:text"; ok is false when its shape is wrong.
struct ParsedLine
{
    bool ok = false;
    bool hasTime = false;
    std::string name, text;
};

inline ParsedLine parseLine (const std::string& line)
{
    ParsedLine parsed;
    std::size_t pos = 0;
    auto isDigit = [&] (std::size_t i) { return i < line.size() && line[i] >= '0' && line[i] <= '9'; };

    if (line.size() > 13 && line[2] == ':')
    {
        for (std::size_t i = 0; i < 13; ++i)
        {
            const char expected = "00:00:00.000 "[i];

            if (expected == '0' ? ! isDigit (i) : line[i] != expected)
                return parsed;
        }

        parsed.hasTime = true;
        pos = 13;
    }

    if (pos >= line.size() || line[pos++] != '(')
        return parsed;

    const auto hexStart = pos;

    while (pos < line.size() && std::strchr ("0123456789ABCDEF", line[pos]) != nullptr && line[pos] != 0)
        ++pos;

    if (pos == hexStart || line.compare (pos, 2, ") ") != 0)
        return parsed;

    pos += 2;
    const auto colon = line.find (':', pos);

    if (colon == std::string::npos)
        return parsed;

    parsed.name = line.substr (pos, colon - pos);
    parsed.text = line.substr (colon + 1);
    parsed.ok = true;
    return parsed;
}

// tbLogger freshly initialised under a name, its lines captured.
class CapturingTest : public ::testing::Test
{
protected:
    explicit CapturingTest (const char* name) : loggerName (name) {}

    void SetUp() override
    {
        tbLogger.initialise (loggerName);
        tbLogger.setLineSink (CapturedLines::sink);
        CapturedLines::take();
    }

    void TearDown() override
    {
        tbLogger.setLineSink (nullptr);
        juce::Logger::setCurrentLogger (nullptr);
    }

    const char* loggerName;
};

// tbLogger freshly initialised as "MyDelay.dll", its lines captured.
// A folder of its own under the system's temporary one, gone with the object.
struct TemporaryFolder
{
    explicit TemporaryFolder (const char* prefix)
        : file (juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile (prefix, "", false))
    {
        file.createDirectory();
    }

    ~TemporaryFolder() { file.deleteRecursively(); }

    juce::File file;
};

class LoggerTest : public CapturingTest
{
protected:
    LoggerTest() : CapturingTest ("MyDelay.dll") {}

    static std::string prefix()  { return threadPrefix() + "MyDelay.dll:"; }

    // The texts captured since the last call, each with the expected prefix removed.
    static std::vector<std::string> texts()
    {
        std::vector<std::string> result;

        for (auto& line : CapturedLines::take())
        {
            EXPECT_EQ (line.compare (0, prefix().size(), prefix()), 0) << line;
            result.push_back (line.substr (std::min (line.size(), prefix().size())));
        }

        return result;
    }

    // The one text captured since the last call ("" and a failure if not exactly one).
    static std::string onlyText()
    {
        const auto all = texts();
        EXPECT_EQ (all.size(), 1u);
        return all.size() == 1 ? all[0] : std::string();
    }
};
