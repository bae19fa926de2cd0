// TBVstOpCodeListComponent: a page of opcode rows, one per entry of a catalogue
// group, laid out in columns. The page polls the counters; the call paths
// never touch it.
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

private:
    const int group;
    bool rowsCreated = false;
    // Children; the last-added goes first when the page is deleted.
    juce::OwnedArray<TBVstOpCodeComponent> rows;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBVstOpCodeListComponent)
};
