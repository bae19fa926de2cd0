#include "tabs/OldTabbedComponent.h"

#include "tabs/TabEdgeDrawComponent.h"
#include "tabs/TabHolderComponent.h"

namespace
{
constexpr int verticalStepSize = 18;
constexpr int horizontalStepSize = 40;
constexpr int scrollBarThickness = 18;
}

OldTabbedComponent::OldTabbedComponent (const juce::String& componentName)
    : juce::Component (componentName)
{
    tabHolder = new TabHolderComponent();
    addAndMakeVisible (tabHolder.getComponent());

    // Oriented for the default top strip, so that a container whose position is never
    // set still measures and scrolls its strip along the right axis.
    scrollBar = new juce::ScrollBar (isVertical());
    scrollBar->setSingleStepSize (isVertical() ? verticalStepSize : horizontalStepSize);
    addChildComponent (scrollBar.getComponent());
    // Allows the bar to show itself: with auto-hide it stays hidden while the strip fits.
    scrollBar->setVisible (true);
    scrollBar->addListener (tabHolder.getComponent());

    // Made from edge 5 down to edge 0, so that edge 0 ends up frontmost.
    for (int i = 5; i >= 0; --i)
    {
        auto* edge = new TabEdgeDrawComponent();
        edge->setInterceptsMouseClicks (false, false);
        addAndMakeVisible (edge);
        edgeComponents[i] = edge;
    }
}

OldTabbedComponent::~OldTabbedComponent()
{
    // A page that its owner has already deleted reads null here.
    delete contentComponent.getComponent();
    deleteAllChildren();
}

void OldTabbedComponent::setTabPosition (int position, int newTabDepth, int newPageIndentX, int newPageIndentY)
{
    if (position < tabsAtTop || position > tabsAtRight)
    {
        jassertfalse;
        return;
    }

    if (position == tabPosition && newTabDepth == tabDepth
        && newPageIndentX == pageIndentX && newPageIndentY == pageIndentY)
        return;

    const bool turned = (isVertical() != (position == tabsAtLeft || position == tabsAtRight));

    if (turned)
        restoreTabSizes();

    tabPosition = position;
    tabDepth = newTabDepth;
    pageIndentX = newPageIndentX;
    pageIndentY = newPageIndentY;

    if (scrollBar != nullptr)
    {
        scrollBar->setOrientation (isVertical());
        scrollBar->setSingleStepSize (isVertical() ? verticalStepSize : horizontalStepSize);
    }

    // The strip's length changes with its direction.
    updateTabStrip();
}

void OldTabbedComponent::restoreTabSizes()
{
    for (int i = 0; i < tabs.size(); ++i)
    {
        auto& size = tabSizes.getReference (i);
        auto* tab = tabs.getUnchecked (i);

        // Keep a length the tab has given itself since it was added.
        if (isVertical())
            size.y = tab->getHeight();
        else
            size.x = tab->getWidth();

        tab->setSize (size.x, size.y);
    }
}

void OldTabbedComponent::setColours (const juce::Colour& newBackgroundColour, const juce::Colour& newTextColour,
                                     const juce::Colour& newOutlineColour, const juce::Colour& newBackTabOutlineColour,
                                     const juce::Colour& newBackTabColour)
{
    if (newBackgroundColour == backgroundColour && newTextColour == textColour
        && newOutlineColour == outlineColour && newBackTabOutlineColour == backTabOutlineColour
        && newBackTabColour == backTabColour)
        return;

    backgroundColour = newBackgroundColour;
    textColour = newTextColour;
    outlineColour = newOutlineColour;
    backTabOutlineColour = newBackTabOutlineColour;
    backTabColour = newBackTabColour;
    repaint();
}

void OldTabbedComponent::addTab (int index, juce::Component* tab)
{
    if (tab == nullptr || tabHolder == nullptr)
    {
        jassertfalse;
        return;
    }

    tabHolder->addAndMakeVisible (tab);
    tabs.insert (index, tab);
    tabSizes.insert (index, { tab->getWidth(), tab->getHeight() });
    updateTabStrip();
}

int OldTabbedComponent::getNumTabs() const
{
    return tabHolder != nullptr ? tabHolder->getNumChildComponents() : 0;
}

