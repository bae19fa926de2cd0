// A bare VST 2 host without any framework: loads Tattlebox.so with dlopen,
// calls its entry with a callback of its own and checks pointers and values
// exactly. Each scenario runs in a process of its own (the bridge exists once
// per process); it prints "ok <check>" or "FAIL <check>: <detail>" lines and
// exits 1 when any check failed.
#include "tests/support/Threads.h"
#include "ProbeTarget.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <malloc.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
    using testsupport::countThreads;

    int failures = 0;

    void check (bool condition, const char* name, const std::string& detail = {})
    {
        if (condition)
            std::printf ("ok %s\n", name);
        else
            std::printf ("FAIL %s: %s\n", name, detail.c_str());

        std::fflush (stdout);
        failures += condition ? 0 : 1;
    }

    // What the host callback received.
    std::atomic<AEffect*> lastCallbackEffect { nullptr };
    std::atomic<int> lastCallbackOpcode { -999 }, lastCallbackIndex { 0 };
    std::atomic<VstIntPtr> lastCallbackValue { 0 };
    std::atomic<float> lastCallbackOpt { 0.0f };
    std::atomic<int> callbackCalls { 0 };
    std::atomic<VstIntPtr> lastCallbackResvd2 { 0 }; // where hosts keep their instance, as JUCE's does

    constexpr VstIntPtr hostVersion = 2400;
    constexpr VstIntPtr hostAnswer = 0x4242;

    VstIntPtr hostCallback (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void*, float opt)
    {
        lastCallbackEffect = effect;
        lastCallbackResvd2 = effect != nullptr ? effect->resvd2 : 0;
        lastCallbackOpcode = opcode;
        lastCallbackIndex = index;
        lastCallbackValue = value;
        lastCallbackOpt = opt;
        ++callbackCalls;
        return opcode == 1 ? hostVersion : hostAnswer;
    }

    struct Plugin
    {
        void* library = nullptr;
        VstPluginMainProc entry = nullptr;

        explicit Plugin (const char* path)
        {
            library = dlopen (path, RTLD_NOW | RTLD_LOCAL);

            if (library == nullptr)
            {
                std::printf ("FAIL dlopen: %s\n", dlerror());
                std::exit (2);
            }

            entry = reinterpret_cast<VstPluginMainProc> (dlsym (library, "main"));
        }
    };

    ProbeState* openProbe (const char* path)
    {
        // Held open for the whole process: the probe outlives Tattlebox's own load.
        auto* probe = dlopen (path, RTLD_NOW | RTLD_LOCAL);
        auto stateOf = probe != nullptr ? reinterpret_cast<ProbeStateProc> (dlsym (probe, "probeState")) : nullptr;

        if (stateOf == nullptr)
        {
            std::printf ("FAIL probe: %s\n", dlerror());
            std::exit (2);
        }

        return stateOf();
    }

    VstIntPtr dispatch (AEffect* e, std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                        void* ptr = nullptr, float opt = 0.0f)
    {
        return e->dispatcher (e, opcode, index, value, ptr, opt);
    }

    std::uint32_t bitsOf (float f)
    {
        std::uint32_t bits;
        std::memcpy (&bits, &f, sizeof (bits));
        return bits;
    }

    // A thread that is on its way out (joined, its stack still being freed)
    // is not one left behind: give the count a moment to settle.
    bool settlesBackTo (int threads)
    {
        for (int i = 0; i < 100 && countThreads() != threads; ++i)
            usleep (10 * 1000);

        return countThreads() == threads;
    }

    bool isMapped (const std::string& path)
    {
        std::ifstream maps ("/proc/self/maps");
        std::string line;

        while (std::getline (maps, line))
            if (line.find (path) != std::string::npos)
                return true;

        return false;
    }

    std::string realPath (const char* path)
    {
        char buffer[4096];
        return realpath (path, buffer) != nullptr ? buffer : path;
    }

    std::string hex (const void* p)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%p", p);
        return text;
    }

    //==============================================================================
    // Every pointer and value that crosses the bridge, both ways, then calls after Close.
    void runPointers (const char* tattlebox, const char* probePath)
    {
        auto* state = openProbe (probePath);
        Plugin plugin (tattlebox);
        check (plugin.entry != nullptr, "main exported");
        check (dlsym (plugin.library, "VSTPluginMain") == reinterpret_cast<void*> (plugin.entry), "VSTPluginMain is main");

        auto* wrapper = plugin.entry (hostCallback);
        check (wrapper != nullptr, "main returns the wrapper");

        if (wrapper == nullptr)
            return;

        auto* target = state->record;
        check (wrapper != target, "wrapper is not the target's record");
        check (state->versionDuringEntry == hostVersion, "host answers during the entry");
        check (lastCallbackEffect == wrapper, "callback during the entry gets the wrapper", hex (lastCallbackEffect));

        // The record is the target's except for the five slots.
        AEffect expected;
        std::memcpy (&expected, target, sizeof (AEffect));
        expected.dispatcher = wrapper->dispatcher;
        expected.process = wrapper->process;
        expected.setParameter = wrapper->setParameter;
        expected.getParameter = wrapper->getParameter;
        expected.processReplacing = wrapper->processReplacing;
        expected.processDoubleReplacing = wrapper->processDoubleReplacing;
        check (std::memcmp (&expected, wrapper, sizeof (AEffect)) == 0, "wrapper copies the whole record");
        check (wrapper->dispatcher != target->dispatcher && wrapper->process != target->process
                 && wrapper->setParameter != target->setParameter && wrapper->getParameter != target->getParameter
                 && wrapper->processReplacing != target->processReplacing, "five slots replaced");

        char name[256] = {};
        check (dispatch (wrapper, 8, 3, 0, name, 0.0f) == 0 && std::strcmp (name, "Probe") == 0, "GetParamName text", name);
        check (state->dispatcherEffect == target, "dispatcher gets the target's own record", hex (state->dispatcherEffect));
        check (state->lastIndex == 3, "index forwarded");

        int marker = 0;
        const VstIntPtr wide = (VstIntPtr) 0x123456789ABLL;
        check (dispatch (wrapper, 43, -5, wide, &marker, 44100.5f) == probeResultBase + 43, "result forwarded");
        check (state->lastValue == wide && state->lastPtr == &marker && state->lastIndex == -5
                 && bitsOf (state->lastOpt) == bitsOf (44100.5f), "value, ptr, index, opt forwarded unchanged");

        check (dispatch (wrapper, 77, 5, 66, &marker, 1.5f) == probeResultBase + 77 && state->lastOpcode == 77
                 && state->lastValue == 66, "dispatcher opcode 77 forwarded");
        check (dispatch (wrapper, -1, 0, 0, nullptr, 0.0f) == probeResultBase - 1 && state->lastOpcode == -1,
               "dispatcher opcode -1 forwarded");

        float* channels[2] = {};
        wrapper->process (wrapper, channels, channels, 16);
        check (state->processEffect == target && state->processCalls == 1, "process gets the target's own record");
        wrapper->processReplacing (wrapper, channels, channels, 16);
        check (state->processReplacingEffect == target && state->processReplacingCalls == 1,
               "processReplacing gets the target's own record");
        double* doubles[2] = {};
        wrapper->processDoubleReplacing (wrapper, doubles, doubles, 16);
        check (wrapper->processDoubleReplacing != target->processDoubleReplacing && state->processDoubleEffect == target,
               "processDoubleReplacing through the bridge gets the target's own record");
        wrapper->setParameter (wrapper, 2, 0.3f);
        check (state->setParameterEffect == target && state->setParameterIndex == 2
                 && bitsOf (state->setParameterValue) == bitsOf (0.3f), "setParameter gets the target's own record and the value");

        bool sameBits = true;

        for (int i = 0; i < 3; ++i)
            sameBits = sameBits && bitsOf (wrapper->getParameter (wrapper, i)) == probeParameterBits[i];

        check (sameBits, "getParameter bit for bit");
        check (state->getParameterEffect == target, "getParameter gets the target's own record");

        // The probe calls the host back with the opcode in value, passing its own record.
        lastCallbackEffect = nullptr;
        check (dispatch (wrapper, 50, probeCallbackIndex, 0) == hostAnswer && lastCallbackOpcode == 0
                 && lastCallbackIndex == 7 && lastCallbackValue == 99 && bitsOf (lastCallbackOpt) == bitsOf (0.25f),
               "audioMaster call forwarded");
        check (lastCallbackEffect == wrapper, "host callback gets the wrapper, not the target's record");
        check (dispatch (wrapper, 50, probeCallbackIndex, 50) == hostAnswer && lastCallbackOpcode == 50,
               "audioMaster opcode 50 forwarded");

        dispatch (wrapper, 12, 0, 1);
        check (target->numInputs == 4 && wrapper->numInputs == 4, "wrapper follows numInputs changed inside a call");

        check (dispatch (wrapper, 1) == probeResultBase + 1, "Close returns the target's result");

        // After Close the wrapper leads nowhere: nothing may crash, results are 0.
        const auto dispatcherCalls = state->lastOpcode;
        check (dispatch (wrapper, 8, 0, 0, name) == 0 && state->lastOpcode == dispatcherCalls, "dispatcher after Close");
        wrapper->process (wrapper, channels, channels, 16);
        wrapper->processReplacing (wrapper, channels, channels, 16);
        wrapper->setParameter (wrapper, 0, 1.0f);
        check (wrapper->getParameter (wrapper, 0) == 0.0f && state->processCalls == 1, "effect calls after Close");
        check (dispatch (wrapper, 1) == 0, "second Close");
    }

    // main after Close starts over; a second main while hosting is refused.
    void runSequence (const char* tattlebox)
    {
        Plugin plugin (tattlebox);
        auto* first = plugin.entry (hostCallback);
        check (first != nullptr, "first main");

        if (first == nullptr)
            return;

        check (plugin.entry (hostCallback) == nullptr, "second main while hosting refused");
        check (dispatch (first, 77) == probeResultBase + 77, "first target still answers");

        // The host files its instance in the record, then deletes it after Close.
        int instance = 0;
        first->resvd2 = reinterpret_cast<VstIntPtr> (&instance);
        dispatch (first, 1);
        check (plugin.entry (hostCallback) == first, "main after Close");
        check (lastCallbackResvd2 == 0, "a later entry's callback carries nothing of the closed instance");
        dispatch (first, 1);
        check (plugin.entry (hostCallback) == nullptr, "cancelled main after Close");
    }

    // main as often as there are answers: every one must fail.
    void runFailures (const char* tattlebox, int count)
    {
        Plugin plugin (tattlebox);

        for (int i = 0; i < count; ++i)
            check (plugin.entry (hostCallback) == nullptr, "main fails");
    }

    // The dialog must leave the process's working folder and environment as they were.
    void runProcessState (const char* tattlebox)
    {
        const auto folder = realPath (".");
        const char* windowId = std::getenv ("WINDOWID");
        const std::string before = windowId != nullptr ? windowId : "(unset)";
        Plugin plugin (tattlebox);
        auto* wrapper = plugin.entry (hostCallback);
        check (wrapper != nullptr, "main");
        check (realPath (".") == folder, "working folder unchanged after the dialog", realPath ("."));
        windowId = std::getenv ("WINDOWID");
        check ((windowId != nullptr ? windowId : "(unset)") == before, "WINDOWID unchanged after the dialog");

        if (wrapper != nullptr)
            dispatch (wrapper, 1);
    }

    // The host never sends Close, and exits while the window may be in the
    // middle of a tick or a paint; the process must still end normally.
    // afterASession: a whole session (entry, effOpen, effClose) first, as a
    // scanner's first instance, whose window's timer thread came and went.
    void runNoClose (const char* tattlebox, int millisecondsBeforeExit, bool afterASession)
    {
        Plugin plugin (tattlebox);

        if (afterASession)
            if (auto* first = plugin.entry (hostCallback))
            {
                dispatch (first, 0); // effOpen
                dispatch (first, 1); // effClose
            }

        auto* wrapper = plugin.entry (hostCallback);
        check (wrapper != nullptr, "main");

        if (wrapper == nullptr)
            return;

        dispatch (wrapper, 0); // effOpen

        // An audio thread goes on processing while the host exits, so that
        // the counters change and the window repaints up to the end.
        static std::atomic<AEffect*> processing { nullptr };
        processing = wrapper;
        std::thread ([]
        {
            float left[64] = {}, right[64] = {};
            float* channels[] = { left, right };

            for (;;)
            {
                auto* effect = processing.load();
                effect->processReplacing (effect, channels, channels, 64);
                usleep (200);
            }
        }).detach();

        usleep ((useconds_t) millisecondsBeforeExit * 1000);
    }

    // Two copies of the library under two names, each hosting its own target
    // at the same time: two bridges that must not know of each other.
    void runCopies (const char* first, const char* second, const char* probePath)
    {
        auto* state = openProbe (probePath);
        Plugin a (first), b (second);
        check (a.library != b.library && a.entry != b.entry, "two libraries");

        auto* wrapperA = a.entry (hostCallback);
        auto* wrapperB = b.entry (hostCallback);
        check (wrapperA != nullptr && wrapperB != nullptr && wrapperA != wrapperB, "both copies host a target");

        if (wrapperA == nullptr || wrapperB == nullptr)
            return;

        check (wrapperA->magic == kEffectMagic && wrapperB->magic == kEffectMagic, "both records");
        check (dispatch (wrapperA, 77) == probeResultBase + 77 && state->lastOpcode == 77, "first copy reaches the probe");
        check (dispatch (wrapperB, 0) == 0 && state->lastOpcode == 77, "second copy reaches its own target");
        check (a.entry (hostCallback) == nullptr, "a third main on a hosting copy is refused");

        float left[64] = {}, right[64] = {};
        float* channels[] = { left, right };
        wrapperB->processReplacing (wrapperB, channels, channels, 64);
        dispatch (wrapperA, 1);
        check (dispatch (wrapperB, 77) != probeResultBase + 77, "closing one copy leaves the other hosting");
        wrapperB->processReplacing (wrapperB, channels, channels, 64);
        dispatch (wrapperB, 1);
        check (state->processReplacingCalls == 0, "no call crossed to the other copy's target");
    }

    // A host that unloads the library without Close: the library keeps itself
    // loaded, so that its message thread and window go on safely.
    void runUnloadWithoutClose (const char* tattlebox)
    {
        const auto tattleboxPath = realPath (tattlebox);

        {
            Plugin plugin (tattlebox);
            auto* wrapper = plugin.entry (hostCallback);
            check (wrapper != nullptr, "main");

            if (wrapper != nullptr)
                dispatch (wrapper, 0); // effOpen

            dlclose (plugin.library);
        }

        usleep (500 * 1000);
        check (isMapped (tattleboxPath), "still loaded after the host's dlclose");
    }

    // What the host's IOChanged handler read from the record it was handed.
    std::atomic<int> inputsAtIoChanged { -1 }, latencyAtIoChanged { -1 };

    VstIntPtr ioHostCallback (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt)
    {
        if (opcode == 13 && effect != nullptr)
        {
            inputsAtIoChanged = effect->numInputs;
            latencyAtIoChanged = effect->initialDelay;
        }

        return hostCallback (effect, opcode, index, value, ptr, opt);
    }

    // A plug-in that grows its inputs and latency in resume and says so.
    void runIoChange (const char* tattlebox)
    {
        Plugin plugin (tattlebox);
        auto* wrapper = plugin.entry (ioHostCallback);
        check (wrapper != nullptr && wrapper->numInputs == 1, "one input at first");

        if (wrapper == nullptr)
            return;

        dispatch (wrapper, 0);
        dispatch (wrapper, 12, 0, 1);
        check (inputsAtIoChanged == 2 && latencyAtIoChanged == 64, "the IOChanged handler reads the new record",
               std::to_string (inputsAtIoChanged) + " inputs, latency " + std::to_string (latencyAtIoChanged));
        check (wrapper->numInputs == 2 && wrapper->initialDelay == 64, "and so does everyone after it");
        dispatch (wrapper, 12, 0, 0);
        dispatch (wrapper, 1);
    }

    // A host that sends Close while its other threads still call in: an
    // audio thread in processReplacing, a GUI thread with dispatcher and
    // parameter calls. The closing thread waits for the calls inside the
    // target, and later calls reach nobody.
    void runCloseRace (const char* tattlebox, int cycles)
    {
        Plugin plugin (tattlebox);
        int hosted = 0;

        for (int i = 0; i < cycles; ++i)
        {
            auto* wrapper = plugin.entry (hostCallback);

            if (wrapper == nullptr)
                continue;

            ++hosted;
            dispatch (wrapper, 0);
            dispatch (wrapper, 10, 0, 0, nullptr, 48000.0f);
            dispatch (wrapper, 11, 0, 64);
            dispatch (wrapper, 12, 0, 1);

            std::atomic<bool> stop { false };
            std::thread audio ([&]
            {
                float left[64] = {}, right[64] = {};
                float* channels[] = { left, right };

                while (! stop.load())
                    wrapper->processReplacing (wrapper, channels, channels, 64);
            });
            std::thread gui ([&]
            {
                char text[256];

                while (! stop.load())
                {
                    dispatch (wrapper, 8, 0, 0, text);
                    wrapper->setParameter (wrapper, 0, 0.5f);
                    wrapper->getParameter (wrapper, 0);
                }
            });

            usleep ((useconds_t) (200 + 137 * (i % 16)));
            dispatch (wrapper, 1); // no suspend first: the host's fault
            usleep (300);
            stop = true;
            audio.join();
            gui.join();
        }

        check (hosted == cycles, "every cycle hosts", std::to_string (hosted));
    }

    // Many main/Close cycles: no thread left behind, no heap growth, the library unloads.
    void runCycles (const char* tattlebox, const char* targetPath, int cycles)
    {
        const auto threadsBefore = countThreads();
        const auto tattleboxPath = realPath (tattlebox);
        const auto targetReal = realPath (targetPath);
        std::size_t heapAfterWarmUp = 0;
        int failedCycles = 0, threadMismatches = 0;

        {
            Plugin plugin (tattlebox);

            for (int i = 0; i < cycles; ++i)
            {
                auto* wrapper = plugin.entry (hostCallback);

                if (wrapper == nullptr)
                {
                    ++failedCycles;
                    continue;
                }

                char text[256] = {};
                dispatch (wrapper, 0);
                dispatch (wrapper, 8, 0, 0, text);
                wrapper->getParameter (wrapper, 0);
                dispatch (wrapper, 1);
                threadMismatches += settlesBackTo (threadsBefore) ? 0 : 1;

                if (i == std::min (9, cycles / 2))
                    heapAfterWarmUp = mallinfo2().uordblks;
            }

            const auto heapAtEnd = mallinfo2().uordblks;
            const auto growth = heapAtEnd > heapAfterWarmUp ? heapAtEnd - heapAfterWarmUp : 0;
            check (failedCycles == 0, "every cycle loads", std::to_string (failedCycles));
            check (threadMismatches == 0, "no thread left after Close", std::to_string (threadMismatches));
            // A leak of even one small object per cycle shows after 90 cycles.
            check (growth < 8 * 1024, "heap does not grow with cycles", std::to_string (growth) + " bytes");
            check (dlclose (plugin.library) == 0, "dlclose");
        }

        check (settlesBackTo (threadsBefore), "no thread left after unloading");
        check (! isMapped (tattleboxPath), "Tattlebox.so unmapped");
        check (! isMapped (targetReal), "target unmapped");
    }
}

