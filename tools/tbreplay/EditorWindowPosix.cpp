#include "EditorWindow.h"

#include <X11/Xlib.h>

#include <cstdint>

namespace tbreplay
{
namespace
{
    Display* display = nullptr;
}

void* openEditorParent (int width, int height)
{
    if (display == nullptr)
        display = XOpenDisplay (nullptr);

    if (display == nullptr)
        return nullptr;

    const auto screen = DefaultScreen (display);
    const auto window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, (unsigned) width, (unsigned) height, 0,
                                             BlackPixel (display, screen), WhitePixel (display, screen));
    XStoreName (display, window, "tbreplay editor");
    XMapWindow (display, window);
    XSync (display, False);
    return reinterpret_cast<void*> ((std::uintptr_t) window);
}

void closeEditorParent (void* window)
{
    if (display == nullptr || window == nullptr)
        return;

    XDestroyWindow (display, (Window) reinterpret_cast<std::uintptr_t> (window));
    XSync (display, False);
}

void pumpEditorMessages() {}
}
