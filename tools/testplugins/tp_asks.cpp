// Asks the host what a plug-in usually asks, and says what it heard: at
// effOpen the vendor, product, sample rate and block size, in each block the
// time; effGetEffectName answers "asks VENDOR/PRODUCT RATE/BLOCK" and
// effGetProductString the last block's sample position. With TP_ASKS_MORE
// set, effOpen also asks the language: a replay of a recording made without
// it has no answer for that.
#include "TestEffect.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
constexpr std::int32_t audioMasterGetSampleRate = 16, audioMasterGetBlockSize = 17, audioMasterGetVendorString = 32,
                       audioMasterGetProductString = 33, audioMasterGetLanguage = 38;

struct TimeInfoStart
{
    double samplePos;
};

class AsksEffect final : public tp::TestEffect
{
public:
    explicit AsksEffect (AudioMasterCallback host) : TestEffect (host, tp::named ("tp_asks")) {}

private:
    VstIntPtr dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) override
    {
        if (opcode == tp::effOpen)
            ask();

        if (opcode == tp::effGetEffectName && ptr != nullptr)
            return copyOut (ptr, heard);

        if (opcode == tp::effGetProductString && ptr != nullptr)
            return copyOut (ptr, "samplePos " + std::to_string ((long long) lastSamplePos));

        return TestEffect::dispatch (opcode, index, value, ptr, opt);
    }

    void ask()
    {
        char vendor[64] {}, product[64] {};
        callHost (audioMasterGetVendorString, 0, 0, vendor, 0.0f);
        callHost (audioMasterGetProductString, 0, 0, product, 0.0f);
        const auto rate = callHost (audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
        const auto block = callHost (audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);

        if (std::getenv ("TP_ASKS_MORE") != nullptr)
            callHost (audioMasterGetLanguage, 0, 0, nullptr, 0.0f);

        heard = std::string ("asks ") + vendor + "/" + product + " " + std::to_string ((long long) rate) + "/"
              + std::to_string ((long long) block);
    }

    void onBlock() override
    {
        const auto answer = callHost (tp::audioMasterGetTime, 0, 0, nullptr, 0.0f);

        if (answer != 0)
            lastSamplePos = reinterpret_cast<const TimeInfoStart*> (answer)->samplePos;
    }

    static VstIntPtr copyOut (void* ptr, const std::string& text)
    {
        std::strncpy (static_cast<char*> (ptr), text.c_str(), 63);
        static_cast<char*> (ptr)[63] = 0;
        return 1;
    }

    std::string heard = "asks nothing yet";
    double lastSamplePos = -1.0;
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<AsksEffect>)
