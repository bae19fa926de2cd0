// render_pages <output folder>: paints each page of the control window, at the
// window's page size and with counters as a short session would leave them,
// into PNG files. Needs an X display (scripts/with-display.sh).
#include "checks/CheckRules.h"
#include "crash/HangWatch.h"
#include "log/BackgroundWriter.h"
#include "log/TBLogger.h"
#include "ui/TBAboutContent.h"
#include "ui/TBChecksPage.h"
#include "ui/TBLogPage.h"
#include "ui/TBLookAndFeel.h"
#include "ui/TBOptionsPage.h"
#include "ui/TBVstAEffectComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstring>
#include <iostream>
#include <thread>
#include <utility>

namespace
{
    // The page area inside the window's tabbed container.
    constexpr int pageWidth = 560, pageHeight = 624;
    const juce::Colour pageBackground { 0xfff2f2f2 };

    struct Count
    {
        int index;
        std::uint64_t calls;
        bool enabled = true;
    };

    void setCounts (int group, std::initializer_list<Count> counts)
    {
        for (const auto& c : counts)
        {
            opCodeGroups[group].states[c.index].callCount.store (c.calls);
            TBLogger::setOpCodeEnabled (c.enabled, group, c.index);
        }
    }

    std::uint64_t totalOf (int group)
    {
        std::uint64_t total = 0;
        for (int i = 0; i < TBLogger::getNumOpCodes (group); ++i)
            total += (std::uint64_t) TBLogger::getCallCount (group, i);
        return total;
    }

    // A synth, a minute into a session with its editor open.
    // The record a host would hold for a small synth.
    AEffect shownRecord {};

    void simulateSession()
    {
        TBLogger::setAllOpCodesEnabled (true);
        setCounts (groupDispatcher, { { 0, 1 }, { 2, 3 }, { 3, 41 }, { 5, 16 }, { 6, 2496 }, { 7, 2496 },
                                      { 8, 208 }, { 10, 2 }, { 11, 2 }, { 12, 4 }, { 13, 3 }, { 14, 1 },
                                      { 19, 1207, false }, { 23, 2 }, { 25, 2814 }, { 26, 12 }, { 35, 1 },
                                      { 45, 1 }, { 47, 1 }, { 48, 1 }, { 49, 1 }, { 51, 17 }, { 53, 0, false },
                                      { 58, 2 }, { 67, 16 }, { 68, 16 }, { 71, 1 } });
        setCounts (groupAudioMaster, { { 0, 57 }, { 1, 4 }, { 2, 1 }, { 6, 1 }, { 7, 2814, false },
                                       { 13, 0 }, { 15, 1 }, { 16, 2 }, { 17, 2 }, { 23, 5628, false },
                                       { 32, 1 }, { 33, 1 }, { 34, 1 }, { 37, 9 }, { 38, 1 },
                                       { 42, 6 }, { 43, 19 }, { 44, 19 } });
        setCounts (groupAEffectFunctions, { { functionDispatcher, totalOf (groupDispatcher) },
                                            { functionAudioMaster, totalOf (groupAudioMaster) },
                                            { functionProcess, 0 },
                                            { functionProcessReplacing, 2814, false },
                                            { functionSetParameter, 12 },
                                            { functionGetParameter, 310 } });

        shownRecord.magic = kEffectMagic;
        shownRecord.numPrograms = 16;
        shownRecord.numParams = 13;
        shownRecord.numInputs = 0;
        shownRecord.numOutputs = 2;
        shownRecord.flags = 0x331;
        shownRecord.ioRatio = 1.0f;
        shownRecord.object = reinterpret_cast<void*> (std::uintptr_t { 0x55d0c3a2f8e0 });
        shownRecord.uniqueID = 0x54625331; // TbS1
        shownRecord.version = 1100;
    }

    bool save (const juce::Image& image, const juce::File& file)
    {
        file.deleteFile();
        juce::FileOutputStream out (file);
        juce::PNGImageFormat png;
        const bool ok = out.openedOk() && png.writeImageToStream (image, out);
        std::cout << (ok ? "wrote " : "could not write ") << file.getFullPathName() << std::endl;
        return ok;
    }

    bool renderPage (juce::Component& page, const juce::File& file)
    {
        juce::Image image (juce::Image::ARGB, page.getWidth(), page.getHeight(), true);
        juce::Graphics g (image);
        g.fillAll (pageBackground); // the tabbed container paints this behind every page
        page.paintEntireComponent (g, true);
        return save (image, file);
    }

    bool renderOpCodePage (TBVstOpCodeListComponent& page, const juce::File& file)
    {
        page.setSize (pageWidth, pageHeight);
        page.createRows();
        page.refreshCounters();
        return renderPage (page, file);
    }

    // The Log page after a burst of calls went through the background writer:
    // its figures below the status.
    bool renderLogPage (const juce::File& file)
    {
        tbLogger.setName ("Synth.so");
        tbLogger.loggingOn = true;
        tbLogger.logParameters = true;
        tbLogger.setLineSink ([] (const char*, std::size_t) {});
        backgroundWriter.start();

        for (int i = 0; i < 3000; ++i)
        {
            tbLogger.logDispatcherCall (8, i % 13, 0, nullptr, 0.0f);
            tbLogger.logAudioMasterCall (0, i % 13, 0, nullptr, 0.5f);
        }

        backgroundWriter.stop();
        TBLogPage page;
        page.setSize (pageWidth, pageHeight);
        page.drain();
        return renderPage (page, file);
    }

