// The About box: a borderless box with the product's name and version that a
// click anywhere closes; Enter and Escape do not.
#include <windows.h>

#include "host_services/module_instance.h"
#include "ui/about_box.h"
#include "ui/dialog_ids.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_placement.h"

namespace {

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(dialog, kAboutText, Widen(kAboutBoxText).c_str());
            CenterOnDesktop(dialog);
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_CLOSE:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_COMMAND:
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutBox(const AboutRecord* about) {
    DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(kAboutDialogTemplate),
                    HostWindow(about ? about->platformData : nullptr), AboutDialogProc, 0);
}
