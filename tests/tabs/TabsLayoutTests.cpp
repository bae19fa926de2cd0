#include <gtest/gtest.h>

#include "tests/tabs/TabsTestSupport.h"

namespace
{
using Rect = juce::Rectangle<int>;

struct LayoutCase
{
    const char* name;
    int position, width, height;
    bool scrolls;
    Rect holder, scrollBar, page, pageArea;
    Rect edges[6];
};

// A 300 by 200 container (150 along a scrolling strip), tab depth 40, page indents 2 and 3,
// four 50-pixel tabs: the strip is 188 long. Corner 7, edge band 9, scroll bar 18.
const LayoutCase layoutCases[] = {
    { "top", tabsAtTop, 300, 200, false,
      { 0, 0, 300, 47 }, { 300, 0, 0, 40 }, { 0, 40, 300, 160 }, { 4, 46, 292, 148 },
      { { 0, 47, 300, 0 }, { 0, 194, 300, 6 }, { 0, 46, 4, 148 }, { 296, 46, 4, 148 }, { 0, 38, 0, 9 }, { 300, 38, 0, 9 } } },
    { "top scrolled", tabsAtTop, 150, 200, true,
      { 0, 0, 114, 47 }, { 114, 0, 36, 40 }, { 0, 40, 150, 160 }, { 4, 46, 142, 148 },
      { { 0, 47, 150, 0 }, { 0, 194, 150, 6 }, { 0, 46, 4, 148 }, { 146, 46, 4, 148 }, { 0, 38, 0, 9 }, { 114, 38, 36, 9 } } },
    { "bottom", tabsAtBottom, 300, 200, false,
      { 0, 153, 300, 47 }, { 300, 160, 0, 40 }, { 0, 0, 300, 160 }, { 4, 6, 292, 148 },
      { { 0, 0, 300, 6 }, { 0, 154, 300, 0 }, { 0, 6, 4, 148 }, { 296, 6, 4, 148 }, { 0, 153, 0, 9 }, { 300, 153, 0, 9 } } },
    { "bottom scrolled", tabsAtBottom, 150, 200, true,
      { 0, 153, 114, 47 }, { 114, 160, 36, 40 }, { 0, 0, 150, 160 }, { 4, 6, 142, 148 },
      { { 0, 0, 150, 6 }, { 0, 154, 150, 0 }, { 0, 6, 4, 148 }, { 146, 6, 4, 148 }, { 0, 153, 0, 9 }, { 114, 153, 36, 9 } } },
    { "left", tabsAtLeft, 300, 200, false,
      { 0, 0, 47, 200 }, { 0, 0, 0, 200 }, { 40, 0, 260, 200 }, { 44, 6, 252, 188 },
      { { 47, 0, 253, 6 }, { 47, 194, 253, 6 }, { 47, 6, 0, 188 }, { 296, 6, 4, 188 }, { 38, 0, 9, 0 }, { 38, 200, 9, 0 } } },
    { "left scrolled", tabsAtLeft, 300, 150, true,
      { 18, 0, 47, 150 }, { 0, 0, 18, 150 }, { 58, 0, 242, 150 }, { 62, 6, 234, 138 },
      { { 65, 0, 235, 6 }, { 65, 144, 235, 6 }, { 65, 6, 0, 138 }, { 296, 6, 4, 138 }, { 56, 0, 9, 0 }, { 56, 150, 9, 0 } } },
    { "right", tabsAtRight, 300, 200, false,
      { 253, 0, 47, 200 }, { 300, 0, 0, 200 }, { 0, 0, 260, 200 }, { 4, 6, 252, 188 },
      { { 0, 0, 253, 6 }, { 0, 194, 253, 6 }, { 0, 6, 4, 188 }, { 256, 6, 0, 188 }, { 253, 0, 9, 0 }, { 253, 200, 9, 0 } } },
    { "right scrolled", tabsAtRight, 300, 150, true,
      { 235, 0, 47, 150 }, { 282, 0, 18, 150 }, { 0, 0, 242, 150 }, { 4, 6, 234, 138 },
      { { 0, 0, 235, 6 }, { 0, 144, 235, 6 }, { 0, 6, 4, 138 }, { 238, 6, 0, 138 }, { 235, 0, 9, 0 }, { 235, 150, 9, 0 } } },
};

void expectRect (const Rect& actual, const Rect& expected, const std::string& what)
{
    EXPECT_EQ (actual, expected) << what << ": " << actual.toString() << " instead of " << expected.toString();
}
}

