// The bridge between the host and the target: the process-wide state, the
// entry's start-up and the shut-down that Close runs. One bridge per loaded
// copy of the library; it observes one target at a time.
#pragma once

#include "../vst/VstInterface.h"
#include "../platform/MessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>

class TBWindow;

struct BridgeState
{
    BridgeState() = default;
    ~BridgeState();

    void* moduleHandle = nullptr;              // this library's own module
    juce::File pluginFile;                     // this library's file; the state file sits beside it
    juce::File lastDirectory;                  // where the file dialog opens
    std::atomic<AudioMasterCallback> hostCallback { nullptr }; // read by the audioMaster thunk, any thread
    juce::File targetFile;                     // the chosen target library
    juce::File rememberedTarget;               // the target the last successful main loaded
    std::unique_ptr<juce::DynamicLibrary> targetLibrary;
    std::atomic<AEffect*> targetEffect { nullptr }; // non-null while a target is hosted; read by the thunks
    std::unique_ptr<TBWindow> controlWindow;  // created and deleted on the message thread
    MessageThread messageThread;               // runs the framework between start-up and shut-down
    void* selfReference = nullptr;             // keeps this library mapped while the message thread runs
    bool keepTargetLibrary = false;            // Close found calls still inside the target: not freed

    // Set from the start of main until shut-down has finished: a second main
    // in this time is refused, also while the first is still starting or closing.
    std::atomic<bool> busy { false };

    JUCE_DECLARE_NON_COPYABLE (BridgeState)
};

extern BridgeState bridge;

// Reasons for dllMain, as the platform's library entry numbers them.
enum LibraryReason : int
{
    libraryDetach = 0,
    libraryAttach = 1,
    threadAttach = 2,
    threadDetach = 3
};

// [start-up] The address of wrapperEffect, or null.
AEffect* tattleboxMain (AudioMasterCallback hostCallback);

// [shut-down] The thread that sent Close, once no call is inside the target
// (or the wait for them ran out: keepLibrary): ends the target's life, once.
void endHosting (AEffect* target, bool keepLibrary);

// [load/unload] Writes the library's load and unload lines.
void dllMain (void* module, int reason);

// [shut-down] The summary where asked for, state file, window, target library, framework.
void shutDown();

// [start-up] The local date line of the banner, as in "8 Dec 2026 4:01:19 am".
juce::String formatDateLine (const juce::Time& time);
