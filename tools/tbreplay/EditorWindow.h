// With --editor: a window of the system's own for the plug-in's editor to
// open into, as a host gives effEditOpen (an X window id on Linux, an HWND
// on Windows).
#pragma once

namespace tbreplay
{
// [replay threads] Null where no window can be made (no display).
void* openEditorParent (int width, int height);
// [replay threads] The thread that opened it.
void closeEditorParent (void* window);
// [replay threads] Between calls: the thread's window messages (Windows; nothing on Linux,
// where plug-ins read their own connection's events).
void pumpEditorMessages();
}
