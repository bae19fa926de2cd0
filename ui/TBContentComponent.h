// TBContentComponent: the control window's content. Seven tabs down the left
// (the AEffect record and functions, dispatcher opcodes, host-callback
// opcodes, the options, the log, the contract checks, about) and, below
// them, the command column.
#pragma once

#include "vst/VstInterface.h"
#include "tabs/OldTabbedComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

class TBChecksPage;
class TBLogPage;
class TBOptionsPage;
class TBVstOpCodeListComponent;

class TBContentComponent : public OldTabbedComponent,
                           public juce::Button::Listener
{
public:
    // [message] For all of these. The record is the one the host holds,
    // shown on the AEffect page; it outlives the component.
    explicit TBContentComponent (const AEffect& shownRecord);
    ~TBContentComponent() override;

    void createControls();
    void tick();

    void currentTabChanged (int newIndex, bool alreadyCurrent, const juce::ModifierKeys& modifiers) override;
    void buttonClicked (juce::Button* button) override;

    static constexpr int numPages = 7;
    static constexpr int optionsTabIndex = 3;
    static constexpr int logTabIndex = 4;
    static constexpr int checksTabIndex = 5;
    static constexpr int aboutTabIndex = 6;

    juce::Component* getPage (int index) const noexcept;
    TBOptionsPage* getOptionsPage() const noexcept;
    TBLogPage* getLogPage() const noexcept;
    TBChecksPage* getChecksPage() const noexcept;

    // The controls, in the order they are created.
    std::unique_ptr<juce::TextButton> enableAllButton, disableAllButton, inverseAllButton, resetCountersButton,
                                      loggingButton, timeButton, helpButton;
    std::unique_ptr<juce::ImageButton> logoButton, donateButton;

private:
    std::unique_ptr<juce::TextButton> makeTextButton (const juce::String& text, const juce::String& tooltip, int y);
    std::unique_ptr<juce::ImageButton> makeImageButton (const juce::String& name, const juce::Image& image,
                                                        float normalOpacity, float overOpacity, float downOpacity,
                                                        juce::Rectangle<int> bounds, const juce::String& tooltip);
    void repaintCurrentPage();
    void resetCounters();
    void toggleLogging();
    void resetTime();
    TBVstOpCodeListComponent* getOpCodePage (int index) const noexcept;

    std::array<std::unique_ptr<juce::Component>, numPages> pages;
    juce::Time timeBase;
    juce::TooltipWindow tooltipWindow { nullptr, 700 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBContentComponent)
};
