#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "tabs/TabEdgeDrawComponent.h"
#include "tabs/TabHolderComponent.h"
#include "tabs/TabPosition.h"

// A tabbed container: a strip of tabs along one side, one page in the rest, and a
// single rounded outline around the front tab and the page. It owns no page per
// tab; it reports the chosen tab to the subclass, which shows a page with
// setContentComponent. Everything runs on the message thread.
class OldTabbedComponent : public juce::Component
{
public:
    // [message]
    explicit OldTabbedComponent (const juce::String& componentName);
    // [message]
    ~OldTabbedComponent() override;

    // [message] Lays out again only when one of the four values changes.
    void setTabPosition (int position, int tabDepth, int pageIndentX, int pageIndentY);
    // [message] Repaints only when one of the five colours changes.
    void setColours (const juce::Colour& backgroundColour, const juce::Colour& textColour,
                     const juce::Colour& outlineColour, const juce::Colour& backTabOutlineColour,
                     const juce::Colour& backTabColour);

    // [message] Takes ownership of the tab; a negative index or one past the end appends.
    void addTab (int index, juce::Component* tab);
    // [message]
    int getNumTabs() const;
    // [message] Null for an index outside the list.
    juce::Component* getTabComponent (int index) const;
    // [message]
    int getCurrentTabIndex() const noexcept { return currentTabIndex; }
    // [message] Always ends with currentTabChanged, even for the tab already in front.
    void setCurrentTab (int index);

    // [message] Shows newContent (may be null) as the page and returns the page it
    // replaced, or null when newContent is already shown. Deletes neither.
    juce::Component* setContentComponent (juce::Component* newContent);

    // [message] At the end of every setCurrentTab.
    virtual void currentTabChanged (int newCurrentTabIndex, bool alreadyCurrent,
                                    const juce::ModifierKeys& modifiers) = 0;

    // [message]
    void paint (juce::Graphics& g) override;
    // [message]
    void resized() override;

    // [message] Fills the outline (page fill and line) into a child's
    // graphics context, mapped from this container's coordinates to the child's.
    void paintOutline (juce::Graphics& g, const juce::Component& child) const;

protected:
    void updateTabStrip();

    int tabPosition = tabsAtTop;
    int currentTabIndex = -1;
    int tabDepth = 25;
    int tabOverlap = 4;
    int pageIndentX = 4;
    int pageIndentY = 4;
    juce::Colour backgroundColour { 0xff808080 };
    juce::Colour backTabColour { 0xff555555 };
    juce::Colour textColour { 0xff000000 };
    juce::Colour outlineColour { 0xffffffff };
    juce::Colour backTabOutlineColour { 0xffffffff };

    // The children below are owned through the child list (deleteAllChildren), as a
    // subclass may delete all children in its own destructor before ours runs; the
    // safe pointers then read null instead of dangling.
    juce::Component::SafePointer<juce::Component> contentComponent;
    juce::Component::SafePointer<TabHolderComponent> tabHolder;
    juce::Array<juce::Component*> tabs;
    juce::Component::SafePointer<juce::ScrollBar> scrollBar;
    juce::Rectangle<int> pageArea;
    juce::Component::SafePointer<TabEdgeDrawComponent> edgeComponents[6];
    juce::Path outlinePath;
    juce::Path outlineStroke;
    float cornerSize = 7.0f;
    float outlineThickness = 1.25f;

private:
    // Each tab's own size, parallel to tabs: a strip imposes its thickness on the tabs,
    // so turning the strip would otherwise take the old thickness as the new length.
    juce::Array<juce::Point<int>> tabSizes;

    bool isVertical() const noexcept { return tabPosition == tabsAtLeft || tabPosition == tabsAtRight; }
    void restoreTabSizes();
    void layOutEdges (juce::Rectangle<int> inner, juce::Rectangle<int> content);
    void buildOutline (juce::Rectangle<int> page);

    friend class TabHolderComponent;
    friend class OldTabbedComponentBasicTab;
    friend class TabEdgeDrawComponent;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OldTabbedComponent)
};
