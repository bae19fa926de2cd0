// One tbhost run: loads the plug-in through JUCE's own VST 2 hosting code,
// drives the scripted session once per cycle and prints the summary.
#pragma once

#include "Options.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

namespace tbhost
{

// A transport that rolls from the start of the session at 120 bpm in 4/4,
// as a DAW's would: what the plug-in's audioMasterGetTime is answered with.
class Transport : public juce::AudioPlayHead
{
public:
    void setPosition (juce::int64 samples, double rate) noexcept { samplePosition = samples; sampleRate = rate; }
    juce::Optional<PositionInfo> getPosition() const override;

private:
    juce::int64 samplePosition = 0;
    double sampleRate = 44100.0;
};

class HostSession
{
public:
    // exit status: 0 done, 1 the dump file cannot be written, 3 the plug-in did not load.
    using FinishedCallback = std::function<void (int exitStatus)>;

    HostSession (Options options, FinishedCallback onFinished);
    ~HostSession();

    // Message thread: the session runs there, as JUCE's VST host expects.
    void start();

private:
    bool openDumpFile();
    void runCycle();
    bool loadPlugin();
    void processBlocks();
    template <typename Sample>
    void processBlocksIn();
    void fillMidi (juce::MidiBuffer& midi, int block) const;
    void parameterPass();
    void listPrograms();
    void createEditor();
    void finishCycle();
    void finish (int exitStatus);

    void print (const juce::String& key, const juce::String& value) const;

    Options options;
    FinishedCallback onFinished;
    juce::VSTPluginFormat format;
    std::unique_ptr<juce::AudioPluginInstance> instance;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    std::unique_ptr<juce::FileOutputStream> dump;
    Transport transport;
    int cycle = 0;
    int blocksProcessed = 0;
    juce::int64 nonFiniteSamples = 0;
};

} // namespace tbhost
