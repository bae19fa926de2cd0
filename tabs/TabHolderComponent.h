#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class OldTabbedComponent;

// The tab strip of an OldTabbedComponent: lays out the tab components along the
// strip, paints the back tabs and the container's outline within its bounds, and
// follows the container's scroll bar. Its parent must be the container that made it.
class TabHolderComponent : public juce::Component,
                           public juce::ScrollBar::Listener
{
public:
    // [message]
    TabHolderComponent() = default;
    // [message] Deletes the tab components.
    ~TabHolderComponent() override;

    // [message]
    void paint (juce::Graphics& g) override;
    // [message]
    void resized() override;
    // [message] As an asynchronous message from the container's scroll bar.
    void scrollBarMoved (juce::ScrollBar* scrollBarThatHasMoved, double newRangeStart) override;

private:
    OldTabbedComponent* getOwner() const;
    void paintBackTab (juce::Graphics& g, const OldTabbedComponent& owner, juce::Rectangle<int> tabBounds) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TabHolderComponent)
};
