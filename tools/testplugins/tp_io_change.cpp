// Starts with one input and two outputs and raises numInputs to two and its
// latency (initialDelay) to 64 on the first resume, telling the host through
// IOChanged. Processing only ever reads
// the first input, so a host that kept the old count stays safe; the new count
// never exceeds numOutputs, so a host that sized its buffers by the larger of
// the two at start-up stays safe as well.
#include "TestEffect.h"

namespace
{
constexpr std::int32_t ioChangedLatency = 64;

class IoChangeEffect final : public tp::TestEffect
{
public:
    explicit IoChangeEffect (AudioMasterCallback host) : TestEffect (host, settings()) {}

private:
    static tp::EffectSettings settings()
    {
        tp::EffectSettings s;
        s.name = "tp_io_change";
        s.numInputs = 1;
        s.numOutputs = 2;
        return s;
    }

    void onMainsChanged (bool on) override
    {
        if (on && effect.numInputs == 1)
        {
            effect.numInputs = 2;
            effect.initialDelay = ioChangedLatency;
            callHost (tp::audioMasterIOChanged, 0, 0, nullptr, 0.0f);
        }
    }
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<IoChangeEffect>)
