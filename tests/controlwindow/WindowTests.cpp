// The control window and its content: controls, commands, ticks, and the
// window's fixed size, title-bar button and timer.
#include "ui/TBAboutContent.h"
#include "ui/TBChecksPage.h"
#include "ui/TBContentComponent.h"
#include "ui/TBOptionsPage.h"
#include "ui/TBVstAEffectComponent.h"
#include "ui/TBVstOpCodeComponent.h"
#include "ui/TBVstOpCodeListComponent.h"
#include "ui/TBWindow.h"
#include "checks/CheckRules.h"
#include "log/StateFile.h"
#include "log/TBLogger.h"

#include <gtest/gtest.h>

namespace juce
{
    // The framework's own Linux message pump (juce_linux_Messaging.cpp).
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

#include <string>
#include <utility>
#include <vector>

namespace
{
    std::vector<std::string> capturedLines;

    void captureLine (const char* line, std::size_t length)
    {
        capturedLines.emplace_back (line, length);
    }

    void pumpMessages (int milliseconds)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

        while (juce::Time::getMillisecondCounter() < end)
            if (! juce::dispatchNextMessageOnSystemQueue (true))
                juce::Thread::sleep (1);
    }

    class ContentTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            tbLogger.initialise ("Synth.so");
            tbLogger.setLineSink (captureLine);
            capturedLines.clear();
        }

        void TearDown() override
        {
            tbLogger.setLineSink (nullptr);
        }

        AEffect hostRecord {}; // the record the host holds

        std::unique_ptr<TBContentComponent> makeContent()
        {
            auto content = std::make_unique<TBContentComponent> (hostRecord);
            content->setSize (768, 632);
            content->createControls();
            return content;
        }

        static TBVstOpCodeListComponent* opCodePage (TBContentComponent& content, int index)
        {
            return dynamic_cast<TBVstOpCodeListComponent*> (content.getPage (index));
        }

        static void click (juce::Button& button)
        {
            button.triggerClick();
            pumpMessages (20);
        }
    };
}

TEST_F (ContentTest, OpensOnTheAEffectPageAndCreatesOtherRowsOnFirstSelection)
{
    auto content = makeContent();

    EXPECT_EQ (content->getCurrentTabIndex(), 0);
    auto* aeffectPage = dynamic_cast<TBVstAEffectComponent*> (content->getPage (0));
    ASSERT_NE (aeffectPage, nullptr);
    EXPECT_EQ (aeffectPage->getParentComponent(), content.get());
    EXPECT_EQ (aeffectPage->getNumRows(), 7);
    EXPECT_NE (aeffectPage->getTextEditor(), nullptr);
    EXPECT_FALSE (opCodePage (*content, 1)->areRowsCreated());
    EXPECT_FALSE (opCodePage (*content, 2)->areRowsCreated());
    EXPECT_EQ (content->getPage (3)->getParentComponent(), nullptr);

    content->setCurrentTab (1);
    auto* dispatcherPage = opCodePage (*content, 1);
    ASSERT_EQ (dispatcherPage->getNumRows(), 77);
    auto* firstRow = dispatcherPage->getRow (0);
    EXPECT_EQ (dispatcherPage->getBounds(), juce::Rectangle<int> (204, 4, 560, 624));
    EXPECT_EQ (dispatcherPage->getRow (39)->getPosition(), juce::Point<int> (282, 0));

    content->setCurrentTab (1);
    content->setCurrentTab (3);
    content->setCurrentTab (1);
    EXPECT_EQ (dispatcherPage->getNumRows(), 77);
    EXPECT_EQ (dispatcherPage->getRow (0), firstRow);
    EXPECT_EQ (aeffectPage->getParentComponent(), nullptr);
}

