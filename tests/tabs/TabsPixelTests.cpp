#include <gtest/gtest.h>

#include "tests/tabs/TabsTestSupport.h"

namespace
{
// 400 by 300, strip down the left 100 deep, tab 1 (y 46 to 96) in front.
// Line centres sit 1.25 pixels inside each shape, so the line covers pixel 1 in from an edge.
struct PixelTabs : public TestTabs
{
    PixelTabs()
    {
        setColours (testColours::background, testColours::text, testColours::outline,
                    testColours::backTabOutline, testColours::backTab);
        setSize (400, 300);
        addFourTabs();
        setTabPosition (tabsAtLeft, 100, 2, 2);
        setCurrentTab (1);
        settle();
    }

    juce::Image render() { return createComponentSnapshot (getLocalBounds(), true, 1.0f); }
};

int distance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs (a.getRed() - b.getRed()), std::abs (a.getGreen() - b.getGreen()),
                       std::abs (a.getBlue() - b.getBlue()), std::abs (a.getAlpha() - b.getAlpha()));
}

// A 1.25-pixel line covers its pixel by seven eighths, so it shows blended with its neighbour.
::testing::AssertionResult near (const juce::Image& image, int x, int y, juce::Colour expected, int tolerance = 32)
{
    const auto actual = image.getPixelAt (x, y);

    if (distance (actual, expected) <= tolerance)
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << actual.toDisplayString (true)
                                         << ", expected " << expected.toDisplayString (true);
}

// The colour the text was drawn in: the one furthest from the paper, as antialiased
// pixels lie between the two.
juce::Colour inkColour (const juce::Image& image, juce::Rectangle<int> area, juce::Colour paper)
{
    juce::Colour ink = paper;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (distance (image.getPixelAt (x, y), paper) > distance (ink, paper))
                ink = image.getPixelAt (x, y);

    return ink;
}
}

TEST (TabsPixels, OutlineWrapsFrontTabAndPageAsOneShape)
{
    PixelTabs tabs;
    const auto image = tabs.render();

    // The front tab's outer side, top and bottom.
    EXPECT_TRUE (near (image, 1, 71, testColours::outline));
    EXPECT_TRUE (near (image, 30, 47, testColours::outline));
    EXPECT_TRUE (near (image, 30, 94, testColours::outline));
    // The page's top, right, bottom, and left side away from the front tab.
    EXPECT_TRUE (near (image, 250, 1, testColours::outline));
    EXPECT_TRUE (near (image, 398, 150, testColours::outline));
    EXPECT_TRUE (near (image, 250, 298, testColours::outline));
    EXPECT_TRUE (near (image, 101, 200, testColours::outline));
    // No line where the front tab meets the page: one filled shape.
    for (const int x : { 10, 99, 101, 104, 110 })
        EXPECT_TRUE (near (image, x, 71, testColours::background, 0));
}

TEST (TabsPixels, BackTabsAreSetBackAndFilled)
{
    PixelTabs tabs;
    const auto image = tabs.render();

    // Tab 3 (y 138 to 188) is a back tab: nothing in the first 2 pixels, then its outline.
    EXPECT_EQ (image.getPixelAt (1, 163).getAlpha(), 0);
    EXPECT_TRUE (near (image, 3, 163, testColours::backTabOutline));
    EXPECT_TRUE (near (image, 10, 163, testColours::backTab, 0));
    // Its inner end runs under the page's outline.
    EXPECT_TRUE (near (image, 101, 163, testColours::outline));

    // With no front tab, every tab is a back tab and the outline is the page alone.
    tabs.setCurrentTab (-1);
    const auto none = tabs.render();
    EXPECT_EQ (none.getPixelAt (1, 71).getAlpha(), 0);
    EXPECT_TRUE (near (none, 3, 71, testColours::backTabOutline));
    EXPECT_TRUE (near (none, 10, 71, testColours::backTab, 0));
}

TEST (TabsPixels, PageFillFollowsTheContent)
{
    PixelTabs tabs;
    const auto centre = tabs.pageArea.getCentre();
    EXPECT_TRUE (near (tabs.render(), centre.x, centre.y, testColours::background, 0));

    // An opaque page paints itself; the container leaves its area alone.
    juce::Component page;
    page.setOpaque (true);
    tabs.setContentComponent (&page);
    EXPECT_EQ (tabs.render().getPixelAt (centre.x, centre.y).getAlpha(), 0);

    // Removing the page brings the fill back.
    tabs.setContentComponent (nullptr);
    EXPECT_TRUE (near (tabs.render(), centre.x, centre.y, testColours::background, 0));
}

TEST (TabsPixels, TabNameTakesHoverColourUnderTheMouse)
{
    PixelTabs tabs;
    ScreenHarness screen (tabs);
    const auto hover = juce::Colour::contrasting (testColours::text, testColours::background);
    ASSERT_NE (hover, testColours::text);
    // Inside back tab 3 (y 138 to 188), clear of its outline and the page's.
    const juce::Rectangle<int> name (10, 148, 80, 30);

    EXPECT_EQ (distance (inkColour (tabs.render(), name, testColours::backTab), testColours::text), 0);

    // The pointer is shared with other tests on the same display: retry a moved pointer.
    auto* tab = tabs.getTabComponent (3);
    auto moveTo = [&] (juce::Point<int> pos, bool over)
    {
        for (int attempt = 0; attempt < 5; ++attempt)
        {
            screen.move (pos);

            if (tab->isMouseOver() == over)
                return true;
        }

        return false;
    };

    ASSERT_TRUE (moveTo (name.getCentre(), true));
    EXPECT_EQ (distance (inkColour (tabs.render(), name, testColours::backTab), hover), 0);

    ASSERT_TRUE (moveTo (tabs.pageArea.getCentre(), false));
    EXPECT_EQ (distance (inkColour (tabs.render(), name, testColours::backTab), testColours::text), 0);
}