int main (int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf (stderr, "usage: tb_rawhost SCENARIO TATTLEBOX [ARGUMENTS]\n"
                             "  pointers PROBE | sequence | failures COUNT | state | noclose [MS [second]] | cycles COUNT TARGET\n"
                             "  | copies SECOND_TATTLEBOX PROBE | iochange | closerace COUNT\n");
        return 2;
    }

    const std::string scenario = argv[1];
    const char* tattlebox = argv[2];

    if (scenario == "pointers" && argc > 3)       runPointers (tattlebox, argv[3]);
    else if (scenario == "sequence")              runSequence (tattlebox);
    else if (scenario == "failures" && argc > 3)  runFailures (tattlebox, std::atoi (argv[3]));
    else if (scenario == "state")                 runProcessState (tattlebox);
    else if (scenario == "noclose")               runNoClose (tattlebox, argc > 3 ? std::atoi (argv[3]) : 0,
                                                              argc > 4 && std::string (argv[4]) == "second");
    else if (scenario == "unload")                runUnloadWithoutClose (tattlebox);
    else if (scenario == "copies" && argc > 4)    runCopies (tattlebox, argv[3], argv[4]);
    else if (scenario == "cycles" && argc > 4)    runCycles (tattlebox, argv[4], std::atoi (argv[3]));
    else if (scenario == "iochange")              runIoChange (tattlebox);
    else if (scenario == "closerace" && argc > 3) runCloseRace (tattlebox, std::atoi (argv[3]));
    else
        return 2;

    return failures == 0 ? 0 : 1;
}
