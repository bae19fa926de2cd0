// The call paths run on audio threads: they must never reach the heap, whether
// a line is written or not. Counts operator new everywhere and, where no
// sanitizer owns the allocator, malloc itself.
#include "LogCapture.h"
#include "log/LogFile.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <new>

namespace
{
    std::atomic<bool> counting { false };
    std::atomic<int> allocations { 0 };

    void noteAllocation()
    {
        if (counting.load (std::memory_order_relaxed))
            allocations.fetch_add (1, std::memory_order_relaxed);
    }

    void discardingSink (const char*, std::size_t) {}
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool countsMalloc = false;
#else
constexpr bool countsMalloc = true;

extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);

    void* malloc (std::size_t size)                   { noteAllocation(); return __libc_malloc (size); }
    void* calloc (std::size_t count, std::size_t size) { noteAllocation(); return __libc_calloc (count, size); }
    void* realloc (void* p, std::size_t size)          { noteAllocation(); return __libc_realloc (p, size); }
}
#endif

// These replace the global pair, so malloc and free do match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new (std::size_t size)
{
    noteAllocation();

    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void* operator new[] (std::size_t size)                    { return operator new (size); }
void operator delete (void* p) noexcept                    { std::free (p); }
void operator delete[] (void* p) noexcept                  { std::free (p); }
void operator delete (void* p, std::size_t) noexcept       { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept     { std::free (p); }

namespace
{
    // Every call path, with every kind of argument the formatter handles.
    void callEverything()
    {
        char text[] = "Gain";
        static char huge[4000];
        std::memset (huge, 'x', sizeof (huge) - 1);
        ERect rect { 0, 0, 200, 300 };
        ERect* rectPointer = &rect;

        tbLogger.logDispatcherCall (8, 3, 0, text, 0.0f);
        tbLogger.logDispatcherReturn (8, text, 0);
        tbLogger.logDispatcherCall (51, 0, 0, huge, 0.0f);
        tbLogger.logDispatcherCall (50, 1, -2, text, 0.125f);
        tbLogger.logDispatcherReturn (13, &rectPointer, 1);
        tbLogger.logDispatcherReturn (23, &rectPointer, 10);
        tbLogger.logDispatcherCall (77, 0, 0, nullptr, 0.0f);
        tbLogger.logAudioMasterCall (0, 5, 0, nullptr, 0.75f);
        tbLogger.logAudioMasterReturn (32, text, 1);
        tbLogger.logAudioMasterReturn (1, nullptr, 2300);
        tbLogger.logProcess (nullptr, nullptr, 512, false);
        tbLogger.logProcess (nullptr, nullptr, 512, true);
        tbLogger.logSetParameter (2, 0.5f);
        tbLogger.logGetParameter (2);
        tbLogger.logLine ("free text");
    }

    int allocationsOf (void (*operations)())
    {
        operations(); // first use: thread id, time zone
        allocations = 0;
        counting = true;
        operations();
        counting = false;
        return allocations.load();
    }
}

TEST_F (LoggerTest, CallPathsNeverAllocate)
{
    // The counting itself must see allocations, or the test proves nothing.
    ASSERT_GE (allocationsOf ([] { int* volatile p = new int (1); delete p; }), 1);

    if (countsMalloc)
    {
        ASSERT_EQ (allocationsOf ([] { void* volatile p = std::malloc (1); std::free (p); }), 1);
    }

    // The real channel too, into /dev/null.
    const int savedStderr = ::dup (STDERR_FILENO);
    const int devNull = ::open ("/dev/null", O_WRONLY);
    ::dup2 (devNull, STDERR_FILENO);

    for (auto sink : { discardingSink, static_cast<TBLogger::LineSink> (nullptr) })
    {
        tbLogger.setLineSink (sink);

        for (bool logTime : { false, true })
        {
            tbLogger.logTime = logTime;
            tbLogger.loggingOn = true;
            TBLogger::setAllOpCodesEnabled (true);
            EXPECT_EQ (allocationsOf (callEverything), 0) << "logged, time " << logTime;

            TBLogger::setAllOpCodesEnabled (false);
            EXPECT_EQ (allocationsOf (callEverything), 0) << "not logged, time " << logTime;

            tbLogger.loggingOn = false;
            EXPECT_EQ (allocationsOf (callEverything), 0) << "logging off, time " << logTime;
        }
    }

    ::dup2 (savedStderr, STDERR_FILENO);
    ::close (savedStderr);
    ::close (devNull);
}

// The later paths: decoded structures and the log file, on the audio path as well.
TEST_F (LoggerTest, DecodingAndTheLogFileNeverAllocate)
{
    const auto file = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("tb-alloc", ".log", false);
    ASSERT_TRUE (logFile.open (file));
    tbLogger.setLineSink (discardingSink);
    tbLogger.decodeStructures = true;
    tbLogger.logToFile = true;

    EXPECT_EQ (allocationsOf ([]
    {
        // Four MIDI events and a SysEx, a time answer, a chunk.
        static unsigned char midi[5][64] {};
        static char dump[] = { '\xF0', '\x7E', '\xF7' };
        static void* events[7] {};
        static std::int32_t header[4] {};
        static double timeInfo[16] {};
        static char chunk[64] {};
        static void* chunkPointer = chunk;

        for (int i = 0; i < 4; ++i)
        {
            std::int32_t fields[2] = { 1, 32 };
            std::memcpy (midi[i], fields, sizeof (fields));
            midi[i][24] = 0x90;
        }

        std::int32_t sysexFields[5] = { 6, 48, 0, 0, 3 };
        std::memcpy (midi[4], sysexFields, sizeof (sysexFields));
        header[0] = 5;
        std::memcpy (events, header, sizeof (header));

        for (int i = 0; i < 5; ++i)
            events[2 + i] = midi[i];

        (void) dump;
        tbLogger.logDispatcherCall (25, 0, 0, events, 0.0f);
        tbLogger.logAudioMasterReturn (7, nullptr, reinterpret_cast<VstIntPtr> (timeInfo));
        tbLogger.logDispatcherReturn (23, &chunkPointer, sizeof (chunk));
        tbLogger.logDispatcherCall (24, 0, sizeof (chunk), chunk, 0.0f);
    }), 0);

    tbLogger.decodeStructures = false;
    tbLogger.logToFile = false;
    logFile.close();
    file.deleteFile();
}
