#include "../ModuleFile.h"
#include "WindowsHeaders.h"

namespace
{
    HMODULE moduleAt (const void* address, DWORD extraFlags) noexcept
    {
        HMODULE module = nullptr;

        if (! ::GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | extraFlags,
                                    static_cast<LPCWSTR> (address), &module))
            return nullptr;

        return module;
    }
}

void* getModuleHandle (const void* addressInModule) noexcept
{
    return moduleAt (addressInModule, GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
}

juce::File getModuleFile (const void* addressInModule)
{
    auto* module = moduleAt (addressInModule, GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);

    if (module == nullptr)
        return {};

    // The wide form: the ANSI one turns characters outside the code page into
    // '?', and the state file beside the library would then never be found.
    wchar_t path[32768];
    const auto length = ::GetModuleFileNameW (module, path, (DWORD) std::size (path));

    if (length == 0 || length >= std::size (path))
        return {};

    return juce::File (juce::String (path, (size_t) length));
}

void* holdModule (const void* addressInModule) noexcept
{
    // Counts one more user of the library, as a second LoadLibrary would.
    return moduleAt (addressInModule, 0);
}

void releaseModule (void* handle) noexcept
{
    if (handle != nullptr)
        ::FreeLibrary (static_cast<HMODULE> (handle));
}

// Windows names a loaded module by its full path already.
void noteLoadFolder() noexcept {}

// ExitProcess ends every other thread first; the message thread is the host's own.
void callAtProcessExit (void (*)()) noexcept {}
