// Whether a thread has ended without saying so: at a Windows process's exit
// the system ends every other thread before the library's unload runs, and
// waiting for one of them would only hold the exit up.
#pragma once

#include <thread>

#if defined (_WIN32)
 #include <pthread.h>
 #include "windows/WindowsHeaders.h"
#endif

// [load/unload] or [shut-down]
inline bool threadHasEnded (std::thread& thread) noexcept
{
   #if defined (_WIN32)
    const auto handle = static_cast<HANDLE> (pthread_gethandle (thread.native_handle()));
    return handle != nullptr && ::WaitForSingleObject (handle, 0) == WAIT_OBJECT_0;
   #else
    (void) thread; // Linux ends threads only after the statics are gone
    return false;
   #endif
}
