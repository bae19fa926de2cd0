#include "TBChecksPage.h"
#include "checks/CallChecks.h"
#include "TBPalette.h"

#include "checks/CheckRules.h"
#include "log/TBLogger.h"

namespace
{
    // As the Options page's switches.
    constexpr int marginX = 16;
    constexpr int toggleWidth = 200, toggleHeight = 24;
    constexpr int noteX = marginX + toggleWidth + 8;
    constexpr int noteWidth = 330;
    constexpr int viewportInset = 4;

    void styleToggle (juce::ToggleButton& toggle)
    {
        toggle.setColour (juce::ToggleButton::textColourId, TBPalette::black);
        toggle.setColour (juce::ToggleButton::tickColourId, TBPalette::black);
        toggle.setColour (juce::ToggleButton::tickDisabledColourId, TBPalette::darkGrey);
    }

    void syncToggle (juce::ToggleButton& toggle, bool state)
    {
        if (toggle.getToggleState() != state)
            toggle.setToggleState (state, juce::dontSendNotification);
    }
}

//==============================================================================
TBCheckRuleRow::TBCheckRuleRow (CheckRule ruleToShow)
    : juce::Component ("TBCheckRuleRow"),
      rule (ruleToShow),
      tickBox (checkRuleInfo[(int) ruleToShow].title)
{
    styleToggle (tickBox);
    tickBox.setToggleState (tbLogger.checkRuleOn[(int) rule].load(), juce::dontSendNotification);
    tickBox.onClick = [this] { tbLogger.checkRuleOn[(int) rule] = tickBox.getToggleState(); };
    addAndMakeVisible (tickBox);
}

TBCheckRuleRow::~TBCheckRuleRow() = default;

void TBCheckRuleRow::resized()
{
    tickBox.setBounds (marginX - viewportInset, 2, getCountArea().getX() - 8 - (marginX - viewportInset), 22);
}

void TBCheckRuleRow::refresh (bool checking)
{
    syncToggle (tickBox, tbLogger.checkRuleOn[(int) rule].load());

    // A rule whose checks are off is greyed, as an idle row of the opcode pages.
    const auto titleColour = checking ? TBPalette::black : TBPalette::middleGrey;

    if (tickBox.findColour (juce::ToggleButton::textColourId) != titleColour)
        tickBox.setColour (juce::ToggleButton::textColourId, titleColour);

    if (const auto count = checkRules.getCount (rule); count != shownCount)
    {
        shownCount = count;
        repaint (getCountArea());
    }

    if (const char* line = checkRules.getFirstLine (rule); shownBytes != line)
    {
        shownBytes = line;
        shownLine = juce::String::fromUTF8 (line);
        setTooltip (shownLine); // the whole line, where the row cuts it
        repaint (getLineArea());
    }
}

void TBCheckRuleRow::paint (juce::Graphics& g)
{
    g.setColour (TBPalette::lightGrey);
    g.drawHorizontalLine (getHeight() - 1, 0.0f, (float) getWidth());

    g.setColour (shownCount != 0 ? TBPalette::black : TBPalette::middleGrey);
    g.setFont (juce::Font (15.0f, juce::Font::plain));
    g.drawFittedText (juce::String ((juce::uint64) shownCount), getCountArea(), juce::Justification::centredRight, 1);

    if (shownLine.isNotEmpty())
    {
        g.setColour (TBPalette::darkGrey);
        g.setFont (juce::Font (12.0f, juce::Font::plain));
        g.drawText (shownLine, getLineArea(), juce::Justification::centredLeft, true);
    }
}

//==============================================================================
TBChecksPage::TBChecksPage()
    : juce::Component ("TBChecksPage")
{
    checkCallsToggle = addSwitch ("Check Calls", "each call against the VST 2 contract, both ways", tbLogger.checkCalls, 10);
    checkAudioToggle = addSwitch ("Check Audio", "NaN, infinite and denormal output samples", tbLogger.checkAudio, 38);

    auto& heading = addLabel ("Rules", { marginX - 4, 72, toggleWidth, toggleHeight }, TBPalette::darkBlue);
    heading.setFont (juce::Font (15.0f, juce::Font::bold));
    countHeading = &addLabel ("breaches since Reset Counters", {}, TBPalette::darkGrey);
    countHeading->setJustificationType (juce::Justification::centredRight);

    for (int i = 0; i < numCheckRules; ++i)
    {
        rows.push_back (std::make_unique<TBCheckRuleRow> ((CheckRule) i));
        rowHolder.addAndMakeVisible (*rows.back());
    }

    // The rows are taller than the page: they scroll, the switches stay.
    viewport.setViewedComponent (&rowHolder, false);
    viewport.setScrollBarsShown (true, false);
    viewport.setScrollBarThickness (12);
    addAndMakeVisible (viewport);
    refresh();
}

TBChecksPage::~TBChecksPage() = default;

std::unique_ptr<juce::ToggleButton> TBChecksPage::addSwitch (const juce::String& text, const juce::String& what,
                                                             std::atomic<bool>& option, int y)
{
    auto toggle = std::make_unique<juce::ToggleButton> (text);
    toggle->setBounds (marginX, y, toggleWidth, toggleHeight);
    toggle->setTooltip (what.substring (0, 1).toUpperCase() + what.substring (1));
    styleToggle (*toggle);
    toggle->setToggleState (option.load(), juce::dontSendNotification);
    toggle->onClick = [&option, t = toggle.get()]
    {
        // Switched on inside a session: the checks have not followed its state so far.
        const bool wereOff = ! callChecks.anyOn();
        option = t->getToggleState();

        if (wereOff && callChecks.anyOn())
            callChecks.joinSession();
    };
    addAndMakeVisible (*toggle);

    addLabel (what, { noteX, y, noteWidth, toggleHeight }, TBPalette::darkGrey);
    return toggle;
}

juce::Label& TBChecksPage::addLabel (const juce::String& text, juce::Rectangle<int> bounds, juce::Colour colour)
{
    auto label = std::make_unique<juce::Label> (text, text);
    label->setColour (juce::Label::textColourId, colour);
    label->setBounds (bounds);
    addAndMakeVisible (*label);
    labels.push_back (std::move (label));
    return *labels.back();
}

void TBChecksPage::resized()
{
    viewport.setBounds (viewportInset, rowsTop, getWidth() - 2 * viewportInset, getHeight() - rowsTop - viewportInset);

    // The scroll bar always shows: the rows never fit.
    const auto rowWidth = viewport.getWidth() - viewport.getScrollBarThickness();
    rowHolder.setSize (rowWidth, getNumRows() * TBCheckRuleRow::rowHeight);

    for (int i = 0; i < getNumRows(); ++i)
        rows[(size_t) i]->setBounds (0, i * TBCheckRuleRow::rowHeight, rowWidth, TBCheckRuleRow::rowHeight);

    // Over the counts' column; a label keeps 5 pixels clear on each side.
    const auto countRight = viewportInset + rowWidth - 12 + 5;
    countHeading->setBounds (countRight - 260, 72, 260, toggleHeight);
}

void TBChecksPage::refresh()
{
    const bool calls = tbLogger.checkCalls.load(), audio = tbLogger.checkAudio.load();
    syncToggle (*checkCallsToggle, calls);
    syncToggle (*checkAudioToggle, audio);

    for (auto& row : rows)
        row->refresh (row->getRule() == CheckRule::badSamples ? audio : calls);
}
