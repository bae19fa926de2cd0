// tb_checkhost: a bare host that breaks the host's side of the VST 2
// contract on purpose, for the contract checks' tests.
//
//   tb_checkhost PLUGIN SCENARIO...
//
// Without a scenario ("polite" names none) it runs a well-behaved session on
// three threads of its own, "gui" (the entry and the dispatcher's calls),
// "audio" (the blocks) and "second" (what a scenario calls from elsewhere):
// effOpen, effSetSampleRate 44100, effSetBlockSize 64, effMainsChanged 1,
// effStartProcess, one block of 64 frames, effStopProcess,
// effMainsChanged 0, effClose. Each scenario named adds its breach at its
// place in that session (scenarioNames below). The host first prints
// "thread NAME: ID" for the three threads, in the log's hexadecimal, and
// "session done" at the end. The overlaps rely on tp_hang making one call
// last (TP_HANG): the other call starts 0.1 s after the lasting one was made.
#include "vst/VstInterface.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
enum Opcode : std::int32_t
{
    effOpen = 0, effClose = 1, effSetSampleRate = 10, effSetBlockSize = 11, effMainsChanged = 12,
    effEditOpen = 14, effEditClose = 15, effEditIdle = 19, effSetChunk = 24, effProcessEvents = 25,
    effGetVendorVersion = 49, effGetVstVersion = 58, effStartProcess = 71, effStopProcess = 72,
    effSetProcessPrecision = 77
};

constexpr std::int32_t audioMasterVersion = 1, audioMasterGetVendorString = 32;
constexpr std::int32_t blockSize = 64;

const char* const scenarioNames[] = {
    "beforeOpen",           // effSetSampleRate and getParameter before effOpen (effGetVstVersion is allowed)
    "openTwice",            // effOpen again
    "suspended",            // a block and effProcessEvents before the first resume
    "afterSuspend",         // a block after effMainsChanged 0
    "setupWhileResumed",    // effSetSampleRate, effSetBlockSize, effSetProcessPrecision after resume
    "stopWithoutStart",     // no effStartProcess before effStopProcess
    "editorCloseWithoutOpen",
    "editorOpenAtClose",
    "editorFromOtherThread", // opened on gui, idled on second, closed on gui
    "framesBeyondBlock",    // 128 frames (and 64, the block size itself)
    "negativeFrames",       // -1 frames
    "nullChannel",          // output channel 1 null, 0 frames
    "doubleWhileSingle",    // effSetProcessPrecision 0, then processDoubleReplacing (tp_double)
    "twoDispatchers",       // effGetVendorVersion on gui during effEditIdle on second (TP_HANG=effEditIdle:0.3)
    "twoBlocks",            // a block on second during one on audio (TP_HANG=processReplacing:0.3)
    "blockDuringSetChunk",  // a block during effSetChunk on gui (TP_HANG=24:0.3)
    "setChunkDuringBlock",  // effSetChunk on gui during a block (TP_HANG=processReplacing:0.3)
    "blockDuringResume",    // a block during effMainsChanged 1 on gui (TP_HANG=12:0.3)
    "twoAudioThreads",      // a block on second after the one on audio
    "parameterIndex",       // setParameter one past the last, getParameter -1
    "parameterValue",       // setParameter 1.5, NaN, -0.25 (and 0 and 1, allowed)
    "longVendor",           // audioMasterGetVendorString answered with 70 bytes
};

std::atomic<bool> longVendor { false };

long threadId()
{
    return (long) ::syscall (SYS_gettid);
}

// A thread that runs what it is given, in order: now (waiting) or later.
class Worker
{
public:
    explicit Worker (const char* workerName) : name (workerName), thread ([this] { loop(); })
    {
        run ([this] { std::printf ("thread %s: %lX\n", name, threadId()); std::fflush (stdout); });
    }

    ~Worker()
    {
        post ({});
        thread.join();
    }

    void post (std::function<void()> job)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        jobs.push_back (std::move (job));
        ++posted;
        changed.notify_all();
    }

    void wait()
    {
        std::unique_lock<std::mutex> lock (mutex);
        changed.wait (lock, [this] { return finished == posted; });
    }

    void run (std::function<void()> job)
    {
        post (std::move (job));
        wait();
    }

