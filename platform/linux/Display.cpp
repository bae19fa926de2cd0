#include "../Display.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
    // juce_gui_extra's embedding support, which every X event and each change
    // of focus goes through (not in its public headers).
    bool juce_handleXEmbedEvent (ComponentPeer*, void*);
    unsigned long juce_getCurrentFocusWindow (ComponentPeer*);
}

bool canShowWindows()
{
    // Without an X display the framework finds no screen to centre a window on.
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

void makeWindowSystemStatics() noexcept
{
    // Tattlebox embeds no window: both only make their tables of them.
    juce::juce_handleXEmbedEvent (nullptr, nullptr);
    juce::juce_getCurrentFocusWindow (nullptr);
}
