// TBVstOpCodeComponent: one row of an opcode page. Shows the entry's tick
// square, name and live call counter; a press switches the entry's logging.
// Once calls of the entry were timed, the row shows their average duration
// before the counter (the page gives every figure of the row pointed at).
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TBVstOpCodeComponent : public juce::Component
{
public:
    static constexpr int rowWidth = 280;
    static constexpr int rowHeight = 16;

    // [message]
    TBVstOpCodeComponent (int group, int index);
    ~TBVstOpCodeComponent() override;

    // [message] Any button toggles the entry.
    void mouseDown (const juce::MouseEvent&) override;
    // [message]
    void paint (juce::Graphics&) override;

    // [message] Every timer tick of the page in front: repaints what the
    // counter changed and nothing else.
    void refreshCounter();

    int getGroup() const noexcept      { return group; }
    int getIndex() const noexcept      { return index; }
    std::int64_t getShownCount() const noexcept { return shownCount; }
    // The average the row last painted; 0 while none was timed.
    std::uint64_t getShownAverage() const noexcept { return shownAverage; }

    // Where the digits go; a count change within non-zero values repaints only this.
    static juce::Rectangle<int> getCounterRefreshArea() noexcept { return { 222, 0, 58, rowHeight }; }
    // Where the average duration goes, left of the digits.
    static juce::Rectangle<int> getTimingArea() noexcept { return { 160, 0, 60, rowHeight }; }

private:
    const int group;
    const int index;
    std::int64_t shownCount = 0;
    std::uint64_t shownAverage = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBVstOpCodeComponent)
};
