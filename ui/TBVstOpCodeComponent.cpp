#include "TBVstOpCodeComponent.h"
#include "TBCallTiming.h"
#include "TBPalette.h"

#include "log/TBLogger.h"

namespace
{
    const juce::Colour& backgroundColour = TBPalette::lightestGrey;
    const juce::Colour& hoverColour = TBPalette::rowHover;
    const juce::Colour& separatorColour = TBPalette::lightGrey;
    const juce::Colour& tickOnColour = TBPalette::tickOn;
    const juce::Colour& tickOffColour = TBPalette::tickOff;
    const juce::Colour& tickOutlineColour = TBPalette::tickOutline;
    const juce::Colour& activeTextColour = TBPalette::black;
    const juce::Colour& idleTextColour = TBPalette::middleGrey;
    const juce::Colour& timingColour = TBPalette::darkBlue;

    std::uint64_t averageOf (int group, int index)
    {
        return TBCallTiming::timingOf (group, index).averageNanoseconds();
    }

    // Up to ten digits are squeezed into the box as they always were; a longer
    // count takes a smaller font, where squeezing alone would end in an ellipsis.
    void drawCount (juce::Graphics& g, std::int64_t count, juce::Rectangle<int> box)
    {
        const juce::String digits ((juce::int64) count);
        juce::Font font (15.0f, juce::Font::plain);
        const auto squeezedWidth = font.getStringWidthFloat (digits) * juce::Font::getDefaultMinimumHorizontalScaleFactor();

        if (squeezedWidth > (float) box.getWidth())
            font.setHeight (font.getHeight() * 0.95f * (float) box.getWidth() / squeezedWidth);

        g.setFont (font);
        g.drawFittedText (digits, box, juce::Justification::centredRight, 1);
    }
}

TBVstOpCodeComponent::TBVstOpCodeComponent (int groupToShow, int indexToShow)
    : juce::Component ("TBVstOpCodeComponent"),
      group (groupToShow),
      index (indexToShow)
{
    // The hover background follows the pointer.
    setRepaintsOnMouseActivity (true);
}

TBVstOpCodeComponent::~TBVstOpCodeComponent() = default;

void TBVstOpCodeComponent::mouseDown (const juce::MouseEvent&)
{
    TBLogger::setOpCodeEnabled (! TBLogger::isOpCodeEnabled (group, index), group, index);
    repaint();
}

void TBVstOpCodeComponent::refreshCounter()
{
    const auto count = TBLogger::getCallCount (group, index);
    const auto average = averageOf (group, index);

    // The whole row: the name's room depends on the width of the duration's digits.
    if (average != shownAverage)
    {
        repaint();
        shownAverage = average;
    }

    if (count == shownCount)
        return;

    // From zero the name changes colour too; otherwise only the digits move.
    if (shownCount == 0)
        repaint();
    else
        repaint (getCounterRefreshArea());

    // Updated now, so that a paint still pending is not requested again next tick.
    shownCount = count;
}

void TBVstOpCodeComponent::paint (juce::Graphics& g)
{
    const auto count = TBLogger::getCallCount (group, index);
    shownCount = count;
    shownAverage = averageOf (group, index);

    const auto width = getWidth();
    const auto height = getHeight();

    g.setColour (isMouseOver() ? hoverColour : backgroundColour);
    g.fillRect (1, 1, width - 2, height - 2);

    // Whole pixels: a 1-pixel line centred on the pixel row's top edge would smear over two rows.
    g.setColour (separatorColour);
    g.drawHorizontalLine (height - 1, 0.0f, (float) width);

    g.setColour (TBLogger::isOpCodeEnabled (group, index) ? tickOnColour : tickOffColour);
    g.fillRect (juce::Rectangle<float> (3.0f, 4.0f, 8.0f, 8.0f));
    g.setColour (tickOutlineColour);
    g.drawRect (juce::Rectangle<float> (2.0f, 3.0f, 10.0f, 10.0f), 1.0f);

    g.setColour (count != 0 ? activeTextColour : idleTextColour);
    g.setFont (juce::Font (15.0f, juce::Font::plain));
    // With a duration to show, the name keeps clear of its digits, no more.
    const juce::Font timingFont (12.0f, juce::Font::plain);
    const auto timingText = shownAverage != 0 ? TBCallTiming::formatDuration (shownAverage) : juce::String();
    const auto timingArea = getTimingArea();
    const auto nameWidth = shownAverage != 0 ? timingArea.getRight() - timingFont.getStringWidth (timingText) - 6 - 14 : 280;
    g.drawText (TBLogger::getOpCodeName (group, index), 14, 0, nameWidth, 16, juce::Justification::centredLeft, true);

    if (shownAverage != 0)
    {
        g.setColour (timingColour);
        g.setFont (timingFont);
        g.drawFittedText (timingText, timingArea, juce::Justification::centredRight, 1);
        g.setColour (count != 0 ? activeTextColour : idleTextColour);
        g.setFont (juce::Font (15.0f, juce::Font::plain));
    }

    if (count > 0)
        drawCount (g, count, { 222, 0, 56, rowHeight });
}
