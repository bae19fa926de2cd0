#include "tabs/TabHolderComponent.h"

#include "tabs/OldTabbedComponent.h"

TabHolderComponent::~TabHolderComponent()
{
    if (auto* owner = getOwner())
    {
        if (owner->scrollBar != nullptr)
            owner->scrollBar->removeListener (this);

        // The tabs die with us; the owner must not keep their addresses.
        owner->tabs.clear();
        owner->tabSizes.clear();
    }

    deleteAllChildren();
}

OldTabbedComponent* TabHolderComponent::getOwner() const
{
    return dynamic_cast<OldTabbedComponent*> (getParentComponent());
}

void TabHolderComponent::resized()
{
    auto* owner = getOwner();

    if (owner == nullptr || owner->scrollBar == nullptr)
        return;

    const bool vertical = owner->isVertical();
    auto pos = (int) -owner->scrollBar->getCurrentRangeStart();

    for (auto* tab : owner->tabs)
    {
        if (vertical)
        {
            tab->setBounds (0, pos, getWidth(), tab->getHeight());
            pos += tab->getHeight() - owner->tabOverlap;
        }
        else
        {
            tab->setBounds (pos, 0, tab->getWidth(), getHeight());
            pos += tab->getWidth() - owner->tabOverlap;
        }
    }
}

void TabHolderComponent::paint (juce::Graphics& g)
{
    auto* owner = getOwner();

    if (owner == nullptr)
        return;

    auto* frontTab = owner->getTabComponent (owner->currentTabIndex);

    for (auto* child : getChildren())
        if (child != frontTab && child->getBounds().intersects (getLocalBounds()))
            paintBackTab (g, *owner, child->getBounds());

    // The outline is kept in the owner's coordinates; it covers the inner ends of the
    // back tabs and draws the front tab.
    owner->paintOutline (g, *this);
}

void TabHolderComponent::paintBackTab (juce::Graphics& g, const OldTabbedComponent& owner,
                                       juce::Rectangle<int> tabBounds) const
{
    auto left = (float) tabBounds.getX(), top = (float) tabBounds.getY();
    auto right = (float) tabBounds.getRight(), bottom = (float) tabBounds.getBottom();

    // Set back from the strip's outer side, and run on under the page so that only
    // the outer end shows rounded.
    switch (owner.tabPosition)
    {
        case tabsAtBottom: bottom -= 2.0f; top -= 100.0f;  break;
        case tabsAtLeft:   left += 2.0f;   right += 100.0f; break;
        case tabsAtRight:  right -= 2.0f;  left -= 100.0f;  break;
        case tabsAtTop:
        default:           top += 2.0f;    bottom += 100.0f; break;
    }

    const float t = owner.outlineThickness;
    juce::Path shape;
    shape.addRoundedRectangle (left + t, top + t, right - left - 2.0f * t, bottom - top - 2.0f * t, owner.cornerSize);

    g.setColour (owner.backTabColour);
    g.fillPath (shape);
    g.setColour (owner.backTabOutlineColour);
    g.strokePath (shape, juce::PathStrokeType (t));
}

void TabHolderComponent::scrollBarMoved (juce::ScrollBar*, double)
{
    resized();

    if (auto* owner = getOwner())
        owner->resized();
}
