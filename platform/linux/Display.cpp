#include "../Display.h"

#include <juce_gui_basics/juce_gui_basics.h>

bool canShowWindows()
{
    // Without an X display the framework finds no screen to centre a window on.
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}