    // The AEffect page while the editor's idle call has hung for 12.3 s on another thread.
    bool renderHangingPage (const juce::File& file)
    {
        std::atomic<bool> hanging { false }, done { false };
        std::thread editor ([&]
        {
            CallsInProgress::Scope idle (CallsInProgress::describe (CallsInProgress::intoTarget, functionDispatcher, 19));
            idle.startedAt (monotonicNanoseconds() - 12300000000u);
            hanging = true;

            while (! done)
                std::this_thread::yield();
        });

        while (! hanging)
            std::this_thread::yield();

        tbLogger.setLineSink ([] (const char*, std::size_t) {});
        hangWatch.look();
        TBVstAEffectComponent page (shownRecord);
        const auto ok = renderOpCodePage (page, file);
        done = true;
        editor.join();
        hangWatch.look();
        return ok;
    }

    bool renderOptionsPage (const juce::File& file)
    {
        TBOptionsPage page;
        page.setSize (pageWidth, pageHeight);
        return renderPage (page, file);
    }

    // The Checks page after a session whose host resumed late, sent a block too
    // long and left the editor open, with a denormal from the target; the
    // note on process threads switched off.
    bool renderChecksPage (const juce::File& file)
    {
        tbLogger.setLineSink ([] (const char*, std::size_t) {});
        tbLogger.checkCalls = true;
        tbLogger.checkAudio = true;

        for (auto& rule : tbLogger.checkRuleOn)
            rule = true;

        tbLogger.checkRuleOn[(int) CheckRule::processThreads] = false;

        const std::pair<CheckRule, const char*> breaches[] = {
            { CheckRule::callBeforeOpen, "effSetSampleRate before effOpen" },
            { CheckRule::callBeforeOpen, "effSetBlockSize before effOpen" },
            { CheckRule::processWhileSuspended, "processReplacing while suspended (no effMainsChanged 1 since effOpen)" },
            { CheckRule::blockSize, "processReplacing with sampleFrames 1024, more than the block size 512" },
            { CheckRule::editorState, "the editor still open at Close" },
            { CheckRule::badSamples, "processReplacing block 811: output channel 1 frame 37 is denormal" },
        };

        for (const auto& [rule, text] : breaches)
            checkRules.breach (rule, text);

        for (int block = 0; block < 5; ++block)
            checkRules.breach (CheckRule::processWhileSuspended, "processReplacing while suspended");

        for (int block = 0; block < 2811; ++block)
            checkRules.breach (CheckRule::blockSize, "processReplacing with sampleFrames 1024, more than the block size 512");

        TBChecksPage page;
        page.setSize (pageWidth, pageHeight);
        page.refresh();
        const auto ok = renderPage (page, file);

        // And scrolled to the last rows: the audio's.
        page.getViewport().setViewPosition (0, page.getViewport().getViewedComponent()->getHeight());
        return renderPage (page, file.getSiblingFile (file.getFileNameWithoutExtension() + "-end.png")) && ok;
    }

    // The title bar as the look-and-feel makes it: the minimise button in the close button's place.
    bool renderTitleBar (const juce::File& file)
    {
        struct Window : public juce::DialogWindow
        {
            Window() : juce::DialogWindow ("Tattlebox - Synth.so", juce::Colour (0xff6793ae), false, false) {}
            void closeButtonPressed() override {}
        };

        TBLookAndFeel lookAndFeel;
        Window window;
        window.setLookAndFeel (&lookAndFeel);
        window.setSize (400, 60);
        const auto ok = save (window.createComponentSnapshot (window.getLocalBounds()), file);
        window.setLookAndFeel (nullptr);
        return ok;
    }
}

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: render_pages <output folder>" << std::endl;
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);

    if (! folder.createDirectory())
    {
        std::cerr << "cannot create " << folder.getFullPathName() << std::endl;
        return 1;
    }

    simulateSession();

    TBVstAEffectComponent aEffectPage (shownRecord);
    TBVstOpCodeListComponent dispatcherPage (groupDispatcher);
    TBVstOpCodeListComponent audioMasterPage (groupAudioMaster);
    TBAboutContent aboutPage;
    aboutPage.setSize (pageWidth, pageHeight);

    bool ok = renderOpCodePage (aEffectPage, folder.getChildFile ("aeffect.png"));
    ok = renderOpCodePage (dispatcherPage, folder.getChildFile ("dispatcher.png")) && ok;
    ok = renderOpCodePage (audioMasterPage, folder.getChildFile ("audiomaster.png")) && ok;
    ok = renderPage (aboutPage, folder.getChildFile ("about.png")) && ok;
    ok = renderTitleBar (folder.getChildFile ("titlebar.png")) && ok;
    ok = renderOptionsPage (folder.getChildFile ("options.png")) && ok;
    ok = renderHangingPage (folder.getChildFile ("aeffect-hang.png")) && ok;
    ok = renderLogPage (folder.getChildFile ("log.png")) && ok;
    ok = renderChecksPage (folder.getChildFile ("checks.png")) && ok;
    return ok ? 0 : 1;
}
