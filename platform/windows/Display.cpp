#include "../Display.h"
#include "WindowsHeaders.h"

#include <juce_gui_basics/juce_gui_basics.h>

bool canShowWindows()
{
    // Without a display driver (Wine with no X server) the system still
    // reports a monitor, but every window creation fails, and the framework's
    // window dies in its own clean-up: try a plain one first.
    auto* probe = ::CreateWindowExW (0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1,
                                     nullptr, nullptr, ::GetModuleHandleW (nullptr), nullptr);

    if (probe == nullptr)
        return false;

    ::DestroyWindow (probe);
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

void makeWindowSystemStatics() noexcept {}
