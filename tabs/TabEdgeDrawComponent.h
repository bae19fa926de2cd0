#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A mouse-transparent piece of an OldTabbedComponent that redraws the container's
// outline within its own bounds, in front of the children that lie behind it.
class TabEdgeDrawComponent : public juce::Component
{
public:
    // [message]
    TabEdgeDrawComponent() = default;

    // [message]
    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TabEdgeDrawComponent)
};
