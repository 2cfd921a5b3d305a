// The parameter dialog and its preview pane as Win32 windows. The procedures
// only translate messages; the behaviour lives in the portable rules.
#include <windows.h>
#include <commctrl.h>

#include "host_services/module_instance.h"
#include "interface/result_codes.h"
#include "ui/dialog_ids.h"
#include "ui/parameter_dialog.h"
#include "ui/parameter_dialog_rules.h"
#include "ui/preview_pane_rules.h"
#include "ui/ui_texts.h"
#include "ui/win32/dialog_fit.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_placement.h"

namespace {

LRESULT CALLBACK PreviewPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

class Win32DialogControls : public DialogControls {
public:
    HWND dialog = nullptr;

    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    // Every text is UTF-8 here and goes through the wide calls: the system's
    // ANSI code page never reads it.
    void SetCaption(const char* text) override { SetWindowTextW(dialog, Widen(text).c_str()); }
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
        PostMessageW(dialog, message, wParam, lParam);
    }
    void EndDialog(int code) override { ::EndDialog(dialog, code); }
    void InvalidatePane() override { InvalidateRect(Item(kPreviewPane), nullptr, FALSE); }
    void SetItemText(int id, const char* text) override { SetWindowTextW(Item(id), Widen(text).c_str()); }
    int GetItemText(int id, char* buffer, int size) override {
        if (size <= 0) return 0;
        std::wstring text(size_t(GetWindowTextLengthW(Item(id))) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(Item(id), &text[0], int(text.size()))));
        const std::string utf8 = Narrow(text.c_str());
        const size_t length = utf8.size() < size_t(size) ? utf8.size() : size_t(size) - 1;
        utf8.copy(buffer, length);
        buffer[length] = '\0';
        return int(length);
    }
    int ItemTextLength(int id) override { return GetWindowTextLengthW(Item(id)); }
    void SelectItemText(int id, int start, int end) override {
        SendMessageW(Item(id), EM_SETSEL, WPARAM(start), LPARAM(end));
    }
    void SetSliderRange(int id, int minimum, int maximum) override {
        SendMessageW(Item(id), TBM_SETRANGEMIN, TRUE, minimum);
        SendMessageW(Item(id), TBM_SETRANGEMAX, TRUE, maximum);
    }
    void SetSliderPosition(int id, int position) override { SendMessageW(Item(id), TBM_SETPOS, TRUE, position); }
    int SliderPosition(int id) override { return int(SendMessageW(Item(id), TBM_GETPOS, 0, 0)); }
    int SliderMinimum(int id) override { return int(SendMessageW(Item(id), TBM_GETRANGEMIN, 0, 0)); }
    int SliderMaximum(int id) override { return int(SendMessageW(Item(id), TBM_GETRANGEMAX, 0, 0)); }
    void SetChecked(int id, bool checked) override {
        SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
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
    HFONT font = nullptr;  // the language's font, made for this dialog
};

Win32Dialog* DialogOfPane(HWND pane) { return reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(pane, GWLP_USERDATA)); }
Win32Dialog* DialogOfWindow(HWND dialog) {
    return reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void Win32DialogControls::AttachPreviewPane() {
    HWND pane = Item(kPreviewPane);
    Win32Dialog* owner = DialogOfWindow(dialog);
    owner->paneCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32646));  // IDC_SIZEALL
    owner->panePrevious = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(pane, GWLP_WNDPROC));
    SetWindowLongPtrW(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    SetWindowLongPtrW(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewPaneProc));
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
            return CallWindowProcW(owner->panePrevious, pane, message, wParam, lParam);
    }
}

INT_PTR CALLBACK ParameterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* owner = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        owner->controls.dialog = dialog;
        if (OpenParameterDialog(&owner->state, owner->state.globals, &owner->controls))
            owner->font = FitParameterDialog(dialog, *owner->state.texts);
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
    const INT_PTR ended = DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(kParameterDialogTemplate),
                                          HostWindow(globals->filterRecord->platformData), ParameterDialogProc,
                                          reinterpret_cast<LPARAM>(&dialog));
    if (dialog.font) DeleteObject(dialog.font);
    if (ended == -1) {
        // The dialog could not be made (the host has not registered the
        // trackbar class, for one): nothing was shown, so nothing was accepted.
        FreePreviewBuffers(globals);
        *globals->result = errPlugInHostInsufficient;
    }
    return *globals->result == noErr;
}
