#include "Bridge.h"

#include "ui/TBWindow.h"
#include "CallGate.h"
#include "Thunks.h"
#include "WrapperEffect.h"
#include "../checks/CallChecks.h"
#include "../crash/CrashReport.h"
#include "../crash/HangWatch.h"
#include "../log/BackgroundWriter.h"
#include "../log/LogFile.h"
#include "../log/StateFile.h"
#include "../log/TBLogger.h"
#include "../log/TraceFile.h"
#include "../record/RecordFile.h"
#include "../record/SessionRecorder.h"
#include "../platform/Display.h"
#include "../platform/FileDialog.h"
#include "../platform/ModuleFile.h"
#include "../platform/PluginLibrary.h"
#include "../platform/StaticOrder.h"
#include "../platform/TimeOfDay.h"

#include <cstring>
#include <utility>

BridgeState bridge TB_STATIC_BRIDGE_STATE;

BridgeState::~BridgeState()
{
    // Reached with a target still hosted only when the host exits (or unloads
    // the library) without Close: the window and the target belong to threads
    // that may still run, so they are left to the process's end, not deleted here.
    if (targetEffect.load() != nullptr)
    {
        [[maybe_unused]] auto* window = controlWindow.release();
        [[maybe_unused]] auto* library = targetLibrary.release();
    }
}

juce::String formatDateLine (const juce::Time& time)
{
    // juce::Time::toString leaves out the blank before am/pm.
    return juce::String (time.getDayOfMonth()) + " " + time.getMonthName (true) + " "
         + juce::String (time.getYear()) + " " + juce::String (time.getHoursInAmPmFormat()) + ":"
         + juce::String (time.getMinutes()).paddedLeft ('0', 2) + ":"
         + juce::String (time.getSeconds()).paddedLeft ('0', 2)
         + (time.isAfternoon() ? " pm" : " am");
}

namespace
{
    void logText (const juce::String& text)
    {
        tbLogger.logLine (text.toRawUTF8());
    }

    void findPluginFile()
    {
        bridge.pluginFile = getModuleFile (reinterpret_cast<const void*> (&findPluginFile));
    }

    // A recording's records go to the file only through the background writer's rounds.
    void startRecording()
    {
        recordFile.setPlace (RecordFile::besideStateFile (getStateFile (bridge.pluginFile)));

        if (! tbLogger.recordSession)
            return;

        if (! backgroundWriter.isRunning())
        {
            logText ("Record Session writes through the background writer: it runs for this session");
            backgroundWriter.start();
        }

        recordFile.start (tbLogger.recordAudio);
    }

    void startUp()
    {
        // A host that unloads the library without Close must not pull the code
        // from under the message thread: the library holds itself until shut-down.
        if (bridge.selfReference == nullptr)
            bridge.selfReference = holdModule (reinterpret_cast<const void*> (&findPluginFile));

        bridge.messageThread.start(); // the framework comes up on that thread
        findPluginFile();
        tbLogger.initialise (bridge.pluginFile.getFileName());
        // Read before the banner, which writes nothing, so that a log file
        // switched on there holds the session from its first line.
        readStateFile (bridge.pluginFile, bridge.lastDirectory, &bridge.rememberedTarget);

        logFile.setPlace (LogFile::besideStateFile (getStateFile (bridge.pluginFile)));

        if (tbLogger.logToFile)
            logFile.openAtPlace();

        if (tbLogger.writeInBackground)
            backgroundWriter.start();

        traceFile.setPlace (TraceFile::besideStateFile (getStateFile (bridge.pluginFile)));

        if (tbLogger.writeTrace)
            traceFile.start();

        startRecording();

        // Before the target is loaded: its entry is a call like any other.
        startCrashReports();
        hangWatch.start();

        // The zone lookup, here rather than at a first line on an audio thread.
        refreshLocalTimeOffset();
        logText ("Tattlebox - " + bridge.pluginFile.getFullPathName());
        logText (formatDateLine (juce::Time::getCurrentTime()));
    }

    // With "Remember Target" ticked, a DAW that calls the entry again for every
    // session it opens or scans gets the same target each time, without a dialog.
    bool usesRememberedTarget()
    {
        return tbLogger.rememberTarget && bridge.rememberedTarget.existsAsFile();
    }

