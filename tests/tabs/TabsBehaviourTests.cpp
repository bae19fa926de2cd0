#include <gtest/gtest.h>

#include <memory>

#include "tests/tabs/TabsTestSupport.h"

namespace
{
// Counts repaints of a component and everything inside it.
class RepaintCounter : public juce::CachedComponentImage
{
public:
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { ++count; return true; }
    bool invalidate (const juce::Rectangle<int>&) override { ++count; return true; }
    void releaseResources() override {}

    int count = 0;
};

// Notes its own deletion.
class Page : public juce::Component
{
public:
    explicit Page (bool& deletedFlag) : deleted (deletedFlag) {}
    ~Page() override { deleted = true; }

    void mouseDown (const juce::MouseEvent&) override { ++presses; }

    bool& deleted;
    int presses = 0;
};

std::unique_ptr<TestTabs> makeLeftTabs (int height = 400)
{
    auto tabs = std::make_unique<TestTabs>();
    tabs->setSize (500, height);
    tabs->addFourTabs();
    tabs->setTabPosition (tabsAtLeft, 100, 2, 2);
    tabs->settle();
    return tabs;
}

juce::Component* frontChildOfStrip (TestTabs& tabs)
{
    return tabs.tabHolder->getChildren().getLast();
}
}

TEST (TabsBehaviour, SetCurrentTabReportsEveryCallAndLaysOutOnlyOnAChange)
{
    auto tabs = makeLeftTabs();
    EXPECT_EQ (tabs->getCurrentTabIndex(), -1);

    tabs->setCurrentTab (2);
    ASSERT_EQ (tabs->changes.size(), 1u);
    EXPECT_EQ (tabs->changes[0].index, 2);
    EXPECT_FALSE (tabs->changes[0].alreadyCurrent);
    EXPECT_EQ (frontChildOfStrip (*tabs), tabs->getTabComponent (2));

    const int layouts = tabs->layouts;
    tabs->getTabComponent (0)->toFront (false);
    tabs->setCurrentTab (2);
    ASSERT_EQ (tabs->changes.size(), 2u);
    EXPECT_TRUE (tabs->changes[1].alreadyCurrent);
    EXPECT_EQ (tabs->layouts, layouts);
    EXPECT_EQ (frontChildOfStrip (*tabs), tabs->getTabComponent (0)) << "z-order changed";

    // An index outside the list is stored and reported; the outline shrinks to the page.
    for (const int index : { 4, -7 })
    {
        tabs->setCurrentTab (index);
        EXPECT_EQ (tabs->getCurrentTabIndex(), index);
        EXPECT_EQ (tabs->changes.back().index, index);
        EXPECT_FALSE (tabs->changes.back().alreadyCurrent);
        EXPECT_EQ (tabs->getTabComponent (index), nullptr);
        EXPECT_FLOAT_EQ (tabs->outlinePath.getBounds().getX(), 100.0f + 1.25f);
    }
}

TEST (TabsBehaviour, BackTabsKeepAddOrderThenLastSelectedOrder)
{
    auto tabs = makeLeftTabs();

    for (const int index : { 2, 0, 3, 0 })
        tabs->setCurrentTab (index);

    const auto& children = tabs->tabHolder->getChildren();
    ASSERT_EQ (children.size(), 4);
    EXPECT_EQ (children[0], tabs->getTabComponent (1));
    EXPECT_EQ (children[1], tabs->getTabComponent (2));
    EXPECT_EQ (children[2], tabs->getTabComponent (3));
    EXPECT_EQ (children[3], tabs->getTabComponent (0));

    // The strip's order along its length does not follow the z-order.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ (tabs->getTabComponent (i)->getY(), 46 * i);
}

