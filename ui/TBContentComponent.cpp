#include "TBContentComponent.h"

#include "TBAboutContent.h"
#include "TBChecksPage.h"
#include "TBLogPage.h"
#include "TBOptionsPage.h"
#include "TBVstAEffectComponent.h"
#include "TBVstOpCodeListComponent.h"
#include "TBImages.h"
#include "TBPalette.h"
#include "WebPages.h"
#include "checks/CheckRules.h"
#include "log/TBLogger.h"
#include "platform/TimeOfDay.h"
#include "tabs/OldTabbedComponentBasicTab.h"

namespace
{
    constexpr int columnX = 10;
    constexpr int buttonWidth = 180;
    constexpr int rowHeight = 25;
    // The column is fitted into the window's 632 pixels below seven tabs: the
    // buttons stand 28 apart and the logo is shown at under half its size, so
    // that the donation badge below it stays visible and clickable.
    // The switches have a page of their own, where each says what it does.
    constexpr int rowStep = 28;
    constexpr int logoWidth = 76, logoHeight = 57;
    constexpr int columnCentreX = columnX + buttonWidth / 2;


    const char* const tabNames[] = { "AEffect", "Dispatcher OpCodes", "AudioMaster OpCodes", "Options", "Log", "Checks", "About" };

    // The cache decodes each picture once and hands back the same image for every state.
    juce::Image storedImage (const char* data, int size)
    {
        return juce::ImageCache::getFromMemory (data, size);
    }

    void openPage (const juce::URL& url)
    {
        url.launchInDefaultBrowser();
    }
}

TBContentComponent::TBContentComponent (const AEffect& shownRecord)
    : OldTabbedComponent ("TBContentComponent"),
      timeBase (juce::Time::getCurrentTime())
{
    setColours (TBPalette::lightestGrey, TBPalette::darkGrey, TBPalette::darkBlue,
                TBPalette::paleBlueGrey, TBPalette::lighterGrey);

    pages[0] = std::make_unique<TBVstAEffectComponent> (shownRecord);
    pages[1] = std::make_unique<TBVstOpCodeListComponent> (groupDispatcher);
    pages[2] = std::make_unique<TBVstOpCodeListComponent> (groupAudioMaster);
    pages[3] = std::make_unique<TBOptionsPage>();
    pages[4] = std::make_unique<TBLogPage>();
    pages[5] = std::make_unique<TBChecksPage>();
    pages[6] = std::make_unique<TBAboutContent>();
}

TBContentComponent::~TBContentComponent()
{
    // Pages first, in index order: the one shown leaves the children as it goes.
    for (auto& page : pages)
        page.reset();

    // Then the controls, the last-added first; the tab strip belongs to the base.
    donateButton.reset();
    logoButton.reset();
    helpButton.reset();
    timeButton.reset();
    loggingButton.reset();
    resetCountersButton.reset();
    inverseAllButton.reset();
    disableAllButton.reset();
    enableAllButton.reset();
}

juce::Component* TBContentComponent::getPage (int index) const noexcept
{
    return juce::isPositiveAndBelow (index, numPages) ? pages[(size_t) index].get() : nullptr;
}

TBVstOpCodeListComponent* TBContentComponent::getOpCodePage (int index) const noexcept
{
    return dynamic_cast<TBVstOpCodeListComponent*> (getPage (index));
}

TBOptionsPage* TBContentComponent::getOptionsPage() const noexcept
{
    return dynamic_cast<TBOptionsPage*> (getPage (optionsTabIndex));
}

TBLogPage* TBContentComponent::getLogPage() const noexcept
{
    return dynamic_cast<TBLogPage*> (getPage (logTabIndex));
}

TBChecksPage* TBContentComponent::getChecksPage() const noexcept
{
    return dynamic_cast<TBChecksPage*> (getPage (checksTabIndex));
}

// [message] Once, after the window has its final size.
void TBContentComponent::createControls()
{
    for (int i = 0; i < numPages; ++i)
        addTab (i, new OldTabbedComponentBasicTab (tabNames[i]));

    setTabPosition (tabsAtLeft, 200, 2, 2);
    setCurrentTab (0);

    auto* lastTab = getTabComponent (getNumTabs() - 1);
    const int y0 = lastTab->getBottom() + 10;

    enableAllButton = makeTextButton ("Enable All", "Enable logging of all functions and OpCodes", y0);
    disableAllButton = makeTextButton ("Disable All", "Disable logging of all functions and OpCodes", y0 + rowStep);
    inverseAllButton = makeTextButton ("Inverse All", "Inverse logging enable/disable state of all functions and OpCodes",
                                       y0 + 2 * rowStep);
    resetCountersButton = makeTextButton ("Reset Counters", "Reset the counters of all functions and OpCodes",
                                          y0 + 3 * rowStep);
    loggingButton = makeTextButton ("Stop Logging", "Stop logging", y0 + 4 * rowStep);
    timeButton = makeTextButton ({}, "Click to reset time display and log a time reset event", y0 + 5 * rowStep);
    timeButton->setName ("TimeButton");
    helpButton = makeTextButton ("Help...", "View Tattlebox user guide on the Web", y0 + 6 * rowStep);

    const juce::Rectangle<int> logoBounds (columnCentreX - logoWidth / 2, helpButton->getBottom() + 6,
                                           logoWidth, logoHeight);
    logoButton = makeImageButton ("QXLogoButton", storedImage (TBImages::logoImage, TBImages::logoImageSize), 1.0f, 0.75f, 0.5f,
                                  logoBounds, "Sometimes, do the wrong thing");
    donateButton = makeImageButton ("QXDonateButton", storedImage (TBImages::donateImage, TBImages::donateImageSize), 0.5f, 0.75f, 1.0f,
                                    { columnCentreX - 36, logoBounds.getBottom() + 4, 72, 29 },
                                    "Do the right thing!");
}