    juce::File chooseTargetFile()
    {
        if (usesRememberedTarget())
        {
            logText ("Remembered target " + bridge.rememberedTarget.getFullPathName());
            return bridge.rememberedTarget;
        }

        const auto title = bridge.pluginFile.getFileNameWithoutExtension() + " - Please select the plugin to log...";
        return choosePluginFile (bridge.messageThread, title, bridge.lastDirectory);
    }

    VstPluginMainProc openTargetLibrary()
    {
        const auto path = bridge.targetFile.getFullPathName();
        bridge.targetLibrary = loadPluginLibrary (bridge.targetFile);

        if (bridge.targetLibrary == nullptr)
        {
            logText ("Failed to load " + path);
            return nullptr;
        }

        logText ("Loaded " + path);
        return findPluginEntry (*bridge.targetLibrary);
    }

    bool closeTargetLibrary()
    {
        return freePluginLibrary (bridge.targetLibrary);
    }

    void unloadTarget()
    {
        // A call still inside the target after Close: its code must stay mapped.
        if (std::exchange (bridge.keepTargetLibrary, false))
        {
            [[maybe_unused]] auto* kept = bridge.targetLibrary.release();
            return;
        }

        if (closeTargetLibrary())
            logText ("Unloaded " + bridge.targetFile.getFullPathName());
    }

    AEffect* callTargetEntry (VstPluginMainProc entry)
    {
        // Callbacks from inside the entry reach the host with the wrapper's
        // address; a record left from an earlier target would point the host
        // at an instance it has already deleted.
        std::memset (&wrapperEffect, 0, sizeof (AEffect));

        const auto recorded = sessionRecorder.callEntry (bridge.targetFile.getFullPathName().toRawUTF8());
        AEffect* effect = nullptr;

        try
        {
            effect = entry (audioMasterThunk);
        }
        catch (...)
        {
            effect = nullptr;
        }

        sessionRecorder.returnEntry (recorded, effect);
        return effect;
    }

    AEffect* loadTarget (AudioMasterCallback hostCallback)
    {
        bridge.hostCallback.store (hostCallback, std::memory_order_release);

        if (! bridge.lastDirectory.isDirectory())
            bridge.lastDirectory = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

        const auto remembered = usesRememberedTarget();
        const auto chosen = chooseTargetFile();

        if (chosen == juce::File())
        {
            logText ("No plugin was selected");
            return nullptr;
        }

        bridge.lastDirectory = chosen.getParentDirectory();
        bridge.targetFile = chosen;
        tbLogger.setName (chosen.getFileName());

        if (auto entry = openTargetLibrary())
        {
            if (auto* effect = callTargetEntry (entry))
            {
                if (effect->magic == kEffectMagic)
                    return effect;

                logText ("Wrong Magic, probably not a VST plugin");
            }
        }
        else
        {
            logText ("Failed to get VST main function");
        }

        closeTargetLibrary();
        logText ("Unloaded " + bridge.targetFile.getFullPathName());

        // Otherwise a target that no longer loads would be tried at every start-up,
        // and the window where the user could choose another one would never open.
        if (remembered)
            bridge.rememberedTarget = juce::File();

        return nullptr;
    }



    // Bounded: a Windows host that sends Close from another thread while its
    // own thread waits for that one would never let the window go.
    constexpr int windowWaitMilliseconds = 2000;

    bool closeControlWindow()
    {
        return bridge.messageThread.callAndWait ([] { bridge.controlWindow.reset(); }, windowWaitMilliseconds)
            || ! bridge.messageThread.isRunning();
    }

    // A host that exits without Close: the window and its timer would go on
    // running on the message thread while the process destroys the statics they
    // use. Stop them first; the target stays loaded and no state is written.
    void stopWindowAtExit()
    {
        if (bridge.targetEffect.load() == nullptr)
            return;

        closeControlWindow();
        bridge.messageThread.stop();
        hangWatch.stop();
        backgroundWriter.stop();
    }

