#include "TBOptionsPage.h"
#include "TBPalette.h"

#include "crash/CrashReport.h"
#include "log/BackgroundWriter.h"
#include "log/LogFile.h"
#include "log/TBLogger.h"
#include "log/TraceFile.h"
#include "record/SessionRecorder.h"

namespace
{
    constexpr int marginX = 16;
    constexpr int toggleWidth = 200;
    constexpr int noteX = marginX + toggleWidth + 8;
    constexpr int noteWidth = 330;

   #if defined (_WIN32)
    const char* const debugOutputName = "the debug-output channel (OutputDebugString)";
   #else
    const char* const debugOutputName = "the host's standard error";
   #endif

    void syncToggle (juce::ToggleButton& toggle, bool state)
    {
        if (toggle.getToggleState() != state)
            toggle.setToggleState (state, juce::dontSendNotification);
    }
}

TBOptionsPage::TBOptionsPage()
    : juce::Component ("TBOptionsPage")
{
    auto& logger = tbLogger;

    addHeading ("What each line carries");
    logParametersToggle = addToggle ("Log Parameters", "the arguments of each call, decoded", logger.logParameters);
    logReturnParametersToggle = addToggle ("Log Return Parameters", "a second line with what the call gave back",
                                           logger.logReturnParameters);
    logTimeToggle = addToggle ("Log Time", "the time of day in front of each line", logger.logTime);
    decodeStructuresToggle = addToggle ("Decode Structures", "what pointers point to: MIDI, time info, layouts",
                                        logger.decodeStructures);

    addHeading ("Measuring");
    timeCallsToggle = addToggle ("Time Calls", "each call's duration, on pages and return lines",
                                 logger.timeCalls);
    logSummaryToggle = addToggle ("Log Summary", "a line per entry called, with timings, at Close",
                                  logger.logSummary);

    addHeading ("Where the lines go");
    logToDebugOutputToggle = addToggle ("Log to Debug Output", debugOutputName, logger.logToDebugOutput);
    logToFileToggle = addToggle ("Log to File", "a file beside the settings, started anew at 64 MB",
                                 logger.logToFile);
    writeInBackgroundToggle = addToggle ("Write in Background", "by a thread of its own: calls never wait for a disk",
                                         logger.writeInBackground);
    writeTraceToggle = addToggle ("Write Trace", "timed calls as JSON for trace viewers, beside the log",
                                  logger.writeTrace);
    logFilePlace = &addNote ({});
    addNote ("The Log page always shows them.");

    addHeading ("When the target fails");
    reportCrashesToggle = addToggle ("Report Crashes", "the call, the threads and the stack, then the crash goes on",
                                     logger.reportCrashes);
    hangNote = &addNote ({});
    recordSessionToggle = addToggle ("Record Session", "every call, for tbreplay; from the next session on",
                                     logger.recordSession);
    recordAudioToggle = addToggle ("Record Audio", "the blocks' samples too: about 1.5 MB a second in stereo",
                                   logger.recordAudio);

    addHeading ("From one session to the next");
    rememberTargetToggle = addToggle ("Remember Target", "load this plugin again next time, without asking",
                                      logger.rememberTarget);
    refresh();
}

TBOptionsPage::~TBOptionsPage() = default;

void TBOptionsPage::addHeading (const juce::String& text)
{
    nextY += nextY > 10 ? 10 : 0;
    auto label = std::make_unique<juce::Label> (text, text);
    label->setFont (juce::Font (15.0f, juce::Font::bold));
    label->setColour (juce::Label::textColourId, TBPalette::darkBlue);
    label->setBounds (marginX - 4, nextY, toggleWidth + noteWidth, rowHeight);
    addAndMakeVisible (*label);
    labels.push_back (std::move (label));
    nextY += rowStep;
}