TEST_F (ContentTest, ControlsStandInTheColumnBelowTheTabs)
{
    juce::File lastDirectory;
    readStateDocument ("<Tattlebox><Logger><Parameters logParameters=\"0\" logTime=\"1\"/></Logger></Tattlebox>",
                       lastDirectory);
    auto content = makeContent();

    // The pages in order; those before Checks keep the indices they always had.
    const char* const tabNames[] = { "AEffect", "Dispatcher OpCodes", "AudioMaster OpCodes", "Options", "Log", "Checks",
                                     "About" };
    ASSERT_EQ (content->getNumTabs(), 7);

    for (int i = 0; i < 7; ++i)
        EXPECT_EQ (content->getTabComponent (i)->getName(), tabNames[i]);

    EXPECT_NE (content->getChecksPage(), nullptr);
    EXPECT_NE (dynamic_cast<TBAboutContent*> (content->getPage (TBContentComponent::aboutTabIndex)), nullptr);

    const int y0 = content->getTabComponent (6)->getBottom() + 10;
    EXPECT_EQ (y0, 336);
    struct Expected { juce::Button* button; const char* name; const char* text; const char* tooltip; int y; };
    const Expected expected[] = {
        { content->enableAllButton.get(), "Enable All", "Enable All", "Enable logging of all functions and OpCodes", y0 },
        { content->disableAllButton.get(), "Disable All", "Disable All", "Disable logging of all functions and OpCodes", y0 + 28 },
        { content->inverseAllButton.get(), "Inverse All", "Inverse All",
          "Inverse logging enable/disable state of all functions and OpCodes", y0 + 56 },
        { content->resetCountersButton.get(), "Reset Counters", "Reset Counters",
          "Reset the counters of all functions and OpCodes", y0 + 84 },
        { content->loggingButton.get(), "Stop Logging", "Stop Logging", "Stop logging", y0 + 112 },
        { content->timeButton.get(), "TimeButton", "", "Click to reset time display and log a time reset event", y0 + 140 },
        { content->helpButton.get(), "Help...", "Help...", "View Tattlebox user guide on the Web", y0 + 168 },
    };

    for (const auto& e : expected)
    {
        SCOPED_TRACE (e.name);
        ASSERT_NE (e.button, nullptr);
        EXPECT_EQ (e.button->getName(), e.name);
        EXPECT_EQ (e.button->getButtonText(), e.text);
        EXPECT_EQ (e.button->getTooltip(), e.tooltip);
        EXPECT_EQ (e.button->getBounds(), juce::Rectangle<int> (10, e.y, 180, 25));
        EXPECT_EQ (e.button->findColour (juce::TextButton::buttonColourId), juce::Colour (0xffcedbe3));
        EXPECT_EQ (e.button->findColour (juce::TextButton::textColourOffId), juce::Colour (0xff000000));
    }

    // The whole column, donation badge included, lies within the content,
    // below the last tab and nothing over anything else.
    EXPECT_LT (content->helpButton->getBottom(), content->logoButton->getY());
    EXPECT_EQ (content->logoButton->getName(), "QXLogoButton");
    EXPECT_EQ (content->donateButton->getName(), "QXDonateButton");
    EXPECT_LE (content->donateButton->getBottom(), 632);
    EXPECT_LT (content->logoButton->getHeight() * 2, 136) << "under half the picture's size";
    EXPECT_NEAR ((double) content->logoButton->getWidth() / content->logoButton->getHeight(), 181.0 / 136.0, 0.01)
        << "the picture's proportions";
    EXPECT_EQ (content->logoButton->getBounds().getCentreX(), content->donateButton->getBounds().getCentreX());
    EXPECT_EQ (content->donateButton->getY(), content->logoButton->getBottom() + 4);
}

TEST_F (ContentTest, CommandsChangeFlagsCountersAndOptions)
{
    auto content = makeContent();
    tbLogger.logDispatcherCall (8, 0, 0, nullptr, 0.0f);

    click (*content->disableAllButton);
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupAEffectFunctions, functionDispatcher));
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupAudioMaster, 49));

    click (*content->inverseAllButton);
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 8));
    TBLogger::setOpCodeEnabled (false, groupDispatcher, 8);
    click (*content->enableAllButton);
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 8));

    click (*content->resetCountersButton);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, 8), 0);
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 8));

    // Each switch turns its option over, and back.
    auto& options = *content->getOptionsPage();
    const std::pair<juce::ToggleButton*, std::atomic<bool>*> switches[] = {
        { options.logParametersToggle.get(), &tbLogger.logParameters },
        { options.logReturnParametersToggle.get(), &tbLogger.logReturnParameters },
        { options.logTimeToggle.get(), &tbLogger.logTime },
        { options.decodeStructuresToggle.get(), &tbLogger.decodeStructures },
        { options.logToDebugOutputToggle.get(), &tbLogger.logToDebugOutput },
        { options.rememberTargetToggle.get(), &tbLogger.rememberTarget },
        { options.timeCallsToggle.get(), &tbLogger.timeCalls },
        { options.logSummaryToggle.get(), &tbLogger.logSummary },
    };

    for (auto [toggle, option] : switches)
    {
        SCOPED_TRACE (toggle->getButtonText().toStdString());
        const bool before = *option;
        click (*toggle);
        EXPECT_NE (option->load(), before);
        click (*toggle);
        EXPECT_EQ (option->load(), before);
    }
}

