// The library's load and unload lines. Built into Tattlebox.so itself (not a
// static library), so that the linker cannot drop it.
#include "../ModuleFile.h"
#include "../StaticOrder.h"
#include "../../bridge/Bridge.h"

namespace
{
    struct LibraryLifetime
    {
        // [load/unload] After the logger and the bridge state exist.
        LibraryLifetime()
        {
            noteLoadFolder();
            dllMain (getModuleHandle (this), libraryAttach);
        }

        // [load/unload] Before the bridge state and the logger go.
        ~LibraryLifetime() { dllMain (getModuleHandle (this), libraryDetach); }
    };

    LibraryLifetime libraryLifetime TB_STATIC_LIFETIME;
}
