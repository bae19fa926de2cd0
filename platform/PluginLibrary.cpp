#include "PluginLibrary.h"

std::unique_ptr<juce::DynamicLibrary> loadPluginLibrary (const juce::File& file)
{
    // An empty name would open the host's own program.
    if (file.getFullPathName().isEmpty())
        return {};

    try
    {
        auto library = std::make_unique<juce::DynamicLibrary>();

        if (library->open (file.getFullPathName()))
            return library;
    }
    catch (...) // a static constructor of the library that throws
    {
    }

    return {};
}

namespace
{
   #if defined (_WIN32)
    constexpr const char* entryNames[] = { "main" };
   #else
    // Linux plug-ins often export their entry only under the second name.
    constexpr const char* entryNames[] = { "main", "VSTPluginMain" };
   #endif
}

VstPluginMainProc findPluginEntry (juce::DynamicLibrary& library) noexcept
{
    for (auto* name : entryNames)
        if (auto* entry = library.getFunction (name))
            return reinterpret_cast<VstPluginMainProc> (entry);

    return nullptr;
}

bool freePluginLibrary (std::unique_ptr<juce::DynamicLibrary>& library) noexcept
{
    if (library == nullptr)
        return false;

    try
    {
        library->close();
    }
    catch (...) // a static destructor of the library that throws
    {
    }

    library.reset();
    return true;
}
