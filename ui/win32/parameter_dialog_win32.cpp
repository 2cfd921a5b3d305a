// The parameter dialog and its preview pane as Win32 windows. The procedures
// only translate messages; the behaviour lives in the portable rules.
#include <windows.h>
#include <commctrl.h>

#include "host/module_instance.h"
#include "interface/result_codes.h"
#include "ui/dialog_ids.h"
#include "ui/parameter_dialog.h"
#include "ui/parameter_dialog_rules.h"
#include "ui/preview_pane_rules.h"
#include "ui/win32/window_placement.h"

namespace {

LRESULT CALLBACK PreviewPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

class Win32DialogControls : public DialogControls {
public:
    HWND dialog = nullptr;

    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    void SetCaption(const char* text) override { SetWindowTextA(dialog, text); }
    void CenterOnDesktop() override { ::CenterOnDesktop(dialog); }
    void AttachPreviewPane() override;
    Rect PreviewFrame() override {
        RECT frame;
        GetWindowRect(Item(kPreviewPane), &frame);
        POINT topLeft{frame.left, frame.top}, bottomRight{frame.right, frame.bottom};
        ScreenToClient(dialog, &topLeft);
        ScreenToClient(dialog, &bottomRight);
        return Rect{int16_t(topLeft.y), int16_t(topLeft.x), int16_t(bottomRight.y), int16_t(bottomRight.x)};
    }
    void PostToDialog(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        PostMessageA(dialog, message, wParam, lParam);
    }
    void EndDialog(int code) override { ::EndDialog(dialog, code); }
    void InvalidatePane() override { InvalidateRect(Item(kPreviewPane), nullptr, FALSE); }
    void SetItemText(int id, const char* text) override { SetWindowTextA(Item(id), text); }
    int GetItemText(int id, char* buffer, int size) override {
        return int(SendMessageA(Item(id), WM_GETTEXT, WPARAM(size), LPARAM(buffer)));
    }
    int ItemTextLength(int id) override { return GetWindowTextLengthA(Item(id)); }
    void SelectItemText(int id, int start, int end) override {
        SendMessageA(Item(id), EM_SETSEL, WPARAM(start), LPARAM(end));
    }
    void SetSliderRange(int id, int minimum, int maximum) override {
        SendMessageA(Item(id), TBM_SETRANGEMIN, TRUE, minimum);
        SendMessageA(Item(id), TBM_SETRANGEMAX, TRUE, maximum);
    }
    void SetSliderPosition(int id, int position) override { SendMessageA(Item(id), TBM_SETPOS, TRUE, position); }
    int SliderPosition(int id) override { return int(SendMessageA(Item(id), TBM_GETPOS, 0, 0)); }
    int SliderMinimum(int id) override { return int(SendMessageA(Item(id), TBM_GETRANGEMIN, 0, 0)); }
    int SliderMaximum(int id) override { return int(SendMessageA(Item(id), TBM_GETRANGEMAX, 0, 0)); }
    void SetChecked(int id, bool checked) override {
        SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
};

// One open dialog: its state, its controls and its pane's window data. It
// lives on the stack of ShowParameterDialog; the dialog window and the pane
// find it through their window data.
struct Win32Dialog {
    ParameterDialogState state;
    Win32DialogControls controls;
    WNDPROC panePrevious = nullptr;
    HCURSOR paneCursor = nullptr;
};

Win32Dialog* DialogOfPane(HWND pane) { return reinterpret_cast<Win32Dialog*>(GetWindowLongPtrA(pane, GWLP_USERDATA)); }
Win32Dialog* DialogOfWindow(HWND dialog) {
    return reinterpret_cast<Win32Dialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void Win32DialogControls::AttachPreviewPane() {
    HWND pane = Item(kPreviewPane);
    Win32Dialog* owner = DialogOfWindow(dialog);
    owner->paneCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32646));  // IDC_SIZEALL
    owner->panePrevious = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(pane, GWLP_WNDPROC));
    SetWindowLongPtrA(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    SetWindowLongPtrA(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewPaneProc));
}

LRESULT CALLBACK PreviewPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Dialog* owner = DialogOfPane(pane);
    const auto x = int16_t(LOWORD(lParam)), y = int16_t(HIWORD(lParam));
    switch (message) {
        case WM_SETCURSOR:
            SetCursor(owner->paneCursor);
            return TRUE;
        case WM_LBUTTONDOWN:
            SetCursor(owner->paneCursor);
            SetCapture(pane);
            OnPanePress(&owner->state, x, y);
            return TRUE;
        case WM_MOUSEMOVE:
            SetCursor(owner->paneCursor);
            OnPaneDrag(&owner->state, x, y);
            return TRUE;
        case WM_LBUTTONUP:
            ReleaseCapture();
            OnPaneRelease(&owner->state);
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC context = BeginPaint(pane, &paint);
            RECT window;
            GetWindowRect(pane, &window);
            POINT origin{window.left, window.top};
            ScreenToClient(pane, &origin);
            if (owner->state.globals) PaintPreview(owner->state.globals, origin.y, origin.x, context);
            EndPaint(pane, &paint);
            return TRUE;
        }
        default:
            return CallWindowProcA(owner->panePrevious, pane, message, wParam, lParam);
    }
}

INT_PTR CALLBACK ParameterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* owner = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        owner->controls.dialog = dialog;
        OpenParameterDialog(&owner->state, owner->state.globals, &owner->controls);
        return TRUE;
    }
    Win32Dialog* owner = DialogOfWindow(dialog);
    if (!owner || !owner->state.globals) return FALSE;
    const int sender = message == WM_HSCROLL && lParam ? GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) : 0;
    return DispatchParameterDialogMessage(&owner->state, message, wParam, lParam, sender);
}

}  // namespace

bool ShowParameterDialog(FilterGlobals* globals) {
    Win32Dialog dialog;
    dialog.state.globals = globals;
    const INT_PTR ended = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(kParameterDialogTemplate),
                                          HostWindow(globals->filterRecord->platformData), ParameterDialogProc,
                                          reinterpret_cast<LPARAM>(&dialog));
    if (ended == -1) {
        // The dialog could not be made (the host has not registered the
        // trackbar class, for one): nothing was shown, so nothing was accepted.
        FreePreviewBuffers(globals);
        *globals->result = errPlugInHostInsufficient;
    }
    return *globals->result == noErr;
}
