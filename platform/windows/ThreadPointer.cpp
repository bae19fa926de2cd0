#include "../ThreadPointer.h"
#include "WindowsHeaders.h"

#include <intrin.h>

namespace
{
    // Taken at the library's load, so that no call path ever allocates one.
    const DWORD pointerIndex = ::TlsAlloc();

    // The first 64 indexes live in the thread's own block, read directly:
    // TlsGetValue would reset the thread's last error, which the host may
    // still be about to read.
    constexpr DWORD slotsInBlock = 64;

   #pragma GCC diagnostic push
   #pragma GCC diagnostic ignored "-Warray-bounds" // a segment offset, not an array index
    void* readFromBlock (DWORD index) noexcept
    {
       #if defined (_WIN64)
        return reinterpret_cast<void*> (__readgsqword (0x1480 + index * sizeof (void*)));
       #else
        return reinterpret_cast<void*> (__readfsdword (0xE10 + index * sizeof (void*)));
       #endif
    }
   #pragma GCC diagnostic pop
}

void* getThreadPointer() noexcept
{
    if (pointerIndex < slotsInBlock)
        return readFromBlock (pointerIndex);

    if (pointerIndex == TLS_OUT_OF_INDEXES)
        return nullptr;

    const auto error = ::GetLastError();
    auto* value = ::TlsGetValue (pointerIndex);
    ::SetLastError (error);
    return value;
}

void setThreadPointer (void* value) noexcept
{
    if (pointerIndex == TLS_OUT_OF_INDEXES)
        return;

    const auto error = ::GetLastError();
    ::TlsSetValue (pointerIndex, value);
    ::SetLastError (error);
}
