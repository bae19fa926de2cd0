// Asks the host for its version and the current shell id inside the entry,
// before the record is handed over, as SDK-built plug-ins do. The answers are
// reported back as the vendor version (version * 1000 + id, kept small).
#include "TestEffect.h"

namespace
{
class EntryCallbacksEffect final : public tp::TestEffect
{
public:
    explicit EntryCallbacksEffect (AudioMasterCallback host) : TestEffect (host, tp::named ("tp_entry_callbacks"))
    {
        hostVersion = callHost (tp::audioMasterVersion, 0, 0, nullptr, 0.0f);
        currentId = callHost (tp::audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    }

private:
    VstIntPtr dispatch (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) override
    {
        if (opcode == tp::effGetVendorVersion)
            return hostVersion * 1000 + currentId;

        return TestEffect::dispatch (opcode, index, value, ptr, opt);
    }

    VstIntPtr hostVersion = 0;
    VstIntPtr currentId = 0;
};

} // namespace

TP_EXPORT_ENTRY (tpMain, "main");
TP_EXPORT_ENTRY (tpVstPluginMain, "VSTPluginMain");

TP_ENTRIES_MAKE (tp::make<EntryCallbacksEffect>)
