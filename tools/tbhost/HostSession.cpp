#include "HostSession.h"
#include "TestSignal.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tbhost
{

namespace
{
// Plug-in texts may hold anything; one summary line must stay one line.
juce::String oneLine (const juce::String& text)
{
    juce::String result;

    for (auto c : text)
        result += (c < 0x20 || c == 0x7f) ? juce::juce_wchar ('?') : c;

    return result.trim();
}

juce::String formatValue (float value)
{
    return juce::String::formatted ("%.6f", (double) value);
}
} // namespace

HostSession::HostSession (Options opts, FinishedCallback callback)
    : options (std::move (opts)), onFinished (std::move (callback))
{
}

HostSession::~HostSession()
{
    editor.reset();
    instance.reset();
}

void HostSession::print (const juce::String& key, const juce::String& value) const
{
    // Flushed line by line: a plug-in that crashes the process must not take
    // the lines before it along.
    std::printf ("%s: %s\n", key.toRawUTF8(), value.toRawUTF8());
    std::fflush (stdout);
}

void HostSession::start()
{
    if (! openDumpFile())
        return finish (1);

    runCycle();
}

bool HostSession::openDumpFile()
{
    if (options.dumpFile == juce::File())
        return true;

    options.dumpFile.deleteFile();
    dump = std::make_unique<juce::FileOutputStream> (options.dumpFile);

    if (dump->openedOk())
        return true;

    std::fprintf (stderr, "tbhost: cannot write %s\n", options.dumpFile.getFullPathName().toRawUTF8());
    return false;
}

bool HostSession::loadPlugin()
{
    // The description is built here rather than scanned, so the plug-in's
    // entry runs exactly once per cycle.
    juce::PluginDescription description;
    description.fileOrIdentifier = options.plugin.getFullPathName();
    description.pluginFormatName = format.getName();
    description.name = options.plugin.getFileNameWithoutExtension();

    juce::String error;
    instance = format.createInstanceFromDescription (description, options.sampleRate, options.blockSize, error);

    if (instance != nullptr)
        return true;

    std::fprintf (stderr, "tbhost: cannot load %s: %s\n", options.plugin.getFullPathName().toRawUTF8(),
                  error.isNotEmpty() ? error.toRawUTF8() : "no instance");
    return false;
}

void HostSession::runCycle()
{
    if (options.cycles > 1)
        print ("cycle", juce::String (cycle + 1));

    if (! loadPlugin())
        return finish (3);

    print ("name", oneLine (instance->getName()));
    print ("inputs", juce::String (instance->getTotalNumInputChannels()));
    print ("outputs", juce::String (instance->getTotalNumOutputChannels()));

    instance->setPlayHead (&transport);

    // Asked for and offered: JUCE then calls processDoubleReplacing.
    const bool doublePrecision = options.doublePrecision && instance->supportsDoublePrecisionProcessing();
    instance->setProcessingPrecision (doublePrecision ? juce::AudioProcessor::doublePrecision
                                                      : juce::AudioProcessor::singlePrecision);

    if (options.doublePrecision)
        print ("precision", doublePrecision ? "double" : "single");

    instance->prepareToPlay (options.sampleRate, options.blockSize);
    print ("latency", juce::String (instance->getLatencySamples()));

    processBlocks();

    if (options.parameterPass)
        parameterPass();

    listPrograms();
    createEditor();
    print ("blocks", juce::String (blocksProcessed));
    print ("non-finite samples", juce::String (nonFiniteSamples));

    if (editor != nullptr && options.editorMilliseconds >= 0)
    {
        editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar | juce::ComponentPeer::windowAppearsOnTaskbar);
        editor->setVisible (true);
        juce::Timer::callAfterDelay (options.editorMilliseconds, [this] { finishCycle(); });
        return;
    }

    finishCycle();
}

void HostSession::processBlocks()
{
    if (instance->isUsingDoublePrecision())
        processBlocksIn<double>();
    else
        processBlocksIn<float>();
}