TEST_F (ContentTest, OptionsPageShowsEverySwitchWithWhatItDoes)
{
    juce::File lastDirectory;
    readStateDocument ("<Tattlebox><Logger><Parameters logParameters=\"0\" logTime=\"1\" rememberTarget=\"1\""
                       " logToDebugOutput=\"0\" logSummary=\"1\"/></Logger></Tattlebox>", lastDirectory);
    auto content = makeContent();
    content->setCurrentTab (TBContentComponent::optionsTabIndex);
    auto& options = *content->getOptionsPage();
    EXPECT_EQ (options.getParentComponent(), content.get());

    // The switches start as the state file left them.
    EXPECT_FALSE (options.logParametersToggle->getToggleState());
    EXPECT_TRUE (options.logReturnParametersToggle->getToggleState());
    EXPECT_TRUE (options.logTimeToggle->getToggleState());
    EXPECT_TRUE (options.rememberTargetToggle->getToggleState());
    EXPECT_FALSE (options.logToDebugOutputToggle->getToggleState());
    EXPECT_FALSE (options.logToFileToggle->getToggleState());
    EXPECT_FALSE (options.timeCallsToggle->getToggleState());
    EXPECT_TRUE (options.logSummaryToggle->getToggleState());
    EXPECT_EQ (options.timeCallsToggle->getButtonText(), "Time Calls");
    EXPECT_EQ (options.logSummaryToggle->getButtonText(), "Log Summary");
    EXPECT_EQ (options.logTimeToggle->getButtonText(), "Log Time");
    EXPECT_EQ (options.rememberTargetToggle->getButtonText(), "Remember Target");
    EXPECT_GT (options.rememberTargetToggle->getY(), options.logTimeToggle->getY()) << "below Log Time";
    EXPECT_FALSE (options.writeTraceToggle->getToggleState());
    EXPECT_EQ (options.writeTraceToggle->getButtonText(), "Write Trace");
    EXPECT_EQ (options.writeTraceToggle->getY(), options.writeInBackgroundToggle->getY() + TBOptionsPage::rowStep);

    // Every child lies wholly within the page, and none overlaps another.
    const auto page = options.getLocalBounds();
    std::vector<juce::Rectangle<int>> placed;

    for (auto* child : options.getChildren())
    {
        SCOPED_TRACE (child->getName().toStdString());
        EXPECT_TRUE (page.contains (child->getBounds())) << child->getBounds().toString();

        for (auto& other : placed)
            EXPECT_FALSE (other.intersects (child->getBounds())) << child->getBounds().toString();

        placed.push_back (child->getBounds());
    }

    // A switch changed elsewhere shows at the next tick.
    tbLogger.logTime = false;
    content->tick();
    EXPECT_FALSE (options.logTimeToggle->getToggleState());
}

TEST_F (ContentTest, LoggingButtonAlwaysOffersWhatAClickDoes)
{
    auto content = makeContent();
    auto& button = *content->loggingButton;

    click (button);
    EXPECT_FALSE (tbLogger.loggingOn);
    EXPECT_EQ (button.getButtonText(), "Start Logging");
    EXPECT_EQ (button.getName(), "Start Logging");
    EXPECT_EQ (button.getTooltip(), "Start logging");

    click (button);
    EXPECT_TRUE (tbLogger.loggingOn);
    EXPECT_EQ (button.getButtonText(), "Stop Logging");
    EXPECT_EQ (button.getName(), "Stop Logging");
    EXPECT_EQ (button.getTooltip(), "Stop logging");
}

TEST_F (ContentTest, TimeResetWritesItsLineEvenWithLoggingStopped)
{
    auto content = makeContent();
    EXPECT_TRUE (content->timeButton->getButtonText().isEmpty());

    tbLogger.loggingOn = false;
    TBLogger::setAllOpCodesEnabled (false);
    pumpMessages (30);
    click (*content->timeButton);

    ASSERT_EQ (capturedLines.size(), 1u);
    const std::string prefix = ":Tattlebox timer reset after ";
    EXPECT_NE (capturedLines[0].find ("Synth.so" + prefix), std::string::npos) << capturedLines[0];
    EXPECT_EQ (capturedLines[0].find ("ms"), capturedLines[0].size() - 2) << capturedLines[0];

    content->tick();
    EXPECT_FALSE (content->timeButton->getButtonText().isEmpty());
}

TEST_F (ContentTest, TickRefreshesOnlyThePageInFrontAndAlwaysTheTime)
{
    auto content = makeContent();
    content->setCurrentTab (1);
    auto* dispatcherPage = opCodePage (*content, 1);
    auto* aeffectPage = opCodePage (*content, 0);

    tbLogger.logDispatcherCall (8, 3, 0, nullptr, 0.0f);
    content->tick();
    EXPECT_EQ (dispatcherPage->getRow (8)->getShownCount(), 1);
    EXPECT_EQ (aeffectPage->getRow (0)->getShownCount(), 0);

    content->setCurrentTab (3);
    tbLogger.logDispatcherCall (8, 3, 0, nullptr, 0.0f);
    content->tick();
    EXPECT_EQ (dispatcherPage->getRow (8)->getShownCount(), 1);
    EXPECT_FALSE (content->timeButton->getButtonText().isEmpty());

    content->setCurrentTab (0);
    content->tick();
    EXPECT_EQ (aeffectPage->getRow (0)->getShownCount(), 2);
}

