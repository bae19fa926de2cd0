#include "tabs/TabEdgeDrawComponent.h"

#include "tabs/OldTabbedComponent.h"

void TabEdgeDrawComponent::paint (juce::Graphics& g)
{
    auto* owner = dynamic_cast<OldTabbedComponent*> (getParentComponent());

    if (owner == nullptr)
        return;

    const auto ownerOrigin = getLocalPoint (owner, juce::Point<float>());
    const auto toHere = juce::AffineTransform::translation (ownerOrigin.x, ownerOrigin.y);
    g.setColour (owner->backgroundColour);
    g.fillPath (owner->outlinePath, toHere);
    g.setColour (owner->outlineColour);
    g.fillPath (owner->outlineStroke, toHere);
}