TEST (TabsBehaviour, AddTabAtFrontEndAndPastTheEnd)
{
    TestTabs tabs;
    tabs.setSize (500, 400);
    tabs.setTabPosition (tabsAtLeft, 100, 2, 2);

    auto* a = new OldTabbedComponentBasicTab ("a");
    auto* b = new OldTabbedComponentBasicTab ("b");
    auto* c = new OldTabbedComponentBasicTab ("c");
    auto* d = new OldTabbedComponentBasicTab ("d");
    tabs.addTab (-1, a);
    tabs.addTab (0, b);
    tabs.addTab (7, c);
    tabs.addTab (1, d);

    EXPECT_EQ (tabs.getNumTabs(), 4);
    EXPECT_EQ (tabs.getTabComponent (0), b);
    EXPECT_EQ (tabs.getTabComponent (1), d);
    EXPECT_EQ (tabs.getTabComponent (2), a);
    EXPECT_EQ (tabs.getTabComponent (3), c);
    EXPECT_EQ (tabs.getTabComponent (4), nullptr);
    EXPECT_EQ (tabs.getTabComponent (-1), nullptr);

    // Inserted first along the strip, though last among the strip's children.
    EXPECT_EQ (b->getY(), 0);
    EXPECT_EQ (d->getY(), 46);
    EXPECT_EQ (tabs.tabHolder->getChildren().getLast(), d);
    EXPECT_EQ (tabs.scrollBar->getMaximumRangeLimit(), 188.0);
}

TEST (TabsBehaviour, SetContentComponentSwapsPagesWithoutDeletingThem)
{
    auto tabs = makeLeftTabs();
    bool firstDeleted = false, secondDeleted = false;
    auto first = std::make_unique<Page> (firstDeleted);
    auto second = std::make_unique<Page> (secondDeleted);

    EXPECT_EQ (tabs->setContentComponent (first.get()), nullptr);
    EXPECT_EQ (first->getParentComponent(), tabs.get());
    EXPECT_EQ (first->getBounds(), tabs->pageArea);

    const int layouts = tabs->layouts;
    EXPECT_EQ (tabs->setContentComponent (first.get()), nullptr);
    EXPECT_EQ (tabs->layouts, layouts);

    EXPECT_EQ (tabs->setContentComponent (second.get()), first.get());
    EXPECT_EQ (first->getParentComponent(), nullptr);
    EXPECT_EQ (second->getParentComponent(), tabs.get());
    EXPECT_EQ (second->getBounds(), tabs->pageArea);

    EXPECT_EQ (tabs->setContentComponent (nullptr), second.get());
    EXPECT_EQ (second->getParentComponent(), nullptr);
    EXPECT_EQ (tabs->setContentComponent (nullptr), nullptr);

    tabs.reset();
    EXPECT_FALSE (firstDeleted);
    EXPECT_FALSE (secondDeleted);
}

TEST (TabsBehaviour, DestructionDeletesOnlyALivePage)
{
    bool deleted = false;
    {
        auto tabs = makeLeftTabs();
        tabs->setContentComponent (new Page (deleted));
    }
    EXPECT_TRUE (deleted) << "the page still shown belongs to the container at the end";

    // A page its owner deletes first must not be deleted again.
    auto tabs = makeLeftTabs();
    auto* page = new Page (deleted);
    tabs->setContentComponent (page);
    delete page;
    EXPECT_TRUE (tabs->contentComponent == nullptr);
    tabs.reset();

    // The content component's subclass deletes all children, the strip among them, first.
    struct SelfClearingTabs : public TestTabs
    {
        ~SelfClearingTabs() override { deleteAllChildren(); }
    };

    auto clearing = std::make_unique<SelfClearingTabs>();
    clearing->addFourTabs();
    clearing->setCurrentTab (1);
    clearing.reset();
}

