// TBVstOpCodeComponent: one row of an opcode page. Shows the entry's tick
// square, name and live call counter; a press switches the entry's logging.
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
    int getShownCount() const noexcept { return shownCount; }

    // Where the digits go; a count change within non-zero values repaints only this.
    static juce::Rectangle<int> getCounterRefreshArea() noexcept { return { 222, 0, 58, rowHeight }; }

private:
    const int group;
    const int index;
    int shownCount = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBVstOpCodeComponent)
};
