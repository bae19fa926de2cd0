// The library's exports: the VST 2 entry under both names hosts look for.
// Built into Tattlebox.so itself; the version script hides everything else.
#include "Bridge.h"

// Host thread that loads the plug-in.
extern "C" __attribute__ ((visibility ("default"))) AEffect* VSTPluginMain (AudioMasterCallback hostCallback)
{
    try
    {
        return tattleboxMain (hostCallback);
    }
    catch (...)
    {
        return nullptr;
    }
}

// The same function under the name "main" (C++ reserves that name for the program's own).
extern "C" __attribute__ ((visibility ("default"), alias ("VSTPluginMain")))
AEffect* tattleboxVstMain (AudioMasterCallback hostCallback) asm ("main");
