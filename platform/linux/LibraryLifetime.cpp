// The library's load and unload lines. Built into Tattlebox.so itself (not a
// static library), so that the linker cannot drop it.
#include "../ModuleFile.h"
#include "../../bridge/Bridge.h"

namespace
{
    struct LibraryLifetime
    {
        // Loading thread (dlopen); after the logger and the bridge state exist.
        LibraryLifetime()
        {
            noteLoadFolder();
            dllMain (getModuleHandle (this), libraryAttach);
        }

        // Unloading or exiting thread; before the bridge state and the logger go.
        ~LibraryLifetime() { dllMain (getModuleHandle (this), libraryDetach); }
    };

    // The logger is 101, the bridge state 102: constructed after both, destroyed before.
    LibraryLifetime libraryLifetime __attribute__ ((init_priority (103)));
}
