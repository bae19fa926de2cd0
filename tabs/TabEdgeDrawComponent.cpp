#include "tabs/TabEdgeDrawComponent.h"

#include "tabs/OldTabbedComponent.h"

void TabEdgeDrawComponent::paint (juce::Graphics& g)
{
    auto* owner = dynamic_cast<OldTabbedComponent*> (getParentComponent());

    if (owner == nullptr)
        return;

    owner->paintOutline (g, *this);
}