TEST (TabsLayout, EveryPositionWithAndWithoutScrollBar)
{
    for (const auto& c : layoutCases)
    {
        SCOPED_TRACE (c.name);
        TestTabs tabs;
        tabs.setSize (c.width, c.height);
        tabs.addFourTabs();
        tabs.setTabPosition (c.position, 40, 2, 3);
        tabs.settle();

        EXPECT_EQ (tabs.scrollBar->isVisible(), c.scrolls);
        EXPECT_EQ (tabs.scrollBar->isVertical(), c.position == tabsAtLeft || c.position == tabsAtRight);
        expectRect (tabs.tabHolder->getBounds(), c.holder, "holder");
        expectRect (tabs.scrollBar->getBounds(), c.scrollBar, "scroll bar");
        expectRect (tabs.pageArea, c.pageArea, "page area");

        // With no front tab the outline is the page rectangle, inset by the line width.
        const auto outline = tabs.outlinePath.getBounds();
        const auto page = c.page.toFloat().reduced (1.25f);
        EXPECT_FLOAT_EQ (outline.getX(), page.getX());
        EXPECT_FLOAT_EQ (outline.getY(), page.getY());
        EXPECT_FLOAT_EQ (outline.getRight(), page.getRight());
        EXPECT_FLOAT_EQ (outline.getBottom(), page.getBottom());

        for (int i = 0; i < 6; ++i)
            expectRect (tabs.edgeComponents[i]->getBounds(), c.edges[i], "edge " + std::to_string (i));
    }
}

TEST (TabsLayout, FourTabsDownTheLeftAsInTheControlWindow)
{
    for (const bool scrolls : { false, true })
    {
        SCOPED_TRACE (scrolls ? "scrolled" : "fitting");
        TestTabs tabs;
        auto* page = new juce::Component();
        tabs.setSize (600, scrolls ? 150 : 400);
        tabs.addFourTabs();
        tabs.setTabPosition (tabsAtLeft, 200, 2, 2);
        tabs.setCurrentTab (0);
        tabs.setContentComponent (page);
        tabs.settle();

        for (int i = 0; i < 4; ++i)
            EXPECT_EQ (tabs.getTabComponent (i)->getBounds(), Rect (0, 46 * i, 207, 50));

        EXPECT_EQ (tabs.scrollBar->getMaximumRangeLimit(), 188.0);
        EXPECT_EQ (tabs.scrollBar->isVisible(), scrolls);

        const int pageX = scrolls ? 218 : 200;
        const int height = tabs.getHeight();
        EXPECT_EQ (page->getBounds(), Rect (pageX + 4, 4, 600 - pageX - 8, height - 8));

        // The front tab starts the outline at the strip's outer side and opens into the page.
        EXPECT_FLOAT_EQ (tabs.outlinePath.getBounds().getX(), (float) (scrolls ? 18 : 0) + 1.25f);
        EXPECT_TRUE (tabs.outlinePath.contains ((float) pageX + 1.25f, 25.0f));
    }
}

TEST (TabsLayout, TurningTheStripKeepsTheTabsOwnLengths)
{
    TestTabs tabs;
    tabs.setSize (600, 400);
    auto* wide = new OldTabbedComponentBasicTab ("wide");
    wide->setSize (120, 30);
    tabs.addTab (-1, wide);
    tabs.addFourTabs();

    tabs.setTabPosition (tabsAtLeft, 200, 2, 2);
    EXPECT_EQ (tabs.getTabComponent (0)->getHeight(), 30);
    EXPECT_EQ (tabs.getTabComponent (1)->getBounds(), Rect (0, 26, 207, 50));
    EXPECT_EQ (tabs.scrollBar->getMaximumRangeLimit(), 30.0 + 4 * 50 - 4 * 4);

    tabs.setTabPosition (tabsAtBottom, 30, 2, 2);
    EXPECT_EQ (tabs.getTabComponent (0)->getBounds(), Rect (0, 0, 120, 37));
    EXPECT_EQ (tabs.getTabComponent (1)->getX(), 116);
    EXPECT_EQ (tabs.scrollBar->getMaximumRangeLimit(), 120.0 + 4 * 50 - 4 * 4);
}
