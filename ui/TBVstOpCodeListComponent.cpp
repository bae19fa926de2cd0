#include "TBVstOpCodeListComponent.h"

#include "log/TBLogger.h"

TBVstOpCodeListComponent::TBVstOpCodeListComponent (int groupToShow)
    : juce::Component ("TBVstOpCodeListComponent " + juce::String (groupToShow)),
      group (groupToShow)
{
}

TBVstOpCodeListComponent::~TBVstOpCodeListComponent() = default;

void TBVstOpCodeListComponent::createRows()
{
    if (rowsCreated)
        return;

    rowsCreated = true;
    const auto numEntries = TBLogger::getNumOpCodes (group);

    // Fill each column to the page's height, then start the next one. The layout
    // is fixed at creation: the window never changes size.
    int x = 0, y = 0;

    for (int i = 0; i < numEntries; ++i)
    {
        if (y + TBVstOpCodeComponent::rowHeight > getHeight())
        {
            x += columnSpacing;
            y = 0;
        }

        auto* row = rows.add (new TBVstOpCodeComponent (group, i));
        row->setBounds (x, y, TBVstOpCodeComponent::rowWidth, TBVstOpCodeComponent::rowHeight);
        addAndMakeVisible (row);
        y += TBVstOpCodeComponent::rowHeight;
    }
}

void TBVstOpCodeListComponent::refreshCounters()
{
    const auto numEntries = TBLogger::getNumOpCodes (group);

    for (int i = 0; i < numEntries; ++i)
        if (auto* row = rows[i])
            row->refreshCounter();
}
