// The Checks page: a row per rule in a viewport below the two switches, each
// row's count and first line after breaches, what a refresh repaints, and
// the switches both ways.
#include "UiTestSupport.h"

#include "checks/CallChecks.h"
#include "checks/CheckRules.h"
#include "log/TBLogger.h"
#include "ui/TBChecksPage.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
    class ChecksPage : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            tbLogger.initialise ("Synth.so");
            tbLogger.setLineSink ([] (const char*, std::size_t) {});
            tbLogger.checkCalls = true;
            checkRules.resetCounts();
            page = std::make_unique<TBChecksPage>();
            page->setSize (560, 624);
        }

        void TearDown() override
        {
            page.reset();
            checkRules.resetCounts();
            tbLogger.setLineSink (nullptr);
        }

        static void click (juce::Button& button) { clickAndDispatch (button); }

        TBCheckRuleRow& row (CheckRule rule) const { return page->getRow ((int) rule); }

        std::unique_ptr<TBChecksPage> page;
    };
}

TEST_F (ChecksPage, ARowPerRuleScrollsBelowTheSwitches)
{
    ASSERT_EQ (page->getNumRows(), numCheckRules);
    auto& viewport = page->getViewport();
    auto* holder = viewport.getViewedComponent();
    ASSERT_NE (holder, nullptr);

    for (int i = 0; i < numCheckRules; ++i)
    {
        SCOPED_TRACE (checkRuleInfo[i].title);
        auto& r = page->getRow (i);
        EXPECT_EQ (r.getTickBox().getButtonText(), checkRuleInfo[i].title);
        EXPECT_EQ (r.getBounds(), juce::Rectangle<int> (0, i * TBCheckRuleRow::rowHeight, holder->getWidth(),
                                                        TBCheckRuleRow::rowHeight));
        // Title, count and line clear of one another.
        EXPECT_LE (r.getTickBox().getRight(), r.getCountArea().getX());
        EXPECT_LE (r.getCountArea().getBottom(), r.getLineArea().getY() + 1);
    }

    // The rows do not fit: the scroll bar shows beside them, within the page, below the switches.
    EXPECT_GT (holder->getHeight(), viewport.getHeight());
    EXPECT_TRUE (viewport.getVerticalScrollBar().isVisible());
    EXPECT_EQ (holder->getWidth(), viewport.getMaximumVisibleWidth());
    EXPECT_TRUE (page->getLocalBounds().contains (viewport.getBounds()));
    EXPECT_LE (page->checkAudioToggle->getBottom(), viewport.getY());

    // Scrolled to the end, the last rule shows whole.
    viewport.setViewPosition (0, holder->getHeight());
    EXPECT_TRUE (viewport.getViewArea().contains (page->getRow (numCheckRules - 1).getBounds()));
}

