// TBWindow: the control window. Lives exactly as long as the target is hosted;
// the user can move and minimise it, never resize or close it. Its 50 ms timer
// is the clock of every live update.
#pragma once

#include "TBLookAndFeel.h"
#include "vst/VstInterface.h"

#include <juce_gui_basics/juce_gui_basics.h>

class TBContentComponent;

class TBWindow : public juce::DialogWindow,
                 public juce::Timer,
                 private juce::Button::Listener
{
public:
    static constexpr int windowWidth = 774;
    static constexpr int windowHeight = 666;

    // [message] For all of these. The record is the one the host holds,
    // which the window shows; it outlives the window.
    explicit TBWindow (const AEffect& shownRecord);
    ~TBWindow() override;

    void userTriedToCloseWindow() override;
    void closeButtonPressed() override;
    void timerCallback() override;
    void lookAndFeelChanged() override;
    juce::BorderSize<int> getBorderThickness() override;

    TBContentComponent* getContent() const noexcept;
    juce::Button* getMinimizeButton() const noexcept { return lookAndFeel.minimizeButton.getComponent(); }

private:
    void buttonClicked (juce::Button* button) override;

    TBLookAndFeel lookAndFeel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBWindow)
};
