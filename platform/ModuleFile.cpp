#include "ModuleFile.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

void* getModuleHandle (const void* addressInModule) noexcept
{
    Dl_info info {};

    if (dladdr (addressInModule, &info) == 0)
        return nullptr;

    return info.dli_fbase;
}

juce::File getModuleFile (const void* addressInModule)
{
    Dl_info info {};

    if (dladdr (addressInModule, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == 0)
        return {};

    // dli_fname is the name the host passed to dlopen, possibly relative.
    char resolved[PATH_MAX];

    if (realpath (info.dli_fname, resolved) != nullptr)
        return juce::File (juce::CharPointer_UTF8 (resolved));

    return juce::File::getCurrentWorkingDirectory().getChildFile (juce::CharPointer_UTF8 (info.dli_fname));
}
