#include "../ModuleFile.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

void* getModuleHandle (const void* addressInModule) noexcept
{
    Dl_info info {};

    if (dladdr (addressInModule, &info) == 0)
        return nullptr;

    return info.dli_fbase;
}

namespace
{
    // The working folder when the library was loaded: a relative name given to
    // dlopen means a file in it, whatever folder the host moves to later.
    char loadFolder[PATH_MAX] {};

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

    // dli_fname is the name the library was loaded under, possibly relative.
    // Links stay as they are: a plug-in linked into ~/.vst keeps its state and
    // its name there, not in the (often read-only) folder the link points into.
    const auto name = fromSystemBytes (info.dli_fname);

    if (juce::File::isAbsolutePath (name))
        return juce::File (name);

    const auto folder = loadFolder[0] != 0 ? juce::File (fromSystemBytes (loadFolder))
                                           : juce::File::getCurrentWorkingDirectory();
    return folder.getChildFile (name);
}

void noteLoadFolder() noexcept
{
    if (getcwd (loadFolder, sizeof (loadFolder)) == nullptr)
        loadFolder[0] = 0;
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

void callAtProcessExit (void (*fn)()) noexcept
{
    // Exit handlers run in the reverse order of their registration: before
    // the destructors of the statics made earlier (those of the library's
    // load, and function statics already used), after those of statics
    // first used later. A caller makes the statics its handler needs first.
    std::atexit (fn);
}
