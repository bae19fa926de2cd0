#include "tabs/OldTabbedComponentBasicTab.h"

#include "tabs/OldTabbedComponent.h"

OldTabbedComponentBasicTab::OldTabbedComponentBasicTab (const juce::String& tabName)
    : juce::Component (tabName)
{
    setRepaintsOnMouseActivity (true);
    setSize (50, 50);
}

OldTabbedComponent* OldTabbedComponentBasicTab::getOwner() const
{
    if (auto* strip = getParentComponent())
        return dynamic_cast<OldTabbedComponent*> (strip->getParentComponent());

    return nullptr;
}

int OldTabbedComponentBasicTab::getTabIndex (const OldTabbedComponent& owner) const
{
    return owner.tabs.indexOf (const_cast<OldTabbedComponentBasicTab*> (this));
}

void OldTabbedComponentBasicTab::mouseDown (const juce::MouseEvent&)
{
    if (auto* owner = getOwner())
        owner->setCurrentTab (getTabIndex (*owner));
}

void OldTabbedComponentBasicTab::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (auto* owner = getOwner())
        if (owner->scrollBar != nullptr)
            owner->scrollBar->mouseWheelMove (e, wheel);
}

void OldTabbedComponentBasicTab::paint (juce::Graphics& g)
{
    if (auto* owner = getOwner())
    {
        const int index = getTabIndex (*owner);
        paintTab (g, index >= 0 && index == owner->currentTabIndex, owner);
    }
}

void OldTabbedComponentBasicTab::paintTab (juce::Graphics& g, bool, OldTabbedComponent* owner)
{
    g.setColour (isMouseOver() ? juce::Colour::contrasting (owner->textColour, owner->backgroundColour)
                               : owner->textColour);
    g.setFont (juce::jmin (0.8f * (float) getHeight(), 20.0f));
    g.drawFittedText (getName(), 4, 2, getWidth() - 8, getHeight() - 4, juce::Justification::centred, 1);
}