private:
    void loop()
    {
        for (;;)
        {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock (mutex);
                changed.wait (lock, [this] { return ! jobs.empty(); });
                job = std::move (jobs.front());
                jobs.erase (jobs.begin());
            }

            if (! job)
                return;

            job();
            const std::lock_guard<std::mutex> lock (mutex);
            ++finished;
            changed.notify_all();
        }
    }

    const char* name;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::function<void()>> jobs;
    long posted = 0, finished = 0;
    std::thread thread;
};

VstIntPtr hostCallback (AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float)
{
    if (opcode == audioMasterGetVendorString && ptr != nullptr)
    {
        // 69 characters and the end: past the 64 bytes the host may write.
        const char* text = longVendor ? "tb_checkhost, a host whose vendor string runs past the VST 2 limit!!!"
                                      : "tb_checkhost";
        std::memcpy (ptr, text, std::strlen (text) + 1);
        return 1;
    }

    return opcode == audioMasterVersion ? 2400 : 0;
}

class Session
{
public:
    explicit Session (std::set<std::string> chosen) : scenarios (std::move (chosen)) {}

    // The entry on the gui thread too, as hosts call it from theirs.
    bool load (VstPluginMainProc entry)
    {
        gui.run ([&] { effect = entry (hostCallback); });
        return effect != nullptr;
    }

    void run()
    {
        if (has ("beforeOpen"))
        {
            dispatch (effGetVstVersion);
            dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
            gui.run ([this] { effect->getParameter (effect, 0); });
        }

        dispatch (effOpen);

        if (has ("openTwice"))
            dispatch (effOpen);

        dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch (effSetBlockSize, 0, blockSize);

        if (has ("doubleWhileSingle"))
            dispatch (effSetProcessPrecision, 0, 0);

        beforeResume();

        if (has ("blockDuringResume"))
            overlap (gui, [this] { mainsChanged (1); }, audio, [this] { block(); });
        else
            dispatch (effMainsChanged, 0, 1);

        if (has ("setupWhileResumed"))
        {
            dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
            dispatch (effSetBlockSize, 0, blockSize);
            dispatch (effSetProcessPrecision, 0, 0);
        }

        if (! has ("stopWithoutStart"))
            dispatch (effStartProcess);

        whileProcessing();
        audio.run ([this] { block(); });
        dispatch (effStopProcess);
        dispatch (effMainsChanged, 0, 0);

        if (has ("afterSuspend"))
            audio.run ([this] { block(); });

        dispatch (effClose);
    }

private:
    bool has (const char* scenario) const { return scenarios.count (scenario) != 0; }

    VstIntPtr dispatch (std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                        float opt = 0.0f)
    {
        VstIntPtr result = 0;
        gui.run ([&] { result = call (opcode, index, value, ptr, opt); });
        return result;
    }

    VstIntPtr call (std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                    float opt = 0.0f)
    {
        return effect->dispatcher (effect, opcode, index, value, ptr, opt);
    }

    void mainsChanged (VstIntPtr state) { call (effMainsChanged, 0, state); }

    void setChunk()
    {
        float values[1] = { 0.5f };
        call (effSetChunk, 0, (VstIntPtr) sizeof (values), values);
    }

    // Own buffers for each call: two blocks may run at once.
    void block (std::int32_t frames = blockSize, bool nullChannel = false)
    {
        std::vector<float> samples (4 * 2 * blockSize);
        float* inputs[] = { &samples[0], &samples[2 * blockSize] };
        float* outputs[] = { &samples[4 * blockSize], nullChannel ? nullptr : &samples[6 * blockSize] };
        effect->processReplacing (effect, inputs, outputs, frames);
    }

    void doubleBlock()
    {
        std::vector<double> samples (4 * blockSize);
        double* inputs[] = { &samples[0], &samples[blockSize] };
        double* outputs[] = { &samples[2 * blockSize], &samples[3 * blockSize] };
        effect->processDoubleReplacing (effect, inputs, outputs, blockSize);
    }

