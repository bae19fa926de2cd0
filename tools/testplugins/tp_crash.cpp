// Crashes in the call that TP_CRASH names: "processReplacing" writes
// through a null pointer, "effOpen" aborts, "setParameter" divides an
// integer by zero, "effEditIdle" overflows its stack, "effSetChunk" writes
// through a null pointer in the session's third effSetChunk. Each in a function of
// its own name, for the tests that resolve the crash report's frames.
#include "TestEffect.h"

#include <cstdlib>
#include <cstring>

namespace
{
int* volatile nowhere = nullptr;
volatile int zero = 0;
volatile bool deeper = true;

bool crashesIn (const char* call)
{
    const char* chosen = std::getenv ("TP_CRASH");
    return chosen != nullptr && std::strcmp (chosen, call) == 0;
}
} // namespace

// Out of line and visible to the debugger under these names.
extern "C" __attribute__ ((noinline)) void tpWriteThroughNull()
{
    *nowhere = 1;
}

extern "C" __attribute__ ((noinline)) int tpDivideByZero (int value)
{
    return value / zero;
}

extern "C" __attribute__ ((noinline)) void tpAbort()
{
    std::abort();
}

extern "C" __attribute__ ((noinline)) int tpRecurse (int depth)
{
    volatile char frame[512];
    frame[depth % 512] = (char) depth;
    return deeper ? tpRecurse (depth + 1) + frame[0] : depth;
}

namespace
{
class CrashEffect final : public tp::TestEffect
{
public:
    explicit CrashEffect (AudioMasterCallback host) : TestEffect (host, tp::named ("tp_crash")) {}

private:
    static constexpr std::int32_t effSetChunk = 24;
    int chunksSet = 0;

    VstIntPtr dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) override
    {
        if (opcode == tp::effOpen && crashesIn ("effOpen"))
            tpAbort();

        if (opcode == tp::effEditIdle && crashesIn ("effEditIdle"))
            return tpRecurse (0);

        if (opcode == effSetChunk && crashesIn ("effSetChunk") && ++chunksSet == 3)
            tpWriteThroughNull();

        return TestEffect::dispatch (opcode, index, value, ptr, opt);
    }

    void onBlock() override
    {
        if (crashesIn ("processReplacing"))
            tpWriteThroughNull();
    }

    void onSetParameter (std::int32_t index, float) override
    {
        if (crashesIn ("setParameter"))
            tpDivideByZero (index + 1);
    }
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<CrashEffect>)