juce::Component* OldTabbedComponent::getTabComponent (int index) const
{
    return tabs[index];
}

void OldTabbedComponent::setCurrentTab (int index)
{
    const bool alreadyCurrent = (index == currentTabIndex);

    if (! alreadyCurrent)
    {
        currentTabIndex = index;

        if (auto* tab = getTabComponent (index))
            tab->toFront (true);

        updateTabStrip();
    }

    currentTabChanged (index, alreadyCurrent, juce::ModifierKeys::getCurrentModifiers());
}

juce::Component* OldTabbedComponent::setContentComponent (juce::Component* newContent)
{
    auto* oldContent = contentComponent.getComponent();

    if (newContent == oldContent)
        return nullptr;

    if (oldContent != nullptr)
        removeChildComponent (oldContent);

    contentComponent = newContent;

    if (newContent != nullptr)
        addAndMakeVisible (newContent);

    resized();
    return oldContent;
}

void OldTabbedComponent::updateTabStrip()
{
    if (tabHolder == nullptr || scrollBar == nullptr)
        return;

    tabHolder->resized();

    const bool vertical = scrollBar->isVertical();
    int farEdge = 0, nearEdge = 0;

    for (auto* child : tabHolder->getChildren())
    {
        farEdge = juce::jmax (farEdge, vertical ? child->getBottom() : child->getRight());
        nearEdge = juce::jmin (nearEdge, vertical ? child->getY() : child->getX());
    }

    scrollBar->setRangeLimits (0.0, (double) (farEdge - nearEdge));
    resized();
}

void OldTabbedComponent::paint (juce::Graphics& g)
{
    if (contentComponent != nullptr && contentComponent->isOpaque())
        return;

    g.setColour (backgroundColour);
    g.fillRect (pageArea);
}

void OldTabbedComponent::resized()
{
    // A subclass destructor may already have deleted our children.
    if (tabHolder == nullptr || scrollBar == nullptr)
        return;

    auto& holder = *tabHolder;
    scrollBar->setCurrentRange (scrollBar->getCurrentRangeStart(),
                                scrollBar->isVertical() ? holder.getHeight() : holder.getWidth());

    const int w = getWidth(), h = getHeight(), d = tabDepth;
    const int c = juce::roundToInt (cornerSize), e = c + 2;
    const int s = scrollBar->isVisible() ? scrollBarThickness : 0;
    juce::Rectangle<int> page, inner, edge4, edge5;

    switch (tabPosition)
    {
        case tabsAtBottom:
            holder.setBounds (0, h - d - c, w - 2 * s, d + c);
            scrollBar->setBounds (holder.getRight(), h - d, 2 * s, d);
            page = { 0, 0, w, h - d };
            inner = { 0, 0, w, h - d - c };
            edge4 = { 0, holder.getY(), holder.getX(), e };
            edge5 = { holder.getRight(), holder.getY(), w - holder.getRight(), e };
            break;

        case tabsAtLeft:
            holder.setBounds (s, 0, d + c, h);
            scrollBar->setBounds (0, 0, s, h);
            page = { d + s, 0, w - d - s, h };
            inner = { d + c + s, 0, w - d - c - s, h };
            edge4 = { holder.getRight() - e, 0, e, holder.getY() };
            edge5 = { holder.getRight() - e, holder.getBottom(), e, h - holder.getBottom() };
            break;

        case tabsAtRight:
            holder.setBounds (w - d - c - s, 0, d + c, h);
            scrollBar->setBounds (holder.getRight(), 0, s, h);
            page = { 0, 0, w - d - s, h };
            inner = { 0, 0, w - d - c - s, h };
            edge4 = { holder.getX(), 0, e, holder.getY() };
            edge5 = { holder.getX(), holder.getBottom(), e, h - holder.getBottom() };
            break;

        case tabsAtTop:
        default:
            holder.setBounds (0, 0, w - 2 * s, d + c);
            scrollBar->setBounds (holder.getRight(), 0, 2 * s, d);
            page = { 0, d, w, h - d };
            inner = { 0, d + c, w, h - d - c };
            edge4 = { 0, holder.getHeight() - e, holder.getX(), e };
            edge5 = { holder.getRight(), holder.getHeight() - e, w - holder.getRight(), e };
            break;
    }

    if (edgeComponents[4] != nullptr) edgeComponents[4]->setBounds (edge4);
    if (edgeComponents[5] != nullptr) edgeComponents[5]->setBounds (edge5);

    pageArea = { page.getX() + 2 * pageIndentX, page.getY() + 2 * pageIndentY,
                 juce::jmax (0, page.getWidth() - 4 * pageIndentX),
                 juce::jmax (0, page.getHeight() - 4 * pageIndentY) };

    if (contentComponent != nullptr)
        contentComponent->setBounds (pageArea);

    layOutEdges (inner, pageArea);
    buildOutline (page);
    repaint();
}

