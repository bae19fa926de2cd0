// TBChecksPage: the "Checks" page. At the top the two switches of the
// contract checks; below, in a viewport, one row per rule: its own switch,
// what it found since the last Reset Counters, and the first breach's line.
// The switches are the logger's options, which the state file keeps.
#pragma once

#include "checks/CheckRuleNames.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One rule's row: the tick box with its title, the count right-aligned and,
// below, the first breach's line in small grey text.
class TBCheckRuleRow : public juce::Component,
                       public juce::SettableTooltipClient
{
public:
    static constexpr int rowHeight = 40;

    // [message]
    explicit TBCheckRuleRow (CheckRule ruleToShow);
    ~TBCheckRuleRow() override;

    // [message] From the page's refresh: the tick follows the rule's switch,
    // the title whether its checks run; repaints only what changed.
    void refresh (bool checking);

    // [message]
    void paint (juce::Graphics&) override;
    void resized() override;

    CheckRule getRule() const noexcept                 { return rule; }
    std::uint64_t getShownCount() const noexcept       { return shownCount; }
    const juce::String& getShownLine() const noexcept  { return shownLine; }
    juce::ToggleButton& getTickBox() noexcept          { return tickBox; }

    juce::Rectangle<int> getCountArea() const noexcept { return { getWidth() - 112, 2, 100, 22 }; }
    juce::Rectangle<int> getLineArea() const noexcept  { return { 38, 23, getWidth() - 50, 14 }; }

private:
    const CheckRule rule;
    juce::ToggleButton tickBox;
    std::uint64_t shownCount = 0;
    std::string shownBytes; // the line as the rules hold it, to compare without allocating
    juce::String shownLine;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBCheckRuleRow)
};

class TBChecksPage : public juce::Component
{
public:
    // [message]
    TBChecksPage();
    ~TBChecksPage() override;

    // [message] Every timer tick while the page is in front, and after Reset
    // Counters: switches, counts and lines follow the rules.
    void refresh();

    // [message]
    void resized() override;

    int getNumRows() const noexcept                       { return (int) rows.size(); }
    TBCheckRuleRow& getRow (int index) const noexcept     { return *rows[(size_t) index]; }
    juce::Viewport& getViewport() noexcept                { return viewport; }

    std::unique_ptr<juce::ToggleButton> checkCallsToggle, checkAudioToggle;

    static constexpr int rowsTop = 100;

private:
    std::unique_ptr<juce::ToggleButton> addSwitch (const juce::String& text, const juce::String& what,
                                                   std::atomic<bool>& option, int y);
    juce::Label& addLabel (const juce::String& text, juce::Rectangle<int> bounds, juce::Colour colour);

    std::vector<std::unique_ptr<juce::Label>> labels;
    juce::Label* countHeading = nullptr;
    juce::Viewport viewport;
    juce::Component rowHolder;
    std::vector<std::unique_ptr<TBCheckRuleRow>> rows;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBChecksPage)
};
