#include "../MessageThread.h"
#include "WindowsHeaders.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
    constexpr UINT shutDownMessage = WM_APP + 0x7B;
    constexpr DWORD shutDownWaitMs = 2000;
    const char* const relayClassName = "TattleboxMessageRelay";

    HINSTANCE thisModule() noexcept
    {
        HMODULE module = nullptr;
        ::GetModuleHandleExA (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR> (&thisModule), &module);
        return module;
    }
}

MessageThread::~MessageThread() = default;

// [message] Dispatched by the host's pump, outside the framework's own
// message handling, so that shutting the framework down here is safe.
std::intptr_t __stdcall MessageThread::relayProcedure (void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    const auto handle = static_cast<HWND> (window);

    if (message == shutDownMessage)
    {
        if (auto* self = reinterpret_cast<MessageThread*> (::GetWindowLongPtrA (handle, GWLP_USERDATA)))
        {
            self->shutDownHere();
            ::SetEvent (static_cast<HANDLE> (self->shutDownDone));
        }

        return 0;
    }

    return ::DefWindowProcA (handle, message, (WPARAM) wParam, (LPARAM) lParam);
}

void MessageThread::start()
{
    if (isRunning())
        return;

    // The host pumps the thread that calls the entry: the framework's
    // windows and timers live there, as in any Windows plug-in.
    owner = std::this_thread::get_id();
    juce::initialiseJuce_GUI();

    WNDCLASSEXA relayClass {};
    relayClass.cbSize = sizeof (relayClass);
    relayClass.lpfnWndProc = reinterpret_cast<WNDPROC> (&MessageThread::relayProcedure);
    relayClass.hInstance = thisModule();
    relayClass.lpszClassName = relayClassName;
    ::RegisterClassExA (&relayClass); // fails harmlessly when already registered

    relayWindow = ::CreateWindowExA (0, relayClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, thisModule(), nullptr);

    if (relayWindow != nullptr)
        ::SetWindowLongPtrA (static_cast<HWND> (relayWindow), GWLP_USERDATA, reinterpret_cast<LONG_PTR> (this));

    if (shutDownDone == nullptr)
        shutDownDone = ::CreateEventA (nullptr, FALSE, FALSE, nullptr);

    running = true;
}

void MessageThread::shutDownHere()
{
    running = false;
    juce::shutdownJuce_GUI();

    if (relayWindow != nullptr)
        ::DestroyWindow (static_cast<HWND> (std::exchange (relayWindow, nullptr)));

    ::UnregisterClassA (relayClassName, thisModule());
    owner = std::thread::id();
}

bool MessageThread::stop()
{
    if (! isRunning())
        return true;

    if (isThisTheMessageThread())
    {
        shutDownHere();
        return true;
    }

    // The framework's hidden windows belong to the thread that made them and
    // can be destroyed only there: that thread is asked, and waited for, bounded.
    if (relayWindow == nullptr || shutDownDone == nullptr
          || ! ::PostMessageA (static_cast<HWND> (relayWindow), shutDownMessage, 0, 0))
        return false;

    return ::WaitForSingleObject (static_cast<HANDLE> (shutDownDone), shutDownWaitMs) == WAIT_OBJECT_0;
}

bool MessageThread::isRunning() const noexcept
{
    return running.load();
}

bool MessageThread::isThisTheMessageThread() const noexcept
{
    return owner.load() == std::this_thread::get_id();
}
