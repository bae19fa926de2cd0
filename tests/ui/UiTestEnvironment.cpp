// One JUCE GUI environment for the whole test run; the test thread is the message thread.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace
{
    class JuceGuiEnvironment : public ::testing::Environment
    {
    public:
        void SetUp() override    { gui = std::make_unique<juce::ScopedJuceInitialiser_GUI>(); }
        void TearDown() override { gui.reset(); }

    private:
        std::unique_ptr<juce::ScopedJuceInitialiser_GUI> gui;
    };

    [[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment (new JuceGuiEnvironment);
}
