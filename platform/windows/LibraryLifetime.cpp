// The library's entry, DllMain. Built into Tattlebox.dll itself (not a
// static library), so that the linker keeps it. The C runtime calls it after
// the static objects (the logger, the bridge state) are built on attach, and
// before they are destroyed on detach.
#include "../../bridge/Bridge.h"
#include "WindowsHeaders.h"

// [load/unload] Process and thread attach and detach, under the loader lock.
extern "C" BOOL WINAPI DllMain (HINSTANCE module, DWORD reason, LPVOID /*reserved*/)
{
    // The windows the framework creates belong to this library's module.
    if (reason == DLL_PROCESS_ATTACH)
        juce::Process::setCurrentModuleInstanceHandle (module);

    dllMain (module, (int) reason);
    return TRUE;
}