std::unique_ptr<juce::ToggleButton> TBOptionsPage::addToggle (const juce::String& text, const juce::String& what,
                                                              std::atomic<bool>& option)
{
    const bool state = option.load();
    auto toggle = std::make_unique<juce::ToggleButton> (text);
    toggle->setBounds (marginX, nextY, toggleWidth, rowHeight);
    toggle->setTooltip (what.substring (0, 1).toUpperCase() + what.substring (1));
    toggle->setToggleState (state, juce::dontSendNotification);
    toggle->setColour (juce::ToggleButton::textColourId, TBPalette::black);
    toggle->setColour (juce::ToggleButton::tickColourId, TBPalette::black);
    toggle->setColour (juce::ToggleButton::tickDisabledColourId, TBPalette::darkGrey);
    addAndMakeVisible (*toggle);
    toggle->addListener (this);

    auto note = std::make_unique<juce::Label> (text + " note", what);
    note->setColour (juce::Label::textColourId, TBPalette::darkGrey);
    note->setBounds (noteX, nextY, noteWidth, rowHeight);
    addAndMakeVisible (*note);
    labels.push_back (std::move (note));

    nextY += rowStep;
    shownSwitches.emplace_back (toggle.get(), &option);
    return toggle;
}

juce::Label& TBOptionsPage::addNote (const juce::String& text)
{
    auto note = std::make_unique<juce::Label> ("note", text);
    note->setColour (juce::Label::textColourId, TBPalette::darkGrey);
    note->setBounds (marginX, nextY, toggleWidth + 8 + noteWidth, rowHeight);
    note->setMinimumHorizontalScale (0.7f);
    addAndMakeVisible (*note);
    labels.push_back (std::move (note));
    nextY += rowStep - 4;
    return *labels.back();
}

void TBOptionsPage::refresh()
{
    for (const auto& [toggle, option] : shownSwitches)
        syncToggle (*toggle, option->load());

    const auto seconds = tbLogger.hangSeconds.load();
    const auto hangs = seconds > 0.0 ? "A call that runs longer than " + juce::String (seconds, seconds < 10.0 ? 1 : 0)
                                           + " s is reported as hanging (hangSeconds in the settings file)."
                                     : juce::String ("Hangs are not reported (hangSeconds is 0 in the settings file).");

    if (hangNote->getText() != hangs)
        hangNote->setText (hangs, juce::dontSendNotification);

    const auto place = logFile.getPlace();
    const auto text = place == juce::File() ? juce::String() : "File: " + place.getFullPathName();

    if (logFilePlace->getText() != text)
        logFilePlace->setText (text, juce::dontSendNotification);
}

// [message]
void TBOptionsPage::buttonClicked (juce::Button* button)
{
    auto& logger = tbLogger;
    const auto on = button->getToggleState();

    if (button == logParametersToggle.get())             logger.logParameters = on;
    else if (button == logReturnParametersToggle.get())  logger.logReturnParameters = on;
    else if (button == logTimeToggle.get())              logger.logTime = on;
    else if (button == decodeStructuresToggle.get())     logger.decodeStructures = on;
    else if (button == logToDebugOutputToggle.get())     logger.logToDebugOutput = on;
    else if (button == rememberTargetToggle.get())       logger.rememberTarget = on;
    else if (button == timeCallsToggle.get())            logger.timeCalls = on;
    else if (button == logSummaryToggle.get())           logger.logSummary = on;
    else if (button == recordSessionToggle.get())        logger.recordSession = on;
    else if (button == recordAudioToggle.get())          logger.recordAudio = on;
    else if (button == writeInBackgroundToggle.get())
    {
        logger.writeInBackground = on;

        if (on)
            backgroundWriter.start();
        else if (! sessionRecorder.isOn()) // a recording reaches its file only through the writer
            backgroundWriter.stop();
    }
    else if (button == reportCrashesToggle.get())
    {
        // A handler installed on top of ours since keeps ours in place.
        if (on)
        {
            logger.reportCrashes = true;
            startCrashReports();
        }
        else if (stopCrashReports())
        {
            logger.reportCrashes = false;
        }
        else
        {
            button->setToggleState (true, juce::dontSendNotification);
        }
    }
    else if (button == writeTraceToggle.get())
    {
        // From now on; the file was started anew at this session's first start.
        if (on && ! traceFile.start())
        {
            button->setToggleState (false, juce::dontSendNotification);
            return;
        }

        if (! on)
            traceFile.pause();

        logger.writeTrace = on;
    }
    else if (button == logToFileToggle.get())
    {
        // Opened before the switch lets lines through; a file that cannot be
        // opened says so in the other sinks and leaves the switch off.
        if (on && ! logFile.openAtPlace())
        {
            button->setToggleState (false, juce::dontSendNotification);
            return;
        }

        logger.logToFile = on;
    }
}
