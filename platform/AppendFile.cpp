// What an appended-to file does alike on every platform: opening, handles
// retired at a switch, and closing once no writer is under way.
#include "AppendFile.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace
{
    // Rounds of waiting: the first ones yield, the later ones sleep a millisecond.
    constexpr int yieldingRounds = 64;
    constexpr int closeRounds = yieldingRounds + 1000;
}

AppendFile::~AppendFile()
{
    close();
}

FileFault AppendFile::open (const juce::File& file)
{
    close();
    const auto name = file.getFullPathName();

    if (name.isEmpty() || (int) name.getNumBytesAsUTF8() + 3 >= maxPathBytes)
        return FileFault::cannotOpen;

    copyPaths (name);
    auto fault = FileFault::none;
    std::int64_t size = 0;
    Identity id;
    const auto opened = openNative (fault, size, id);

    if (opened == invalidHandle)
        return fault;

    identity = id;
    openedSize.store (size, std::memory_order_relaxed);
    handle.store (opened, std::memory_order_release);
    return FileFault::none;
}

void AppendFile::copyPaths (const juce::String& name) noexcept
{
    const auto* utf8 = name.toRawUTF8();
    const auto bytes = std::strlen (utf8);
    std::memcpy (path, utf8, bytes + 1);
    std::memcpy (previousPath, utf8, bytes);
    std::memcpy (previousPath + bytes, ".1", 3);
}

void AppendFile::close() noexcept
{
    const auto current = handle.exchange (invalidHandle);

    if (! waitForWriters (closeRounds, true))
    {
        // A writer stalled in its write keeps every handle: they stay open
        // (closed by a later close, once nobody writes), unless a switch
        // that never ended still holds the list.
        if (current != invalidHandle && ! switching.load() && numRetired < maxRetired)
            retired[numRetired++] = current;

        return;
    }

    if (current != invalidHandle)
        closeNative (current);

    for (int i = 0; i < numRetired; ++i)
        closeNative (retired[i]);

    numRetired = 0;
}

bool AppendFile::waitForWriters (int rounds, bool switchesToo) const noexcept
{
    for (int round = 0;; ++round)
    {
        if (writers.load() == 0 && ! (switchesToo && switching.load()))
            return true;

        if (round == rounds)
            return false;

        if (round < yieldingRounds)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
}

bool AppendFile::install (std::intptr_t oldHandle, std::intptr_t newHandle, std::int64_t size, const Identity& id) noexcept
{
    // close() came first: nobody has seen the new handle.
    if (! handle.compare_exchange_strong (oldHandle, newHandle))
    {
        closeNative (newHandle);
        return false;
    }

    identity = id;
    openedSize.store (size, std::memory_order_relaxed);
    retire (oldHandle);
    return true;
}

// A writer that loaded the old handle just before the switch may still write
// through it: it stays open. Far older ones are closed once no writer at all
// is under way, which a switch does not wait long for (it runs on a writer's
// thread): a handle still busy then is left open.
void AppendFile::retire (std::intptr_t oldHandle) noexcept
{
    if (numRetired == maxRetired)
    {
        if (waitForWriters (yieldingRounds, false))
            closeNative (retired[0]);

        std::memmove (retired, retired + 1, sizeof (retired[0]) * (maxRetired - 1));
        --numRetired;
    }

    retired[numRetired++] = oldHandle;
}