    void stopWindowAtExitOnce()
    {
        static bool registered = false;

        if (std::exchange (registered, true))
            return;

        // The framework keeps each thread's record in a static made at its
        // first use, which could come after this handler's registration (a
        // second session's timer thread) and so be destroyed before the
        // handler stops that thread: made now, it outlives the handler.
        juce::Thread::getCurrentThread();
        makeWindowSystemStatics();
        callAtProcessExit (stopWindowAtExit);
    }

    // The window is made, brought to the front and started on the message thread,
    // and deleted there too: its timer and paints only ever run on that thread.
    void openControlWindow()
    {
        bridge.messageThread.callAndWait ([]
        {
            // Without a display hosting goes on, with the log and the counters alone.
            if (! canShowWindows())
            {
                logText ("No display: the control window is not shown; calls are still logged and counted");
                return;
            }

            auto window = std::make_unique<TBWindow> (wrapperEffect);
            window->toFront (true);
            window->startTimer (50);
            bridge.controlWindow = std::move (window);
        });

        stopWindowAtExitOnce();
    }

    void shutDownQuietly() noexcept
    {
        try
        {
            shutDown();
        }
        catch (...) // nothing throws across the plug-in boundary
        {
        }

        bridge.busy = false;
    }
}

void shutDown()
{
    // What Close leaves open, then every rule's count; before the summary.
    if (callChecks.anyOn())
        callChecks.endSession();

    if (tbLogger.logSummary)
        tbLogger.writeSummary();

    writeStateFile (bridge.pluginFile, bridge.lastDirectory, bridge.rememberedTarget);
    const auto windowClosed = closeControlWindow();
    hangWatch.stop();
    unloadTarget();

    // A handler installed on top of ours may hand on to it: our code must stay.
    const auto handlersRemoved = stopCrashReports();

    if (! handlersRemoved)
        logText ("A crash handler installed after Tattlebox's stands on top of it: Tattlebox stays loaded");

    // The framework shuts down on its own thread. Where that thread never
    // came to it, its window procedures still stand: the library stays.
    const auto frameworkDown = windowClosed && bridge.messageThread.stop();

    if (! frameworkDown)
        logText ("The window's thread did not shut the framework down within 2 s: Tattlebox stays loaded");

    // Lines after Close (calls that come too late, the unload line) are
    // written by their own threads, into the file that stays open for them.
    backgroundWriter.stop();
    traceFile.finish();
    recordFile.finish();

    if (frameworkDown && handlersRemoved)
        releaseModule (std::exchange (bridge.selfReference, nullptr));
}

AEffect* tattleboxMain (AudioMasterCallback hostCallback)
{
    bool idle = false;

    if (! bridge.busy.compare_exchange_strong (idle, true))
    {
        logText ("Tattlebox is exiting VST main function with NULL since we are already hosting a plugin");
        return nullptr;
    }

    try
    {
        startUp();

        if (auto* target = loadTarget (hostCallback))
        {
            buildWrapperEffect (*target);
            callChecks.startSession (*target);
            bridge.rememberedTarget = bridge.targetFile;
            bridge.targetEffect.store (target, std::memory_order_release);
            callGate.open();
            openControlWindow();
            return &wrapperEffect;
        }
    }
    catch (...)
    {
        bridge.targetEffect = nullptr;
    }

    shutDownQuietly();
    return nullptr;
}

void endHosting (AEffect* target, bool keepLibrary)
{
    // Only the first of concurrent Closes shuts down; later calls find no target.
    if (bridge.targetEffect.compare_exchange_strong (target, nullptr))
    {
        bridge.keepTargetLibrary = keepLibrary;
        shutDownQuietly();
    }
}

void dllMain (void* module, int reason)
{
    bridge.moduleHandle = module;

    switch (reason)
    {
        case libraryAttach: tbLogger.logLine ("DLL_PROCESS_ATTACH"); break;
        case libraryDetach: tbLogger.logFinalLine ("DLL_PROCESS_DETACH"); break;
        case threadAttach:  tbLogger.logLine ("DLL_THREAD_ATTACH"); break;
        case threadDetach:  tbLogger.logLine ("DLL_THREAD_DETACH"); break;
        default:            tbLogger.logLine ("DllMain"); break;
    }
}
