#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "XErrorGuard.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <dlfcn.h>

namespace
{
    std::atomic<XErrorHandler> previousHandler { nullptr };
    std::atomic<::Display*> ownDisplay { nullptr };
    bool installed = false;

    int handleXError (::Display* display, XErrorEvent* event)
    {
        if (display == ownDisplay.load())
            return 0; // ignored, as the framework itself does in an application

        // Two copies that were each started twice may hold each other as
        // the previous handler: an error comes back here once, and stops.
        static thread_local bool forwarding = false;
        auto previous = previousHandler.load();

        if (previous == nullptr || forwarding)
            return 0;

        forwarding = true;
        const auto result = previous (display, event);
        forwarding = false;
        return result;
    }

    // Handlers chain across libraries: a second copy of Tattlebox (or another
    // plug-in) installed after us keeps our handler as its previous one and
    // calls it for every error that is not its own.
    bool isChainedAfterUs (XErrorHandler current)
    {
        return current != nullptr && current != handleXError;
    }

    // The one who chained after us still calls our handler, so our code must
    // stay mapped however often the host unloads us; it then forwards every
    // error to the handler we found.
    void stayMappedForTheChain()
    {
        Dl_info info {};

        if (dladdr (reinterpret_cast<const void*> (&handleXError), &info) != 0 && info.dli_fname != nullptr)
            [[maybe_unused]] auto* kept = dlopen (info.dli_fname, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD | RTLD_NODELETE);
    }

    XErrorHandler setHandler (XErrorHandler handler)
    {
        // The framework loads libX11 at run time; so does this, from the same file.
        static juce::DynamicLibrary x11;

        if (x11.getNativeHandle() == nullptr && ! x11.open ("libX11.so.6"))
            return nullptr;

        using SetHandler = XErrorHandler (*) (XErrorHandler);

        if (auto set = reinterpret_cast<SetHandler> (x11.getFunction ("XSetErrorHandler")))
            return set (handler);

        return nullptr;
    }
}

void XErrorGuard::install()
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();

    if (display == nullptr || installed)
        return;

    ownDisplay = display;
    previousHandler = setHandler (handleXError);
    installed = true;
}

void XErrorGuard::remove()
{
    if (! installed)
        return;

    // Put the previous handler back only where nobody replaced ours meanwhile.
    auto current = setHandler (previousHandler.load());

    if (isChainedAfterUs (current))
    {
        setHandler (current);
        stayMappedForTheChain();
    }

    ownDisplay = nullptr;
    installed = false;
}

bool XErrorGuard::isDisplayOpen() noexcept
{
    return ownDisplay.load() != nullptr;
}