template <typename Sample>
void HostSession::processBlocksIn()
{
    const int inputs = instance->getTotalNumInputChannels();
    const int outputs = instance->getTotalNumOutputChannels();
    const int blockSize = options.blockSize;

    juce::AudioBuffer<Sample> buffer (juce::jmax (1, inputs, outputs), blockSize);
    juce::MidiBuffer midi;
    std::vector<TestSignal> signals;

    for (int c = 0; c < inputs; ++c)
        signals.emplace_back (c);

    std::int64_t nonFinite = 0;

    for (int block = 0; block < options.blocks; ++block)
    {
        buffer.clear();

        for (int c = 0; c < inputs; ++c)
        {
            auto* data = buffer.getWritePointer (c);

            for (int i = 0; i < blockSize; ++i)
                data[i] = (Sample) signals[(std::size_t) c].next (options.sampleRate);
        }

        fillMidi (midi, block);
        transport.setPosition ((juce::int64) block * blockSize, options.sampleRate);
        instance->processBlock (buffer, midi);

        for (int c = 0; c < outputs; ++c)
        {
            const auto* data = buffer.getReadPointer (c);

            for (int i = 0; i < blockSize; ++i)
                nonFinite += std::isfinite (data[i]) ? 0 : 1;

            if (dump != nullptr)
                dump->write (data, sizeof (Sample) * (std::size_t) blockSize);
        }
    }

    if (dump != nullptr)
        dump->flush();

    blocksProcessed = options.blocks;
    nonFiniteSamples = nonFinite;
}

juce::Optional<juce::AudioPlayHead::PositionInfo> Transport::getPosition() const
{
    constexpr double bpm = 120.0;
    const double seconds = (double) samplePosition / sampleRate;
    const double ppq = seconds * bpm / 60.0;

    PositionInfo info;
    info.setIsPlaying (true);
    info.setBpm (bpm);
    info.setTimeSignature (juce::AudioPlayHead::TimeSignature { 4, 4 });
    info.setTimeInSamples (samplePosition);
    info.setTimeInSeconds (seconds);
    info.setPpqPosition (ppq);
    info.setPpqPositionOfLastBarStart (std::floor (ppq / 4.0) * 4.0);
    return info;
}

// Instruments hear nothing in the audio input: a chord starts in the first
// block and stops halfway, for every plug-in that takes MIDI; on the way a
// short phrase with a controller, a pitch bend and a SysEx message.
void HostSession::fillMidi (juce::MidiBuffer& midi, int block) const
{
    midi.clear();

    if (! instance->acceptsMidi())
        return;

    for (int note : { 60, 64, 67 })
    {
        if (block == 0)
            midi.addEvent (juce::MidiMessage::noteOn (1, note, (juce::uint8) 100), 0);
        else if (block == options.blocks / 2)
            midi.addEvent (juce::MidiMessage::noteOff (1, note), 0);
    }

    const int half = options.blockSize / 2;

    if (block == 1)
    {
        midi.addEvent (juce::MidiMessage::controllerEvent (1, 7, 100), 0);
        midi.addEvent (juce::MidiMessage::noteOn (1, 72, (juce::uint8) 90), half);
        midi.addEvent (juce::MidiMessage::pitchWheel (1, 8192 + 2048), half);
    }
    else if (block == 2)
    {
        const juce::uint8 identityRequest[] = { 0x7E, 0x7F, 0x06, 0x01 };
        midi.addEvent (juce::MidiMessage::createSysExMessage (identityRequest, (int) sizeof (identityRequest)), 0);
        midi.addEvent (juce::MidiMessage::noteOff (1, 72), half);
        midi.addEvent (juce::MidiMessage::pitchWheel (1, 8192), half);
    }
}

void HostSession::parameterPass()
{
    const auto& parameters = instance->getParameters();
    print ("parameters", juce::String (parameters.size()));

    for (auto* parameter : parameters)
    {
        const float before = parameter->getValue();
        const float wanted = before >= 0.5f ? 0.25f : 0.75f;
        parameter->setValue (wanted);
        const float after = parameter->getValue();

        print ("parameter " + juce::String (parameter->getParameterIndex()),
               oneLine (parameter->getName (256)) + " | " + formatValue (before) + " | " + formatValue (wanted)
                   + " | " + formatValue (after) + " | " + oneLine (parameter->getCurrentValueAsText()));
    }
}

void HostSession::listPrograms()
{
    const int programs = instance->getNumPrograms();
    print ("programs", juce::String (programs));

    for (int i = 0; i < programs; ++i)
        print ("program " + juce::String (i), oneLine (instance->getProgramName (i)));
}

void HostSession::createEditor()
{
    if (instance->hasEditor())
        editor.reset (instance->createEditorIfNeeded());

    print ("editor", editor != nullptr ? juce::String (editor->getWidth()) + "x" + juce::String (editor->getHeight())
                                       : juce::String ("none"));
}

void HostSession::finishCycle()
{
    editor.reset();
    instance->releaseResources();
    instance.reset();

    if (++cycle < options.cycles)
        return runCycle();

    finish (0);
}

void HostSession::finish (int exitStatus)
{
    editor.reset();
    instance.reset();
    dump.reset();
    onFinished (exitStatus);
}

} // namespace tbhost
