#include "TBLogPage.h"
#include "TBPalette.h"

#include "log/TraceFile.h"

namespace
{
    constexpr int margin = 4;
    constexpr int controlHeight = 24;
    constexpr int buttonWidth = 70;
    constexpr int rowHeight = 16;
    constexpr int writerHeight = 18;

    std::unique_ptr<juce::TextButton> makeButton (const juce::String& text, const juce::String& tooltip)
    {
        auto button = std::make_unique<juce::TextButton> (text, tooltip);
        button->setColour (juce::TextButton::textColourOffId, TBPalette::black);
        button->setColour (juce::TextButton::textColourOnId, TBPalette::lightestGrey);
        button->setColour (juce::TextButton::buttonColourId, TBPalette::paleBlueGrey);
        button->setColour (juce::TextButton::buttonOnColourId, TBPalette::darkBlue);
        return button;
    }
}

TBLogPage::TBLogPage()
    : juce::Component ("TBLogPage")
{
    filterEditor = std::make_unique<juce::TextEditor> ("LogFilter");
    filterEditor->setTextToShowWhenEmpty ("Filter: only lines containing this", TBPalette::middleGrey);
    filterEditor->setTooltip ("Show only the lines that contain this text (not case-sensitive)");
    filterEditor->addListener (this);
    addAndMakeVisible (*filterEditor);

    pauseButton = makeButton ("Pause", "Hold the view still; lines go on arriving");
    pauseButton->setClickingTogglesState (true);
    clearButton = makeButton ("Clear", "Forget the lines shown so far");
    copyButton = makeButton ("Copy", "Copy the selected lines, or all lines shown");
    saveButton = makeButton ("Save...", "Save the lines shown to a text file");

    for (auto* button : { pauseButton.get(), clearButton.get(), copyButton.get(), saveButton.get() })
    {
        button->addListener (this);
        addAndMakeVisible (*button);
    }

    listBox = std::make_unique<juce::ListBox> ("LogLines", static_cast<juce::ListBoxModel*> (this));
    listBox->setRowHeight (rowHeight);
    listBox->setMultipleSelectionEnabled (true);
    listBox->setColour (juce::ListBox::backgroundColourId, TBPalette::lightestGrey);
    listBox->setColour (juce::ListBox::outlineColourId, TBPalette::lightGrey);
    listBox->setOutlineThickness (1);
    addAndMakeVisible (*listBox);

    statusLabel = std::make_unique<juce::Label> ("LogStatus");
    statusLabel->setColour (juce::Label::textColourId, TBPalette::darkGrey);
    addAndMakeVisible (*statusLabel);

    writerLabel = std::make_unique<juce::Label> ("WriterFigures");
    writerLabel->setColour (juce::Label::textColourId, TBPalette::darkGrey);
    writerLabel->setFont (juce::Font (13.0f));
    addChildComponent (*writerLabel);

    // The lines written before the window opened (the banner) are still there.
    lineRing.restartReader();
    updateStatus();
}

TBLogPage::~TBLogPage()
{
    listBox->setModel (nullptr);
}

void TBLogPage::resized()
{
    auto area = getLocalBounds().reduced (margin);
    auto top = area.removeFromTop (controlHeight);

    for (auto* button : { saveButton.get(), copyButton.get(), clearButton.get(), pauseButton.get() })
    {
        button->setBounds (top.removeFromRight (buttonWidth));
        top.removeFromRight (margin);
    }

    filterEditor->setBounds (top);
    area.removeFromTop (margin);
    if (writerLabel->isVisible())
        writerLabel->setBounds (area.removeFromBottom (writerHeight));

    statusLabel->setBounds (area.removeFromBottom (controlHeight));
    listBox->setBounds (area);
}

//==============================================================================
void TBLogPage::lineRead (const char* text, std::size_t length)
{
    lines.push_back (juce::String::fromUTF8 (text, (int) length));
    const auto number = firstNumber + (std::int64_t) lines.size() - 1;

    if (filter.isEmpty() || lines.back().containsIgnoreCase (filter))
        shown.push_back (number);

    if (! isFollowing())
        ++arrivedWhilePaused;
}

void TBLogPage::linesMissed (std::uint64_t count)
{
    missed += count;
}

void TBLogPage::drain()
{
    const auto before = lines.size() + (std::size_t) firstNumber;

    // The position at the last tick tells whether the user scrolled away.
    if (! paused)
        scrolledAway = ! isAtEnd();

    lineRing.read (*this, maxLinesPerTick);
    dropOldLines();
    updateView (lines.size() + (std::size_t) firstNumber != before);
    updateWriterFigures();
}

juce::String TBLogPage::describeWriter (const BackgroundWriter::Figures& figures,
                                        std::uint64_t traceEvents, std::uint64_t traceDropped)
{
    juce::String text;
    text << "Writer: " << (juce::int64) figures.written << " lines written, at most "
         << (juce::int64) figures.highWater << " waiting, " << (juce::int64) figures.dropped << " dropped";

    if (traceEvents > 0 || traceDropped > 0)
        text << "; trace: " << (juce::int64) traceEvents << " events, " << (juce::int64) traceDropped << " dropped";

    return text;
}

// Only once the writer has run: without it the lines have no queue to show.
void TBLogPage::updateWriterFigures()
{
    const auto figures = backgroundWriter.getFigures();
    const bool hasRun = backgroundWriter.isRunning() || figures.written > 0 || figures.dropped > 0;

    if (hasRun != writerLabel->isVisible())
    {
        writerLabel->setVisible (hasRun);
        resized();
    }

    const auto text = hasRun ? describeWriter (figures, traceFile.getEventsWritten(), traceFile.getEventsDropped())
                             : juce::String();

    if (writerLabel->getText() != text)
        writerLabel->setText (text, juce::dontSendNotification);
}