TEST_F (ChecksPage, BreachesShowTheirCountAndTheFirstLineAtTheNextRefresh)
{
    // Calls and audio: the page asks each rule alone.
    tbLogger.checkAudio = true;
    struct Case { CheckRule rule; const char* first; const char* second; };
    const Case cases[] = {
        { CheckRule::callBeforeOpen, "effSetSampleRate before effOpen", "effSetBlockSize before effOpen" },
        { CheckRule::badSamples, "processReplacing block 3: output channel 1 frame 0 is nan", "a later block" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (checkRuleInfo[(int) c.rule].title);
        checkRules.breach (c.rule, c.first);
        checkRules.breach (c.rule, c.second);
        EXPECT_EQ (row (c.rule).getShownCount(), 0u) << "before the refresh";

        page->refresh();
        EXPECT_EQ (row (c.rule).getShownCount(), 2u);
        EXPECT_EQ (row (c.rule).getShownLine().toStdString().rfind (std::string ("Check: ") + c.first + ", thread ", 0), 0u)
            << row (c.rule).getShownLine();
    }

    // A reset empties both at the next refresh.
    auto& shown = row (CheckRule::callBeforeOpen);
    checkRules.resetCounts();
    page->refresh();
    EXPECT_EQ (shown.getShownCount(), 0u);
    EXPECT_TRUE (shown.getShownLine().isEmpty());
}

TEST_F (ChecksPage, RefreshRepaintsOnlyWhatChanged)
{
    page->refresh();
    auto& shown = row (CheckRule::blockSize);
    auto& other = row (CheckRule::nullChannel);
    auto& recorder = RepaintRecorder::attachTo (shown);
    auto& otherRecorder = RepaintRecorder::attachTo (other);

    page->refresh();
    EXPECT_TRUE (recorder.nothing());

    // The first breach brings its line; later ones move only the digits.
    checkRules.breach (CheckRule::blockSize, "processReplacing with sampleFrames 1024, more than the block size 512");
    page->refresh();
    EXPECT_EQ (recorder.areas, (std::vector<juce::Rectangle<int>> { shown.getCountArea(), shown.getLineArea() }));

    recorder.clear();
    checkRules.breach (CheckRule::blockSize, "again");
    page->refresh();
    EXPECT_EQ (recorder.areas, (std::vector<juce::Rectangle<int>> { shown.getCountArea() }));
    EXPECT_EQ (recorder.wholeRepaints, 0);
    EXPECT_TRUE (otherRecorder.nothing());
}

TEST_F (ChecksPage, SwitchesSetTheirOptionsAndFollowThemAtRefresh)
{
    // Each switches its own option alone, and back.
    const std::pair<juce::ToggleButton*, std::atomic<bool>*> switches[] = {
        { page->checkCallsToggle.get(), &tbLogger.checkCalls },
        { page->checkAudioToggle.get(), &tbLogger.checkAudio },
        { &row (CheckRule::processThreads).getTickBox(), &tbLogger.checkRuleOn[(int) CheckRule::processThreads] },
        { &row (CheckRule::badSamples).getTickBox(), &tbLogger.checkRuleOn[(int) CheckRule::badSamples] },
    };

    for (auto [toggle, option] : switches)
    {
        SCOPED_TRACE (toggle->getButtonText().toStdString());
        const bool before = *option;
        click (*toggle);
        EXPECT_NE (option->load(), before);
        EXPECT_TRUE (tbLogger.checkRuleOn[(int) CheckRule::automationEcho]);
        click (*toggle);
        EXPECT_EQ (option->load(), before);
    }

    // Changed elsewhere (another copy of the page): shown at the next refresh,
    // a rule's title greyed while the checks that feed it are off.
    tbLogger.checkCalls = false;
    tbLogger.checkAudio = true;
    tbLogger.checkRuleOn[(int) CheckRule::editorThread] = false;
    page->refresh();
    EXPECT_FALSE (page->checkCallsToggle->getToggleState());
    EXPECT_TRUE (page->checkAudioToggle->getToggleState());
    EXPECT_FALSE (row (CheckRule::editorThread).getTickBox().getToggleState());

    const auto titleColour = [&] (CheckRule rule)
    {
        return row (rule).getTickBox().findColour (juce::ToggleButton::textColourId);
    };
    EXPECT_NE (titleColour (CheckRule::openTwice), titleColour (CheckRule::badSamples));
    tbLogger.checkCalls = true;
    page->refresh();
    EXPECT_EQ (titleColour (CheckRule::openTwice), titleColour (CheckRule::badSamples));
}

// Switched on in the middle of a session, the checks have not seen effOpen
// or the resume: they take the session as opened and wait for the resume's
// state, instead of reporting breaches that never happened.
TEST_F (ChecksPage, SwitchedOnMidSessionTheChecksWaitForTheSessionsState)
{
    AEffect record {};
    record.numInputs = record.numOutputs = 0;
    record.numParams = 2;
    tbLogger.checkCalls = false;
    callChecks.startSession (record);
    page->refresh();
    click (*page->checkCallsToggle);
    ASSERT_TRUE (tbLogger.checkCalls.load());

    const auto call = [&] (std::int32_t opcode, VstIntPtr value = 0)
    {
        CallChecks::Entry entry;
        callChecks.beforeDispatcher (entry, record, opcode, 0, value, nullptr);
        callChecks.afterDispatcher (entry, record, opcode, nullptr);
    };
    const auto block = [&]
    {
        CallChecks::Entry entry;
        callChecks.beforeBlock (entry, record, functionProcessReplacing, nullptr, nullptr, 64);
        callChecks.afterBlock (entry, record, functionProcessReplacing, nullptr, 64);
    };

    call (19); // effEditIdle, then a block: a resumed session as far as anyone knows
    block();
    call (15); // effEditClose, of an editor opened while the checks were off
    EXPECT_EQ (checkRules.getCount (CheckRule::callBeforeOpen), 0u);
    EXPECT_EQ (checkRules.getCount (CheckRule::processWhileSuspended), 0u);
    EXPECT_EQ (checkRules.getCount (CheckRule::editorState), 0u);

    call (12, 0); // effMainsChanged 0: from here on the state is known
    block();
    EXPECT_EQ (checkRules.getCount (CheckRule::processWhileSuspended), 1u);
    callChecks.endSession();
}
