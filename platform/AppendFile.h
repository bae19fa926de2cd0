// A file that log lines are appended to, one write call per line: lines of
// several threads, and of several processes sharing the file (a DAW and its
// plug-in scanner), never mix. The file is opened under the rules of
// FileChecks.h. Renaming the file away and starting a new one is
// realtime-safe too: the handle a writer may still hold is kept open, not
// closed under it, and no handle is closed while a writer is under way.
#pragma once

#include "FileChecks.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>

class AppendFile
{
public:
    AppendFile() noexcept = default;
    ~AppendFile();

    // [start-up/shut-down] or [message]: opens the file for appending,
    // creating it; FileFault::none where it opened.
    FileFault open (const juce::File& file);

    // [start-up/shut-down] or [message]. Waits (a second at most) for the
    // writers under way; handles a stalled writer may still write through
    // are left open rather than closed under it, where the host's next file
    // would get their numbers.
    void close() noexcept;

    // [any thread, realtime]
    bool isOpen() const noexcept { return handle.load (std::memory_order_acquire) != invalidHandle; }

    // [any thread, realtime] The bytes in one write; false when nothing was written.
    bool append (const char* bytes, std::size_t count) const noexcept;

    enum class Switch
    {
        renamed, // the file became name.1 and a new one started
        joined,  // another process had renamed it already: its new file is ours now
        failed   // lines go on into the file they went to
    };

    // [any thread, realtime] Where the file at the path is still the one this
    // object writes, it is renamed to its name with ".1" appended (replacing
    // an older one) and a new, empty file starts; where another process
    // renamed it already, the file now at the path is taken up, so that two
    // processes never rename each other's new file away. One switch at a
    // time: a concurrent one fails. refusal says why the new file was
    // refused, where it was.
    Switch startNewFile (FileFault& refusal) noexcept;

    // [any thread] The size the file had when it was opened or switched to.
    std::int64_t sizeWhenOpened() const noexcept { return openedSize.load (std::memory_order_relaxed); }

    static constexpr std::intptr_t invalidHandle = -1;

private:
    static constexpr int maxRetired = 16;
    static constexpr int maxPathBytes = 4096;

    // Which file a handle is: device and inode, or volume and file index.
    struct Identity
    {
        std::uint64_t volume = 0, index = 0;
        bool operator== (const Identity& other) const noexcept { return volume == other.volume && index == other.index; }
    };

    // Counts a writer in for its lifetime (sequentially consistent, as close's
    // side: either close sees the writer and waits, or the writer sees the
    // handle gone).
    struct Writer
    {
        explicit Writer (std::atomic<int>& count) noexcept : writers (count) { writers.fetch_add (1); }
        ~Writer() { writers.fetch_sub (1, std::memory_order_release); }
        std::atomic<int>& writers;
    };

    // The file at path under the rules; invalidHandle with the fault where it is refused.
    std::intptr_t openNative (FileFault& fault, std::int64_t& size, Identity& id) const noexcept;
    static void closeNative (std::intptr_t handle) noexcept;
    // Takes over newHandle unless close() came first; the old one is retired.
    bool install (std::intptr_t oldHandle, std::intptr_t newHandle, std::int64_t size, const Identity& id) noexcept;
    void retire (std::intptr_t oldHandle) noexcept;
    // True once no writer (nor a switch, if asked) is under way; false after the given rounds.
    bool waitForWriters (int rounds, bool switchesToo) const noexcept;
    void copyPaths (const juce::String& name) noexcept;

    std::atomic<std::intptr_t> handle { invalidHandle };
    mutable std::atomic<int> writers { 0 };
    std::atomic<bool> switching { false };
    std::intptr_t retired[maxRetired] {};
    int numRetired = 0;
    std::atomic<std::int64_t> openedSize { 0 };
    Identity identity;
    // The path in the system's own form, so that starting a new file needs no allocation.
    char path[maxPathBytes] {};
    char previousPath[maxPathBytes] {};

    // Tests stand in for a writer held up inside append.
    friend struct StalledWriter;

    AppendFile (const AppendFile&) = delete;
    AppendFile& operator= (const AppendFile&) = delete;
};
