// Keeps non-fatal X errors on Tattlebox's own display from ending the host.
// In a plug-in the framework installs no X error handler, and Xlib's default
// one calls exit(); without a window manager the framework provokes such
// errors routinely. Errors on other displays (the host's) go to the handler
// that was there before, so the host behaves as it would without Tattlebox.
#pragma once

namespace XErrorGuard
{
    // [message] Once the framework is up.
    void install();

    // [message] After the framework (and its display) is gone.
    void remove();

    // [any thread] Whether the framework has a display to show windows on.
    bool isDisplayOpen() noexcept;
}
