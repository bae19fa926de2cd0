// TBLookAndFeel: the framework's default look, except that the one title-bar
// button a dialog window asks for (its close button) is a minimise button.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TBLookAndFeel : public juce::LookAndFeel_V4
{
public:
    // [message]
    TBLookAndFeel();
    ~TBLookAndFeel() override;

    // [message] Whenever a window's look-and-feel is set or changes; the
    // window owns the button returned.
    juce::Button* createDocumentWindowButton (int buttonType) override;

    // The last title-bar button made; not owned, and null once its window deletes it.
    juce::Component::SafePointer<juce::Button> minimizeButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBLookAndFeel)
};
