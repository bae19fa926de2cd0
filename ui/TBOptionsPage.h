// TBOptionsPage: the "Options" page. Every switch of what a line carries,
// where the lines go and what is kept from one session to the next, each
// with a line saying what it does, in groups. The switches are the logger's
// options, which the state file keeps.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

class TBOptionsPage : public juce::Component,
                      private juce::Button::Listener
{
public:
    // [message]
    TBOptionsPage();
    ~TBOptionsPage() override;

    // [message] Every timer tick while the page is in front: the switches
    // follow options changed elsewhere, and the log file's place is shown.
    void refresh();

    // What a line carries; what is measured; where lines go; what is kept for next time.
    std::unique_ptr<juce::ToggleButton> logParametersToggle, logReturnParametersToggle, logTimeToggle,
                                        decodeStructuresToggle;
    std::unique_ptr<juce::ToggleButton> timeCallsToggle, logSummaryToggle, writeInBackgroundToggle;
    std::unique_ptr<juce::ToggleButton> logToDebugOutputToggle, logToFileToggle, writeTraceToggle;
    std::unique_ptr<juce::ToggleButton> reportCrashesToggle, recordSessionToggle, recordAudioToggle;
    std::unique_ptr<juce::ToggleButton> rememberTargetToggle;

    static constexpr int rowHeight = 22;
    static constexpr int rowStep = 26;

private:
    void buttonClicked (juce::Button* button) override;
    void addHeading (const juce::String& text);
    std::unique_ptr<juce::ToggleButton> addToggle (const juce::String& text, const juce::String& what,
                                                   std::atomic<bool>& option);
    juce::Label& addNote (const juce::String& text);

    int nextY = 10;
    std::vector<std::unique_ptr<juce::Label>> labels;
    juce::Label* logFilePlace = nullptr;
    juce::Label* hangNote = nullptr;
    // Each toggle with the switch it shows, for refresh.
    std::vector<std::pair<juce::ToggleButton*, const std::atomic<bool>*>> shownSwitches;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBOptionsPage)
};