void OldTabbedComponent::layOutEdges (juce::Rectangle<int> b, juce::Rectangle<int> q)
{
    const juce::Rectangle<int> bounds[] = {
        { b.getX(), b.getY(), b.getWidth(), q.getY() - b.getY() },
        { b.getX(), q.getBottom(), b.getWidth(), b.getBottom() - q.getBottom() },
        { b.getX(), q.getY(), q.getX() - b.getX(), q.getHeight() },
        { q.getRight(), q.getY(), b.getRight() - q.getRight(), q.getHeight() }
    };

    for (int i = 0; i < 4; ++i)
        if (edgeComponents[i] != nullptr)
            edgeComponents[i]->setBounds (bounds[i]);
}

void OldTabbedComponent::buildOutline (juce::Rectangle<int> page)
{
    const float t = outlineThickness;
    const float pl = (float) page.getX() + t, pt = (float) page.getY() + t;
    const float pr = (float) page.getRight() - t, pb = (float) page.getBottom() - t;
    juce::Path shape;

    auto* front = getTabComponent (currentTabIndex);

    if (front == nullptr)
    {
        shape.addRectangle (pl, pt, pr - pl, pb - pt);
    }
    else
    {
        const auto tab = (front->getBounds() + tabHolder->getPosition()).toFloat();
        const float tl = tab.getX() + t, tt = tab.getY() + t;
        const float tr = tab.getRight() - t, tb = tab.getBottom() - t;

        auto addPolygon = [&shape] (std::initializer_list<juce::Point<float>> corners)
        {
            shape.startNewSubPath (*corners.begin());

            for (auto it = corners.begin() + 1; it != corners.end(); ++it)
                shape.lineTo (*it);

            shape.closeSubPath();
        };

        switch (tabPosition)
        {
            case tabsAtBottom:
                addPolygon ({ { pl, pt }, { pr, pt }, { pr, pb }, { tr, pb }, { tr, tb }, { tl, tb }, { tl, pb }, { pl, pb } });
                break;
            case tabsAtLeft:
                addPolygon ({ { tl, tb }, { tl, tt }, { pl, tt }, { pl, pt }, { pr, pt }, { pr, pb }, { pl, pb }, { pl, tb } });
                break;
            case tabsAtRight:
                addPolygon ({ { tr, tt }, { tr, tb }, { pr, tb }, { pr, pb }, { pl, pb }, { pl, pt }, { pr, pt }, { pr, tt } });
                break;
            case tabsAtTop:
            default:
                addPolygon ({ { tl, pt }, { tl, tt }, { tr, tt }, { tr, pt }, { pr, pt }, { pr, pb }, { pl, pb }, { pl, pt } });
                break;
        }
    }

    outlinePath = shape.createPathWithRoundedCorners (cornerSize);
    outlineStroke.clear();
    juce::PathStrokeType (outlineThickness).createStrokedPath (outlineStroke, outlinePath);
}

void OldTabbedComponent::paintOutline (juce::Graphics& g, const juce::Component& child) const
{
    const auto origin = child.getLocalPoint (this, juce::Point<float>());
    const auto toChild = juce::AffineTransform::translation (origin.x, origin.y);
    g.setColour (backgroundColour);
    g.fillPath (outlinePath, toChild);
    g.setColour (outlineColour);
    g.fillPath (outlineStroke, toChild);
}
