// Whether this process can show windows at all: a host may run without any
// display (a server, DISPLAY unset, a Wayland session without X, Wine without
// an X server), and creating a window there crashes inside the framework.
#pragma once

// [message] With the framework up.
bool canShowWindows();

// [any thread] Makes now the window system's statics that the framework would
// otherwise make at their first use: one made after the handler that stops
// the message thread at a process's exit would be destroyed before it runs,
// under a message thread still handling events. Nothing where the platform
// ends that thread itself.
void makeWindowSystemStatics() noexcept;
