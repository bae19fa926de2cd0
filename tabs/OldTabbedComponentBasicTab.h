#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class OldTabbedComponent;

// One tab of an OldTabbedComponent, named after its page. It draws only its name;
// the strip draws its shape. A press selects it, the wheel scrolls the strip.
class OldTabbedComponentBasicTab : public juce::Component
{
public:
    // [message]
    explicit OldTabbedComponentBasicTab (const juce::String& tabName);

    // [message]
    void mouseDown (const juce::MouseEvent& e) override;
    // [message]
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    // [message]
    void paint (juce::Graphics& g) override;

    // [message] From paint. Draws the name; the basic tab draws front and back tabs alike.
    virtual void paintTab (juce::Graphics& g, bool isFrontTab, OldTabbedComponent* owner);

protected:
    // The container is the strip's parent; null while the tab is not in one.
    OldTabbedComponent* getOwner() const;
    int getTabIndex (const OldTabbedComponent& owner) const;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OldTabbedComponentBasicTab)
};
