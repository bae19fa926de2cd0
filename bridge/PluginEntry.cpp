// The library's VST 2 entry. Built into the plug-in library itself; the
// platform layer gives it its second name, "main".
#include "Bridge.h"
#include "../platform/PluginExport.h"

// [start-up]
TB_PLUGIN_EXPORT AEffect* VSTPluginMain (AudioMasterCallback hostCallback)
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

TB_PLUGIN_SECOND_NAME (VSTPluginMain)
