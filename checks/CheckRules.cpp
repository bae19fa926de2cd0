#include "CheckRules.h"

#include "../log/TBLogger.h"
#include "../platform/ThreadId.h"

#include <algorithm>
#include <cstring>

CheckRules checkRules;

void CheckRules::breach (CheckRule rule, const char* text) noexcept
{
    const auto index = (int) rule;

    if (! tbLogger.checkRuleOn[index].load (std::memory_order_relaxed))
        return;

    const auto count = counts[index].fetch_add (1, std::memory_order_relaxed) + 1;

    if (count > breachesWritten + 1)
        return;

    char line[TBLogger::maxLineLength + 1];
    LineWriter writer (line);
    writer.appendLiteral ("Check: ");

    if (count > breachesWritten)
    {
        writer.append (checkRuleInfo[index].title);
        writer.appendLiteral (": further breaches are only counted");
    }
    else
    {
        writer.append (text);
        writer.appendLiteral (", thread ");
        writer.appendHex (currentThreadId());
    }

    tbLogger.logLine (writer.text());

    // The page's copy: the first writer fills it; readers wait for the done mark.
    if (int empty = 0; count == 1 && firstState[index].compare_exchange_strong (empty, 1))
    {
        const auto length = std::min (std::strlen (line), (std::size_t) firstLineBytes - 1);
        std::memcpy (firstLines[index], line, length);
        firstLines[index][length] = 0;
        firstState[index].store (2, std::memory_order_release);
    }
}

const char* CheckRules::getFirstLine (CheckRule rule) const noexcept
{
    const auto index = (int) rule;
    return firstState[index].load (std::memory_order_acquire) == 2 ? firstLines[index] : "";
}

void CheckRules::resetCounts() noexcept
{
    for (int i = 0; i < numCheckRules; ++i)
    {
        counts[i].store (0, std::memory_order_relaxed);

        // A line being written now keeps its slot until it is done.
        int done = 2;
        firstState[i].compare_exchange_strong (done, 0);
    }
}

void CheckRules::writeSummary() const noexcept
{
    bool any = false;

    for (int i = 0; i < numCheckRules; ++i)
    {
        const auto count = counts[i].load (std::memory_order_relaxed);

        if (count == 0)
            continue;

        char line[256];
        LineWriter writer (line);
        writer.appendLiteral ("Check summary: ");
        writer.append (checkRuleInfo[i].title);
        writer.appendLiteral (": ");
        writer.appendUnsigned (count);
        tbLogger.logLine (writer.text());
        any = true;
    }

    if (! any)
        tbLogger.logLine ("Check summary: no breaches");
}
