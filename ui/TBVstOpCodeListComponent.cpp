#include "TBVstOpCodeListComponent.h"

#include "TBCallTiming.h"
#include "TBPalette.h"

#include "log/TBLogger.h"

namespace
{
    const juce::Font noteFont (12.0f, juce::Font::plain);
    constexpr int noteLineHeight = 15, notePadding = 5;
}

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

    refreshTimingNote();
}

void TBVstOpCodeListComponent::refreshTimingNote()
{
    const TBVstOpCodeComponent* pointedAt = nullptr;

    for (auto* row : rows)
        if (row->isMouseOver())
            pointedAt = row;

    const auto text = pointedAt != nullptr ? TBCallTiming::describeEntry (group, pointedAt->getIndex()) : juce::String();

    if (text.isEmpty())
    {
        if (timingNote != nullptr)
            timingNote->setVisible (false);

        return;
    }

    if (timingNote == nullptr)
    {
        timingNote = std::make_unique<juce::Label> ("TimingNote");
        timingNote->setFont (noteFont);
        timingNote->setJustificationType (juce::Justification::topLeft);
        timingNote->setBorderSize ({ notePadding - 2, notePadding, notePadding - 2, notePadding });
        timingNote->setColour (juce::Label::backgroundColourId, TBPalette::lightestGrey.brighter (0.5f));
        timingNote->setColour (juce::Label::outlineColourId, TBPalette::darkBlue);
        timingNote->setColour (juce::Label::textColourId, TBPalette::black);
        timingNote->setInterceptsMouseClicks (false, false);
        addChildComponent (*timingNote);
    }

    placeTimingNote (*pointedAt, text);
}

void TBVstOpCodeListComponent::placeTimingNote (const TBVstOpCodeComponent& row, const juce::String& text)
{
    const auto lines = juce::StringArray::fromLines (text);
    int width = 0;

    for (auto& line : lines)
        width = juce::jmax (width, noteFont.getStringWidth (line));

    const int w = juce::jmin (getWidth(), width + 2 * notePadding + 4);
    const int h = lines.size() * noteLineHeight + 2 * notePadding - 2;

    // Below the row, else above it; inside the page.
    int y = row.getBottom() + 2;

    if (y + h > getHeight())
        y = row.getY() - h - 2;

    const int x = juce::jlimit (0, juce::jmax (0, getWidth() - w), row.getX() + 30);

    if (timingNote->getText() != text)
        timingNote->setText (text, juce::dontSendNotification);

    timingNote->setBounds (x, juce::jmax (0, y), w, h);
    timingNote->setVisible (true);
    timingNote->toFront (false);
}
