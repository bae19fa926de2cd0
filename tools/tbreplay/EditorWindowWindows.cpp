#include "EditorWindow.h"

#include <windows.h>

namespace tbreplay
{
void* openEditorParent (int width, int height)
{
    static const wchar_t* className = L"tbreplayEditor";
    static const bool registered = []
    {
        WNDCLASSW windowClass {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW (nullptr);
        windowClass.lpszClassName = className;
        return RegisterClassW (&windowClass) != 0;
    }();

    if (! registered)
        return nullptr;

    auto* window = CreateWindowExW (0, className, L"tbreplay editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr, GetModuleHandleW (nullptr), nullptr);
    return window;
}

void closeEditorParent (void* window)
{
    if (window != nullptr)
        DestroyWindow (static_cast<HWND> (window));
}

void pumpEditorMessages()
{
    MSG message;

    while (PeekMessageW (&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage (&message);
        DispatchMessageW (&message);
    }
}
}
