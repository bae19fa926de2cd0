// One GUI framework for the whole test program, as in the plug-in; the test
// thread is its message thread. Linked into every test program that makes
// components.
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