TEST_F (ContentTest, ResetCountersRepaintsThePageInFront)
{
    auto content = makeContent();
    content->setCurrentTab (2);
    auto* page = opCodePage (*content, 2);

    tbLogger.logAudioMasterCall (1, 0, 0, nullptr, 0.0f);
    content->tick();
    ASSERT_EQ (page->getRow (1)->getShownCount(), 1);

    click (*content->resetCountersButton);
    auto image = content->createComponentSnapshot (content->getLocalBounds());
    EXPECT_EQ (page->getRow (1)->getShownCount(), 0);
}

TEST_F (ContentTest, ChecksPageFollowsBreachesInFrontAndResetCountersClearsThem)
{
    auto content = makeContent();
    checkRules.resetCounts();
    content->setCurrentTab (TBContentComponent::checksTabIndex);
    auto& checks = *content->getChecksPage();
    ASSERT_EQ (checks.getParentComponent(), content.get());
    EXPECT_EQ (checks.getBounds(), juce::Rectangle<int> (204, 4, 560, 624));

    tbLogger.checkCalls = true;
    checkRules.breach (CheckRule::openTwice, "effOpen twice");
    auto& row = checks.getRow ((int) CheckRule::openTwice);
    content->tick();
    EXPECT_EQ (row.getShownCount(), 1u);
    EXPECT_TRUE (row.getShownLine().startsWith ("Check: effOpen twice, thread "));

    click (*content->resetCountersButton);
    EXPECT_EQ (checkRules.getCount (CheckRule::openTwice), 0u);
    EXPECT_EQ (row.getShownCount(), 0u);
    EXPECT_TRUE (row.getShownLine().isEmpty());
}

namespace
{
    class WindowTest : public ContentTest
    {
    protected:
        void SetUp() override
        {
            ContentTest::SetUp();
            window = std::make_unique<TBWindow> (hostRecord);
        }

        void TearDown() override
        {
            window.reset();
            ContentTest::TearDown();
        }

        std::unique_ptr<TBWindow> window;
    };
}

TEST_F (WindowTest, HasItsTitleSizeAndContentPlace)
{
    EXPECT_EQ (window->getName(), "Tattlebox - Synth.so");
    EXPECT_EQ (window->getWidth(), 774);
    EXPECT_EQ (window->getHeight(), 666);
    EXPECT_EQ (window->getContentComponent()->getBounds(), juce::Rectangle<int> (3, 31, 768, 632));
    EXPECT_EQ (window->getBackgroundColour(), juce::Colour (0xff6793ae));
    EXPECT_FALSE (window->isResizable());
    EXPECT_TRUE (window->isVisible());

    const auto centre = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea.getCentre();
    EXPECT_LE (std::abs (window->getScreenBounds().getCentreX() - centre.x), 1);
}

TEST_F (WindowTest, TitleBarButtonMinimisesAndNothingCloses)
{
    auto* button = window->getMinimizeButton();
    ASSERT_NE (button, nullptr);
    EXPECT_EQ (button->getName(), "TBMinimizeButton");
    EXPECT_EQ (button->getParentComponent(), window.get());
    EXPECT_FALSE (button->isRegisteredForShortcut (juce::KeyPress (juce::KeyPress::F4Key, juce::ModifierKeys::altModifier, 0)));

    window->userTriedToCloseWindow();
    static_cast<juce::Component&> (*window).keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    pumpMessages (50);
    EXPECT_TRUE (window->isVisible());
    EXPECT_TRUE (window->isOnDesktop());

    // The window manager must have mapped the window before it can iconify it.
    window->startTimer (50);
    pumpMessages (300);
    button->triggerClick();
    ASSERT_NE (window->getPeer(), nullptr);

    for (int i = 0; i < 40 && ! window->getPeer()->isMinimised(); ++i)
        pumpMessages (50);

    EXPECT_TRUE (window->getPeer()->isMinimised());

    // The timer runs on while minimised.
    const auto before = window->getContent()->timeButton->getButtonText();
    pumpMessages (1100);
    EXPECT_NE (window->getContent()->timeButton->getButtonText(), before);
}

TEST_F (WindowTest, DeletingTheWindowStopsItsTicks)
{
    window->startTimer (50);
    pumpMessages (120);
    window.reset();
    pumpMessages (120); // a tick on the deleted content would crash here
    SUCCEED();
}