TEST (TabsBehaviour, UnchangedOrUnknownPositionAndUnchangedColoursDoNothing)
{
    auto tabs = makeLeftTabs();
    tabs->setColours (testColours::background, testColours::text, testColours::outline,
                      testColours::backTabOutline, testColours::backTab);
    tabs->setVisible (true);
    auto* counter = new RepaintCounter();
    tabs->setCachedComponentImage (counter);
    counter->count = 0;
    const int layouts = tabs->layouts;

    tabs->setTabPosition (tabsAtLeft, 100, 2, 2);
    tabs->setTabPosition (4, 100, 2, 2);
    tabs->setColours (testColours::background, testColours::text, testColours::outline,
                      testColours::backTabOutline, testColours::backTab);
    EXPECT_EQ (tabs->layouts, layouts);
    EXPECT_EQ (counter->count, 0);

    tabs->setColours (testColours::background, testColours::text, testColours::outline,
                      testColours::backTabOutline, juce::Colours::red);
    EXPECT_EQ (tabs->layouts, layouts);
    EXPECT_GT (counter->count, 0);

    for (const auto& change : { std::make_tuple (tabsAtRight, 100, 2, 2), std::make_tuple (tabsAtRight, 90, 2, 2),
                                std::make_tuple (tabsAtRight, 90, 3, 2), std::make_tuple (tabsAtRight, 90, 3, 1) })
    {
        const int before = tabs->layouts;
        tabs->setTabPosition (std::get<0> (change), std::get<1> (change), std::get<2> (change), std::get<3> (change));
        EXPECT_GT (tabs->layouts, before);
    }

    tabs->setCachedComponentImage (nullptr);
}

TEST (TabsBehaviour, PressOnATabSelectsIt)
{
    auto tabs = makeLeftTabs();
    ScreenHarness screen (*tabs);

    screen.press ({ 30, 46 + 25 });
    ASSERT_EQ (tabs->changes.size(), 1u);
    EXPECT_EQ (tabs->getCurrentTabIndex(), 1);
    EXPECT_FALSE (tabs->changes[0].alreadyCurrent);

    screen.press ({ 30, 46 + 25 });
    ASSERT_EQ (tabs->changes.size(), 2u);
    EXPECT_EQ (tabs->changes[1].index, 1);
    EXPECT_TRUE (tabs->changes[1].alreadyCurrent);

    // Where two tabs overlap, the one in front of the strip takes the press.
    screen.press ({ 30, 46 + 48 });
    EXPECT_EQ (tabs->getCurrentTabIndex(), 1);
    screen.press ({ 30, 92 + 1 });
    EXPECT_EQ (tabs->getCurrentTabIndex(), 1);
    screen.press ({ 30, 92 + 10 });
    EXPECT_EQ (tabs->getCurrentTabIndex(), 2);
}

TEST (TabsBehaviour, PressOnAnEdgeReachesWhatLiesBehind)
{
    auto tabs = makeLeftTabs();
    bool deleted = false;
    auto page = std::make_unique<Page> (deleted);
    tabs->setContentComponent (page.get());
    ScreenHarness screen (*tabs);

    // Edge 0 runs above the page, edge 3 beside it: the container lies behind both.
    for (const int edgeIndex : { 0, 3 })
    {
        auto& edge = *tabs->edgeComponents[edgeIndex];
        ASSERT_FALSE (edge.getBounds().isEmpty());
        const auto centre = edge.getBounds().getCentre();
        EXPECT_EQ (tabs->getComponentAt (centre), tabs.get());

        const int before = tabs->pressesOnContainer;
        screen.press (centre);
        EXPECT_EQ (tabs->pressesOnContainer, before + 1);
    }

    screen.press (tabs->pageArea.getCentre());
    EXPECT_EQ (page->presses, 1);
    tabs->setContentComponent (nullptr);
}

TEST (TabsBehaviour, WheelOverATabScrollsTheStrip)
{
    auto tabs = makeLeftTabs (150);
    ASSERT_TRUE (tabs->scrollBar->isVisible());
    ScreenHarness screen (*tabs);

    screen.wheel ({ 60, 20 }, -0.5f);
    tabs->settle();
    const double start = tabs->scrollBar->getCurrentRangeStart();
    EXPECT_GT (start, 0.0);
    EXPECT_EQ (tabs->getTabComponent (0)->getY(), -(int) start);

    screen.wheel ({ 60, 20 }, 1.0f);
    tabs->settle();
    EXPECT_EQ (tabs->scrollBar->getCurrentRangeStart(), 0.0);
    EXPECT_EQ (tabs->getTabComponent (0)->getY(), 0);
}
