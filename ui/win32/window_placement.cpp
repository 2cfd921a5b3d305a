#include "ui/win32/window_placement.h"

#include "interface/pi_types.h"
#include "ui/center_on_desktop.h"

void CenterOnDesktop(HWND dialog) {
    RECT desktop, window;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &window);
    const ScreenPoint at = CenteredPosition(ScreenRect{desktop.left, desktop.top, desktop.right, desktop.bottom},
                                            ScreenRect{window.left, window.top, window.right, window.bottom});
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND HostWindow(const void* platformData) {
    return platformData ? reinterpret_cast<HWND>(static_cast<const PlatformData*>(platformData)->hwnd) : nullptr;
}
