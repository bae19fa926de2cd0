#include "ProcessState.h"

#include <cstdlib>

namespace
{
    constexpr const char* windowIdVariable = "WINDOWID";
}

ScopedProcessState::ScopedProcessState()
    : workingFolder (juce::File::getCurrentWorkingDirectory())
{
    if (auto* value = std::getenv (windowIdVariable))
    {
        windowId = value;
        hadWindowId = true;
    }
}

ScopedProcessState::~ScopedProcessState()
{
    restore();
}

void ScopedProcessState::restore()
{
    if (restored)
        return;

    restored = true;

    if (workingFolder != juce::File() && juce::File::getCurrentWorkingDirectory() != workingFolder)
        workingFolder.setAsCurrentWorkingDirectory();

    const auto* now = std::getenv (windowIdVariable);

    if (hadWindowId && (now == nullptr || windowId != now))
        setenv (windowIdVariable, windowId.c_str(), 1);
    else if (! hadWindowId && now != nullptr)
        unsetenv (windowIdVariable);
}
