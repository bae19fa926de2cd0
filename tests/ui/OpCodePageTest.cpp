// Opcode pages and rows: layout, refresh and mouse behaviour.
#include "UiTestSupport.h"

#include "log/TBLogger.h"
#include "ui/TBVstOpCodeListComponent.h"

#include <gtest/gtest.h>

namespace
{
    void setCount (int group, int index, std::uint32_t count)
    {
        opCodeGroups[group].states[index].callCount.store (count);
    }

    std::unique_ptr<TBVstOpCodeListComponent> pageWithRows (int group, int height)
    {
        auto page = std::make_unique<TBVstOpCodeListComponent> (group);
        page->setSize (560, height);
        page->createRows();
        return page;
    }

    int rowsInFirstColumn (const TBVstOpCodeListComponent& page)
    {
        int n = 0;
        while (n < page.getNumRows() && page.getRow (n)->getX() == 0)
            ++n;
        return n;
    }

    // A row on a window of its own, so that mouse events arrive as from the platform.
    struct RowOnDesktop : public juce::MouseListener
    {
        explicit RowOnDesktop (int index) : row (groupDispatcher, index)
        {
            holder.setBounds (100, 100, 300, 40);
            row.setBounds (0, 0, 280, 16);
            holder.addAndMakeVisible (row);
            holder.addToDesktop (0);
            holder.setVisible (true);
            row.addMouseListener (this, false);
        }

        ~RowOnDesktop() override
        {
            row.removeMouseListener (this);
            holder.removeFromDesktop();
        }

        void click (juce::Point<float> pos, int button, juce::int64 time)
        {
            send (pos, juce::ModifierKeys (button), time);
            send (pos, {}, time + 10);
        }

        void send (juce::Point<float> pos, juce::ModifierKeys buttons, juce::int64 time)
        {
            holder.getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, pos, buttons,
                                                juce::MouseInputSource::defaultPressure,
                                                juce::MouseInputSource::defaultOrientation, time);
        }

        void mouseDown (const juce::MouseEvent& e) override { clickCounts.add (e.getNumberOfClicks()); }

        juce::Component holder;
        TBVstOpCodeComponent row;
        juce::Array<int> clickCounts;
    };
}

TEST (OpCodeListPage, ColumnsOf39RowsFromHeight624To639And40At640)
{
    for (int height : { 624, 625, 639 })
    {
        SCOPED_TRACE (height);
        auto page = pageWithRows (groupDispatcher, height);
        ASSERT_EQ (page->getNumRows(), 77);
        EXPECT_EQ (rowsInFirstColumn (*page), 39);
        EXPECT_EQ (page->getRow (38)->getBounds(), juce::Rectangle<int> (0, 608, 280, 16));
        EXPECT_EQ (page->getRow (39)->getBounds(), juce::Rectangle<int> (282, 0, 280, 16));
        EXPECT_EQ (page->getRow (76)->getBounds(), juce::Rectangle<int> (282, 592, 280, 16));
    }

    EXPECT_EQ (rowsInFirstColumn (*pageWithRows (groupDispatcher, 640)), 40);

    auto audioMaster = pageWithRows (groupAudioMaster, 624);
    ASSERT_EQ (audioMaster->getNumChildComponents(), 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ (audioMaster->getChildComponent (i), audioMaster->getRow (i));
    EXPECT_EQ (audioMaster->getRow (49)->getPosition(), juce::Point<int> (282, 160));
}

TEST (OpCodeListPage, PageLowerThanARowPutsEveryRowInAColumnOfItsOwn)
{
    auto page = pageWithRows (groupAEffectFunctions, 15);
    ASSERT_EQ (page->getNumRows(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ (page->getRow (i)->getPosition(), juce::Point<int> (282 * (i + 1), 0));
}

TEST (OpCodeListPage, RowsAreCreatedOnceAndNeverReflow)
{
    TBVstOpCodeListComponent page (groupDispatcher);
    EXPECT_EQ (page.getName(), "TBVstOpCodeListComponent 1");
    page.refreshCounters(); // no rows yet: nothing to do
    EXPECT_EQ (page.getNumChildComponents(), 0);

    page.setSize (560, 624);
    page.createRows();
    auto* firstRow = page.getRow (0);
    page.setSize (560, 2000);
    page.createRows();

    EXPECT_EQ (page.getNumChildComponents(), 77);
    EXPECT_EQ (page.getRow (0), firstRow);
    EXPECT_EQ (page.getRow (39)->getX(), 282);

    EXPECT_EQ (pageWithRows (3, 624)->getNumRows(), 0); // no such group
}

TEST (OpCodeRow, RefreshRepaintsWholeRowFromZeroThenOnlyTheCounter)
{
    auto page = pageWithRows (groupDispatcher, 624);
    auto& recorder = RepaintRecorder::attachTo (*page->getRow (8));

    page->refreshCounters();
    EXPECT_TRUE (recorder.nothing());

    setCount (groupDispatcher, 8, 1);
    page->refreshCounters();
    EXPECT_EQ (recorder.wholeRepaints, 1);
    EXPECT_TRUE (recorder.areas.empty());

    recorder.clear();
    setCount (groupDispatcher, 8, 2);
    page->refreshCounters();
    EXPECT_EQ (recorder.wholeRepaints, 0);
    const std::vector<juce::Rectangle<int>> counterOnly { { 222, 0, 58, 16 } };
    EXPECT_EQ (recorder.areas, counterOnly);

    // Nothing new: no second request while the first may still be pending.
    recorder.clear();
    page->refreshCounters();
    EXPECT_TRUE (recorder.nothing());
    setCount (groupDispatcher, 8, 0);
}

TEST (OpCodeRow, PaintTakesTheCountItShows)
{
    TBVstOpCodeComponent row (groupAudioMaster, 4);
    row.setSize (280, 16);
    setCount (groupAudioMaster, 4, 7);
    paintAlone (row);

    auto& recorder = RepaintRecorder::attachTo (row);
    row.refreshCounter();
    EXPECT_TRUE (recorder.nothing());
    setCount (groupAudioMaster, 4, 0);
}

TEST (OpCodeRow, AnyMouseButtonTogglesTheEntryAndADoubleClickRestoresIt)
{
    RowOnDesktop desktop (12);
    TBLogger::setOpCodeEnabled (true, groupDispatcher, 12);
    auto t = juce::Time::currentTimeMillis();

    for (int button : { juce::ModifierKeys::leftButtonModifier, juce::ModifierKeys::rightButtonModifier,
                        juce::ModifierKeys::middleButtonModifier })
    {
        const bool before = TBLogger::isOpCodeEnabled (groupDispatcher, 12);
        desktop.click ({ 250.0f, 8.0f }, button, t += 1000);
        EXPECT_NE (TBLogger::isOpCodeEnabled (groupDispatcher, 12), before) << "button " << button;
    }

    const bool before = TBLogger::isOpCodeEnabled (groupDispatcher, 12);
    desktop.clickCounts.clear();
    desktop.click ({ 6.0f, 7.0f }, juce::ModifierKeys::leftButtonModifier, t += 1000);
    desktop.click ({ 6.0f, 7.0f }, juce::ModifierKeys::leftButtonModifier, t + 60);
    EXPECT_EQ (desktop.clickCounts, juce::Array<int> ({ 1, 2 }));
    EXPECT_EQ (TBLogger::isOpCodeEnabled (groupDispatcher, 12), before);
}
