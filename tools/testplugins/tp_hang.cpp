// Hangs in the call that TP_HANG names, for the time it gives:
// "effEditIdle:1.5" sleeps 1.5 s in effEditIdle; "processReplacing:7" in
// the first block. Any dispatcher opcode is named by its number too ("19:2").
#include "TestEffect.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

namespace
{
struct Hang
{
    std::string call;
    double seconds = 0.0;
};

Hang chosenHang()
{
    Hang hang;

    if (const char* text = std::getenv ("TP_HANG"))
        if (const char* colon = std::strchr (text, ':'))
            hang = { std::string (text, colon), std::atof (colon + 1) };

    return hang;
}

void hangFor (double seconds)
{
    std::this_thread::sleep_for (std::chrono::duration<double> (seconds));
}

class HangEffect final : public tp::TestEffect
{
public:
    explicit HangEffect (AudioMasterCallback host) : TestEffect (host, tp::named ("tp_hang")), hang (chosenHang()) {}

private:
    VstIntPtr dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) override
    {
        if ((opcode == tp::effEditIdle && hang.call == "effEditIdle") || hang.call == std::to_string (opcode))
            once();

        return TestEffect::dispatch (opcode, index, value, ptr, opt);
    }

    void onBlock() override
    {
        if (hang.call == "processReplacing")
            once();
    }

    void once()
    {
        if (! std::exchange (done, true))
            hangFor (hang.seconds);
    }

    Hang hang;
    bool done = false;
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<HangEffect>)