void TBLogPage::dropOldLines()
{
    // While the view holds still its rows must stay where they are: only a
    // far larger backlog pushes the oldest out then.
    const auto limit = (std::size_t) (isFollowing() ? maxLinesKept : 10 * maxLinesKept);

    while (lines.size() > limit)
    {
        lines.pop_front();
        ++firstNumber;

        while (! shown.empty() && shown.front() < firstNumber)
            shown.pop_front();
    }
}

bool TBLogPage::isAtEnd() const
{
    auto* viewport = listBox->getViewport();

    if (viewport == nullptr || viewport->getViewedComponent() == nullptr)
        return true;

    const auto bottom = viewport->getViewPositionY() + viewport->getViewHeight();
    return bottom >= viewport->getViewedComponent()->getHeight() - rowHeight;
}

void TBLogPage::updateView (bool added)
{
    const bool follow = isFollowing();

    if (follow)
    {
        frozenRows = -1;
        arrivedWhilePaused = 0;
    }
    else if (frozenRows < 0)
    {
        frozenRows = (int) shown.size();
    }

    if (added || follow)
    {
        listBox->updateContent();

        if (follow && ! shown.empty())
            listBox->scrollToEnsureRowIsOnscreen ((int) shown.size() - 1);
    }

    updateStatus();
}

void TBLogPage::updateStatus()
{
    juce::String text (juce::String ((int) shown.size()) + " lines");

    if (filter.isNotEmpty())
        text << " of " << (int) lines.size() << " match the filter";

    if (missed > 0)
        text << "; " << juce::String ((juce::int64) missed) << " missed (written faster than shown)";

    if (! isFollowing())
        text << "; " << (paused ? "paused" : "scrolled up") << ", "
             << juce::String ((juce::int64) arrivedWhilePaused) << " new since";

    if (statusLabel->getText() != text)
        statusLabel->setText (text, juce::dontSendNotification);
}

void TBLogPage::setPaused (bool shouldPause)
{
    paused = shouldPause;
    pauseButton->setToggleState (shouldPause, juce::dontSendNotification);

    if (! shouldPause)
        scrolledAway = false;

    updateView (false);
}

//==============================================================================
void TBLogPage::applyFilter()
{
    shown.clear();

    for (std::size_t i = 0; i < lines.size(); ++i)
        if (filter.isEmpty() || lines[i].containsIgnoreCase (filter))
            shown.push_back (firstNumber + (std::int64_t) i);

    frozenRows = -1;
    listBox->deselectAllRows();
    listBox->updateContent();
    updateView (true);
}

void TBLogPage::textEditorTextChanged (juce::TextEditor& editor)
{
    filter = editor.getText();
    applyFilter();
}

const juce::String& TBLogPage::shownLine (int row) const
{
    return lines[(std::size_t) (shown[(std::size_t) row] - firstNumber)];
}

int TBLogPage::getNumRows()
{
    return frozenRows >= 0 ? juce::jmin (frozenRows, (int) shown.size()) : (int) shown.size();
}

void TBLogPage::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (! juce::isPositiveAndBelow (row, (int) shown.size()))
        return;

    if (selected)
        g.fillAll (TBPalette::paleBlueGrey);

    g.setColour (TBPalette::black);
    g.setFont (font);
    g.drawText (shownLine (row), 4, 0, width - 4, height, juce::Justification::centredLeft, false);
}

juce::StringArray TBLogPage::getShownLines() const
{
    juce::StringArray result;

    for (int row = 0; row < (int) shown.size(); ++row)
        result.add (shownLine (row));

    return result;
}

juce::String TBLogPage::getTextToCopy() const
{
    const auto selection = listBox->getSelectedRows();

    if (selection.isEmpty())
        return getShownLines().joinIntoString ("\n") + "\n";

    juce::StringArray chosen;

    for (int i = 0; i < selection.size(); ++i)
        if (juce::isPositiveAndBelow (selection[i], (int) shown.size()))
            chosen.add (shownLine (selection[i]));

    return chosen.joinIntoString ("\n") + "\n";
}

bool TBLogPage::saveShownLines (const juce::File& file) const
{
    return file.replaceWithText (getShownLines().joinIntoString ("\n") + "\n", false, false, "\n");
}

void TBLogPage::chooseFileAndSave()
{
    chooser = std::make_unique<juce::FileChooser> ("Save the log lines",
                                                   juce::File::getSpecialLocation (juce::File::userDocumentsDirectory)
                                                       .getChildFile ("Tattlebox log.txt"),
                                                   "*.txt");
    juce::Component::SafePointer<TBLogPage> page (this);
    chooser->launchAsync (juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                            | juce::FileBrowserComponent::warnAboutOverwriting,
                          [page] (const juce::FileChooser& finished)
                          {
                              const auto file = finished.getResult();

                              if (page != nullptr && file != juce::File())
                                  page->saveShownLines (file);
                          });
}

// [message]
void TBLogPage::buttonClicked (juce::Button* button)
{
    if (button == pauseButton.get())
    {
        setPaused (pauseButton->getToggleState());
    }
    else if (button == clearButton.get())
    {
        firstNumber += (std::int64_t) lines.size();
        lines.clear();
        shown.clear();
        missed = 0;
        arrivedWhilePaused = 0;
        frozenRows = -1;
        listBox->deselectAllRows();
        updateView (true);
    }
    else if (button == copyButton.get())
    {
        juce::SystemClipboard::copyTextToClipboard (getTextToCopy());
    }
    else if (button == saveButton.get())
    {
        chooseFileAndSave();
    }
}