    // `lasting` on one thread, the plug-in hanging in it; `meanwhile` on
    // another, started once the first call has surely reached the plug-in.
    static void overlap (Worker& first, std::function<void()> lasting, Worker& other, std::function<void()> meanwhile)
    {
        std::atomic<bool> entering { false };
        first.post ([&] { entering = true; lasting(); });

        while (! entering)
            std::this_thread::yield();

        std::this_thread::sleep_for (std::chrono::milliseconds (100));
        other.run (meanwhile);
        first.wait();
    }

    void beforeResume()
    {
        if (has ("suspended"))
        {
            audio.run ([this]
            {
                block();
                struct { std::int32_t numEvents; VstIntPtr reserved; void* events[2]; } none {};
                call (effProcessEvents, 0, 0, &none);
            });
        }

        if (has ("editorCloseWithoutOpen"))
            dispatch (effEditClose);

        if (has ("editorOpenAtClose"))
            dispatch (effEditOpen);

        if (has ("editorFromOtherThread"))
        {
            dispatch (effEditOpen);
            second.run ([this] { call (effEditIdle); });
            dispatch (effEditClose);
        }

        if (has ("twoDispatchers"))
            overlap (second, [this] { call (effEditIdle); }, gui, [this] { call (effGetVendorVersion); });

        if (has ("parameterIndex"))
            gui.run ([this]
            {
                effect->setParameter (effect, effect->numParams, 0.5f);
                effect->getParameter (effect, -1);
            });

        if (has ("parameterValue"))
            gui.run ([this]
            {
                for (const float value : { 0.0f, 1.0f, 1.5f, std::numeric_limits<float>::quiet_NaN(), -0.25f })
                    effect->setParameter (effect, 0, value);
            });
    }

    // Resumed and started: the blocks a scenario adds, before the session's own.
    void whileProcessing()
    {
        if (has ("framesBeyondBlock"))
            audio.run ([this] { block (blockSize); block (2 * blockSize); });

        if (has ("negativeFrames"))
            audio.run ([this] { block (-1); });

        if (has ("nullChannel"))
            audio.run ([this] { block (0, true); });

        if (has ("doubleWhileSingle"))
            audio.run ([this] { doubleBlock(); });

        if (has ("twoBlocks"))
            overlap (audio, [this] { block(); }, second, [this] { block(); });

        if (has ("blockDuringSetChunk"))
            overlap (gui, [this] { setChunk(); }, audio, [this] { block(); });

        if (has ("setChunkDuringBlock"))
            overlap (audio, [this] { block(); }, gui, [this] { setChunk(); });

        if (has ("twoAudioThreads"))
        {
            audio.run ([this] { block(); });
            second.run ([this] { block(); });
        }
    }

    AEffect* effect = nullptr;
    std::set<std::string> scenarios;
    Worker gui { "gui" }, audio { "audio" }, second { "second" };
};

bool known (const std::string& scenario)
{
    for (const char* name : scenarioNames)
        if (scenario == name)
            return true;

    return scenario == "polite";
}
} // namespace

int main (int argc, char** argv)
{
    std::set<std::string> scenarios;

    for (int i = 2; i < argc; ++i)
    {
        if (! known (argv[i]))
        {
            std::fprintf (stderr, "tb_checkhost: unknown scenario %s\n", argv[i]);
            return 2;
        }

        scenarios.insert (argv[i]);
    }

    if (argc < 2)
    {
        std::fprintf (stderr, "usage: tb_checkhost PLUGIN SCENARIO...\n");
        return 2;
    }

    longVendor = scenarios.count ("longVendor") != 0;
    void* library = dlopen (argv[1], RTLD_NOW | RTLD_LOCAL);
    auto entry = library != nullptr ? reinterpret_cast<VstPluginMainProc> (dlsym (library, "VSTPluginMain")) : nullptr;

    if (entry == nullptr)
    {
        std::fprintf (stderr, "tb_checkhost: no entry in %s\n", argv[1]);
        return 2;
    }

    Session session (scenarios);

    if (! session.load (entry))
    {
        std::fprintf (stderr, "tb_checkhost: main returned null\n");
        return 2;
    }

    session.run();
    std::printf ("session done\n");
    return 0;
}
