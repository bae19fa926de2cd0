#include "../ModuleFile.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

void* getModuleHandle (const void* addressInModule) noexcept
{
    Dl_info info {};

    if (dladdr (addressInModule, &info) == 0)
        return nullptr;

    return info.dli_fbase;
}

namespace
{
    // A path is bytes to the system: one that is not valid UTF-8 must not reach
    // JUCE's UTF-8 reader, which runs past the end of such text.
    juce::String fromSystemBytes (const char* text)
    {
        return juce::String::createStringFromData (text, (int) std::strlen (text));
    }
}

juce::File getModuleFile (const void* addressInModule)
{
    Dl_info info {};

    if (dladdr (addressInModule, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == 0)
        return {};

    // dli_fname is the name the host passed to dlopen, possibly relative.
    char resolved[PATH_MAX];

    if (realpath (info.dli_fname, resolved) != nullptr)
        return juce::File (fromSystemBytes (resolved));

    return juce::File::getCurrentWorkingDirectory().getChildFile (fromSystemBytes (info.dli_fname));
}

void* holdModule (const void* addressInModule) noexcept
{
    Dl_info info {};

    if (dladdr (addressInModule, &info) == 0 || info.dli_fname == nullptr)
        return nullptr;

    // The library is loaded already: this only counts one more user of it.
    return dlopen (info.dli_fname, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
}

void releaseModule (void* handle) noexcept
{
    if (handle != nullptr)
        dlclose (handle);
}
