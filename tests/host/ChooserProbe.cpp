// chooser_probe TITLE FOLDER PATTERN COUNT: opens JUCE's file chooser COUNT
// times in a row (the way Tattlebox does: asynchronously, files only) and
// prints "chosen: <path>" or "cancelled" for each.
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>

namespace
{
class Probe
{
public:
    Probe (juce::String titleIn, juce::File folderIn, juce::String patternIn, int countIn)
        : title (std::move (titleIn)), folder (std::move (folderIn)), pattern (std::move (patternIn)), remaining (countIn) {}

    // Message thread.
    void next()
    {
        if (remaining-- <= 0)
        {
            chooser.reset();
            juce::MessageManager::getInstance()->stopDispatchLoop();
            return;
        }

        chooser = std::make_unique<juce::FileChooser> (title, folder, pattern, true);
        chooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                              [this] (const juce::FileChooser& fc)
                              {
                                  const auto result = fc.getResult();

                                  if (result == juce::File())
                                      std::printf ("cancelled\n");
                                  else
                                      std::printf ("chosen: %s\n", result.getFullPathName().toRawUTF8());

                                  std::fflush (stdout);
                                  juce::MessageManager::callAsync ([this] { next(); });
                              });
    }

private:
    juce::String title;
    juce::File folder;
    juce::String pattern;
    int remaining;
    std::unique_ptr<juce::FileChooser> chooser;
};
} // namespace

// Main thread, which becomes JUCE's message thread.
int main (int argc, char* argv[])
{
    if (argc != 5)
    {
        std::fprintf (stderr, "usage: chooser_probe TITLE FOLDER PATTERN COUNT\n");
        return 1;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    Probe probe (juce::String::fromUTF8 (argv[1]), juce::File (juce::String::fromUTF8 (argv[2])),
                 juce::String::fromUTF8 (argv[3]), juce::String (argv[4]).getIntValue());

    juce::MessageManager::callAsync ([&probe] { probe.next(); });
    juce::MessageManager::getInstance()->runDispatchLoop();
    return 0;
}
