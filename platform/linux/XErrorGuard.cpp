#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "XErrorGuard.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

namespace
{
    std::atomic<XErrorHandler> previousHandler { nullptr };
    std::atomic<::Display*> ownDisplay { nullptr };
    bool installed = false;

    int handleXError (::Display* display, XErrorEvent* event)
    {
        if (display == ownDisplay.load())
            return 0; // ignored, as the framework itself does in an application

        if (auto previous = previousHandler.load())
            return previous (display, event);

        return 0;
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

    if (current != handleXError)
        setHandler (current);

    ownDisplay = nullptr;
    installed = false;
}

bool XErrorGuard::isDisplayOpen() noexcept
{
    return ownDisplay.load() != nullptr;
}
