// Takes a known time: 30 ms in each resume (MainsChanged 1) and 120 ms in
// every other block, from the first one on, so that a host's blocks of
// 4096 frames at 44100 Hz (93 ms) overrun exactly every other time.
#include "TestEffect.h"

#include <chrono>
#include <thread>

namespace
{
class SlowEffect final : public tp::TestEffect
{
public:
    explicit SlowEffect (AudioMasterCallback host) : TestEffect (host, tp::named ("tp_slow")) {}

private:
    void onMainsChanged (bool on) override
    {
        if (on)
            std::this_thread::sleep_for (std::chrono::milliseconds (30));
    }

    void onBlock() override
    {
        if (blocks++ % 2 == 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (120));
    }

    int blocks = 0;
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<SlowEffect>)
