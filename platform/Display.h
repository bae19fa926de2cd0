// Whether this process can show windows at all: a host may run without any
// display (a server, DISPLAY unset, a Wayland session without X, Wine without
// an X server), and creating a window there crashes inside the framework.
#pragma once

// [message] With the framework up.
bool canShowWindows();
