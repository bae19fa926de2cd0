// TBVstOpCodeListComponent: a page of opcode rows, one per entry of a catalogue
// group, laid out in columns. The page polls the counters; the call paths
// never touch it. Over a row whose calls were timed, a live note beside it
// gives every figure of its timing, refreshed with the counters.
#pragma once

#include "TBVstOpCodeComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

class TBVstOpCodeListComponent : public juce::Component
{
public:
    static constexpr int columnSpacing = 282;

    // [message]
    explicit TBVstOpCodeListComponent (int group);
    ~TBVstOpCodeListComponent() override;

    // [message] Each time the page's tab is selected, after the page has
    // its final size; only the first call creates the rows.
    virtual void createRows();
    // [message] Every timer tick while the page is in front.
    virtual void refreshCounters();

    int getGroup() const noexcept                { return group; }
    bool areRowsCreated() const noexcept         { return rowsCreated; }
    int getNumRows() const noexcept              { return rows.size(); }
    TBVstOpCodeComponent* getRow (int i) const noexcept { return rows[i]; }
    // Null until a timed row was first pointed at.
    juce::Label* getTimingNote() const noexcept  { return timingNote.get(); }

private:
    const int group;
    bool rowsCreated = false;
    // Children; the last-added goes first when the page is deleted.
    juce::OwnedArray<TBVstOpCodeComponent> rows;
    // Added after the rows, so it goes first; a tooltip would not do: the
    // framework shows one only once its text has stood still for a while.
    std::unique_ptr<juce::Label> timingNote;

    void refreshTimingNote();
    void placeTimingNote (const TBVstOpCodeComponent& row, const juce::String& text);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBVstOpCodeListComponent)
};