std::unique_ptr<juce::TextButton> TBContentComponent::makeTextButton (const juce::String& text,
                                                                      const juce::String& tooltip, int y)
{
    auto button = std::make_unique<juce::TextButton> (text, tooltip);
    button->setColour (juce::TextButton::textColourOffId, TBPalette::black);
    button->setColour (juce::TextButton::textColourOnId, TBPalette::black);
    button->setColour (juce::TextButton::buttonColourId, TBPalette::paleBlueGrey);
    button->setColour (juce::TextButton::buttonOnColourId, TBPalette::darkBlue);
    button->setBounds (columnX, y, buttonWidth, rowHeight);
    addAndMakeVisible (*button);
    button->addListener (this);
    return button;
}

std::unique_ptr<juce::ImageButton> TBContentComponent::makeImageButton (const juce::String& name,
                                                                        const juce::Image& image,
                                                                        float normalOpacity, float overOpacity,
                                                                        float downOpacity, juce::Rectangle<int> bounds,
                                                                        const juce::String& tooltip)
{
    const juce::Colour transparent (0x00000000);

    auto button = std::make_unique<juce::ImageButton> (name);
    addAndMakeVisible (*button);
    button->setImages (true, true, true,
                       image, normalOpacity, transparent,
                       image, overOpacity, transparent,
                       image, downOpacity, transparent,
                       0.5f);
    button->setBounds (bounds);
    button->setTooltip (tooltip);
    button->addListener (this);
    return button;
}

// [message] Every 50 ms from the window's timer.
void TBContentComponent::tick()
{
    // Off the audio threads: their time prefixes only read the offset.
    refreshLocalTimeOffset();

    // Whichever page is in front: the ring must not fill up unread.
    if (auto* log = getLogPage())
        log->drain();

    if (auto* page = getOpCodePage (getCurrentTabIndex()))
        page->refreshCounters();

    if (getCurrentTabIndex() == optionsTabIndex)
        if (auto* options = getOptionsPage())
            options->refresh();

    if (getCurrentTabIndex() == checksTabIndex)
        if (auto* checks = getChecksPage())
            checks->refresh();

    if (timeButton != nullptr)
        timeButton->setButtonText ((juce::Time::getCurrentTime() - timeBase).getDescription());
}

// [message] At the end of every setCurrentTab.
void TBContentComponent::currentTabChanged (int newIndex, bool alreadyCurrent, const juce::ModifierKeys&)
{
    if (alreadyCurrent || getPage (newIndex) == nullptr)
        return;

    setContentComponent (getPage (newIndex));

    if (auto* page = getOpCodePage (newIndex))
        page->createRows();
}

void TBContentComponent::repaintCurrentPage()
{
    if (auto* page = getPage (getCurrentTabIndex()))
        page->repaint();
}

void TBContentComponent::resetCounters()
{
    TBLogger::resetAllCallCounts();
    checkRules.resetCounts();
    repaintCurrentPage();

    // Its rows paint what they were last shown.
    if (auto* checks = getChecksPage())
        checks->refresh();
}

void TBContentComponent::toggleLogging()
{
    const bool nowOn = ! tbLogger.loggingOn;
    tbLogger.loggingOn = nowOn;

    const juce::String text (nowOn ? "Stop Logging" : "Start Logging");
    loggingButton->setTooltip (nowOn ? "Stop logging" : "Start logging");
    loggingButton->setButtonText (text);
    loggingButton->setName (text);
}

void TBContentComponent::resetTime()
{
    const auto now = juce::Time::getCurrentTime();
    const auto line = "Tattlebox timer reset after " + (now - timeBase).getDescription();
    tbLogger.logLine (line.toRawUTF8());
    timeBase = now;
}

// [message] From every control of the command column.
void TBContentComponent::buttonClicked (juce::Button* button)
{
    if (button == nullptr)
        return;

    if (button == enableAllButton.get())            { TBLogger::setAllOpCodesEnabled (true); repaintCurrentPage(); }
    else if (button == disableAllButton.get())      { TBLogger::setAllOpCodesEnabled (false); repaintCurrentPage(); }
    else if (button == inverseAllButton.get())      { TBLogger::toggleAllOpCodesEnabled(); repaintCurrentPage(); }
    else if (button == resetCountersButton.get())   resetCounters();
    else if (button == loggingButton.get())         toggleLogging();
    else if (button == timeButton.get())            resetTime();
    else if (button == helpButton.get())            openPage (WebPages::getUserGuide());
    else if (button == logoButton.get())            openPage (WebPages::getMakerPage());
    else if (button == donateButton.get())          openPage (WebPages::getDonationPage());
}
