#include "Platform.h"

#include <dlfcn.h>

#include <filesystem>

namespace tbsession
{

PluginLibrary::PluginLibrary (const std::string& path)
{
    // Absolute, so that dlopen never searches the library path for a bare name.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute (path, ec);
    handle = ::dlopen ((ec ? path : absolute.string()).c_str(), RTLD_NOW | RTLD_LOCAL);

    if (handle == nullptr)
    {
        const char* reason = ::dlerror();
        loadError = reason != nullptr ? reason : "unknown error";
    }
}

PluginLibrary::~PluginLibrary()
{
    if (handle != nullptr)
        ::dlclose (handle);
}

void* PluginLibrary::find (const char* name) const
{
    return handle != nullptr ? ::dlsym (handle, name) : nullptr;
}

HostThreadScope::HostThreadScope() {}
HostThreadScope::~HostThreadScope() {}

void pumpMessages (int) {}

} // namespace tbsession
