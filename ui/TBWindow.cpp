#include "TBWindow.h"

#include "TBContentComponent.h"
#include "TBPalette.h"
#include "log/TBLogger.h"

namespace
{
    constexpr int titleBarPixels = 28;
    constexpr int borderPixels = 3;
}

TBWindow::TBWindow (const AEffect& shownRecord)
    : juce::DialogWindow ("Tattlebox - " + tbLogger.getName(), TBPalette::windowBlue, false)
{
    setTitleBarHeight (titleBarPixels);

    // Installing the look-and-feel makes the window ask it for its one title-bar
    // button, which is our minimise button (see lookAndFeelChanged).
    setLookAndFeel (&lookAndFeel);

    setContentOwned (new TBContentComponent (shownRecord), false);
    centreWithSize (windowWidth, windowHeight);
    getContent()->createControls();
    setVisible (true);
}

TBWindow::~TBWindow()
{
    // No tick may reach the content once its deletion has begun.
    stopTimer();
    clearContentComponent();
    setLookAndFeel (nullptr);
}

TBContentComponent* TBWindow::getContent() const noexcept
{
    return dynamic_cast<TBContentComponent*> (getContentComponent());
}

juce::BorderSize<int> TBWindow::getBorderThickness()
{
    return juce::BorderSize<int> (borderPixels);
}

// [message] The window makes its title-bar button anew whenever its
// look-and-feel or its place on the desktop changes, and gives it Alt+F4 each
// time: that shortcut must press nothing here.
void TBWindow::lookAndFeelChanged()
{
    juce::DialogWindow::lookAndFeelChanged();

    auto* button = getCloseButton();

    if (button != nullptr && button == lookAndFeel.minimizeButton.getComponent())
    {
        button->clearShortcuts();
        button->addListener (this);
    }
}

// [message] The platform's close request. The window is not closable.
void TBWindow::userTriedToCloseWindow() {}

// [message] Reached only through the title-bar button, which minimises.
void TBWindow::closeButtonPressed() {}

// [message]
void TBWindow::buttonClicked (juce::Button* button)
{
    if (button != nullptr && button == lookAndFeel.minimizeButton.getComponent())
        if (auto* peer = getPeer())
            peer->setMinimised (true);
}

// [message] Every 50 ms.
void TBWindow::timerCallback()
{
    if (auto* content = getContent())
        content->tick();

    // The framework's Windows peer hands repaints to the system only at the
    // display's vertical blank, which Wine on a virtual display never reports:
    // the counters would stand still. Hand over what this tick changed now.
    if (auto* peer = getPeer())
        peer->performAnyPendingRepaintsNow();
}
