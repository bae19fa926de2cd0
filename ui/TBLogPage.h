// TBLogPage: the "Log" page. The lines as they are written, newest at the
// bottom, the view following the end until the user scrolls up or pauses; a
// filter, and commands to clear, copy and save what is shown. The lines come
// from the logger's ring (LineRing.h), copied out at every timer tick
// whichever page is in front, so that none is missed while the page is away.
#pragma once

#include "log/BackgroundWriter.h"
#include "log/LineRing.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <deque>
#include <memory>

class TBLogPage : public juce::Component,
                  private juce::ListBoxModel,
                  private juce::Button::Listener,
                  private juce::TextEditor::Listener,
                  private LineRing::Reader
{
public:
    static constexpr int maxLinesKept = 20000;
    // Lines copied out of the ring at one tick: a burst must not stall the window.
    static constexpr int maxLinesPerTick = 4000;

    // [message]
    TBLogPage();
    ~TBLogPage() override;

    // [message] Every timer tick: takes what the ring holds now.
    void drain();

    // [message] Pausing, from the button or by scrolling up, and following again.
    void setPaused (bool shouldPause);
    bool isPaused() const noexcept { return paused; }
    bool isFollowing() const noexcept { return ! paused && ! scrolledAway; }

    // [message] The lines shown (all, or those the filter lets through), oldest first.
    juce::StringArray getShownLines() const;
    // [message] The text Copy puts on the clipboard: the selected lines, or all shown.
    juce::String getTextToCopy() const;
    // [message] Writes the lines shown, one per line; false when the file cannot be written.
    bool saveShownLines (const juce::File& file) const;

    std::uint64_t getMissedCount() const noexcept { return missed; }
    std::uint64_t getArrivedWhilePaused() const noexcept { return arrivedWhilePaused; }
    int getNumLinesKept() const noexcept { return (int) lines.size(); }

    void resized() override;

    // The controls, in the order they are created.
    std::unique_ptr<juce::TextEditor> filterEditor;
    std::unique_ptr<juce::TextButton> pauseButton, clearButton, copyButton, saveButton;
    std::unique_ptr<juce::ListBox> listBox;
    std::unique_ptr<juce::Label> statusLabel;
    // The background writer's figures, below the status, once it has run.
    std::unique_ptr<juce::Label> writerLabel;

    // "Writer: 123456 lines written, at most 812 waiting, 0 dropped", and the trace's events.
    static juce::String describeWriter (const BackgroundWriter::Figures& figures,
                                        std::uint64_t traceEvents, std::uint64_t traceDropped);

private:
    // ListBoxModel
    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override;
    // Button::Listener
    void buttonClicked (juce::Button* button) override;
    // TextEditor::Listener
    void textEditorTextChanged (juce::TextEditor&) override;
    // LineRing::Reader
    void lineRead (const char* text, std::size_t length) override;
    void linesMissed (std::uint64_t count) override;

    void applyFilter();
    void dropOldLines();
    bool isAtEnd() const;
    void updateView (bool added);
    void updateStatus();
    void updateWriterFigures();
    void chooseFileAndSave();
    const juce::String& shownLine (int row) const;

    // Every line kept, numbered from firstNumber; shown holds the numbers of
    // those the filter lets through. While paused, the view keeps its rows.
    std::deque<juce::String> lines;
    std::deque<std::int64_t> shown;
    std::int64_t firstNumber = 0;
    juce::String filter;
    bool paused = false, scrolledAway = false;
    int frozenRows = -1;
    std::uint64_t missed = 0, arrivedWhilePaused = 0;
    std::unique_ptr<juce::FileChooser> chooser;
    juce::Font font { juce::Font::getDefaultMonospacedFontName(), 13.0f, juce::Font::plain };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TBLogPage)
};
