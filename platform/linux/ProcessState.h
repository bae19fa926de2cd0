// Keeps the process's working folder and the WINDOWID variable as they were.
// The framework's Linux file chooser changes both for the whole process and
// never puts them back; Tattlebox runs inside the host's process, so it must.
#pragma once

#include <juce_core/juce_core.h>

#include <string>

class ScopedProcessState
{
public:
    // [any thread] Remembers the current state.
    ScopedProcessState();
    // Restores, unless restore() already did.
    ~ScopedProcessState();

    // [any thread] Puts the state back now (once).
    void restore();

private:
    juce::File workingFolder;
    std::string windowId;
    bool hadWindowId = false;
    bool restored = false;

    JUCE_DECLARE_NON_COPYABLE (ScopedProcessState)
};
