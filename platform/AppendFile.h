// A file that log lines are appended to, one write call per line: lines of
// several threads, and of several processes sharing the file (a DAW and its
// plug-in scanner), never mix. Renaming the file away and starting a new one
// is realtime-safe too: the handle a writer may still hold is kept open, not
// closed under it.
#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>

class AppendFile
{
public:
    AppendFile() noexcept = default;
    ~AppendFile();

    // [start-up/shut-down] or [message]: opens the file for appending,
    // creating it; false when it cannot be opened.
    bool open (const juce::File& file);

    // [start-up/shut-down] or [message], with no writer left.
    void close() noexcept;

    // [any thread, realtime]
    bool isOpen() const noexcept { return handle.load (std::memory_order_acquire) != invalidHandle; }

    // [any thread, realtime] The bytes in one write; false when nothing was written.
    bool append (const char* bytes, std::size_t count) const noexcept;

    // [any thread, realtime] The file's name with ".1" appended takes its
    // place (replacing an older one), and a new, empty file starts.
    bool startNewFile() noexcept;

    // [any thread] The size the file had when it was opened.
    std::int64_t sizeWhenOpened() const noexcept { return openedSize; }

    static constexpr std::intptr_t invalidHandle = -1;

private:
    static constexpr int maxRetired = 16;
    static constexpr int maxPathBytes = 4096;

    std::intptr_t openNative() const noexcept;
    static void closeNative (std::intptr_t handle) noexcept;
    void retire (std::intptr_t oldHandle) noexcept;

    std::atomic<std::intptr_t> handle { invalidHandle };
    std::intptr_t retired[maxRetired] {};
    int numRetired = 0;
    std::int64_t openedSize = 0;
    // The path in the system's own form, so that starting a new file needs no allocation.
    char path[maxPathBytes] {};
    char previousPath[maxPathBytes] {};

    AppendFile (const AppendFile&) = delete;
    AppendFile& operator= (const AppendFile&) = delete;
};
