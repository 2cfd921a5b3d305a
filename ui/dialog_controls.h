// What the dialog's rules need from the window system: the controls of the
// parameter dialog and the dialog window itself. The Win32 dialog implements
// it with real controls; the tests implement it with fake ones.
#pragma once

#include <cstdint>

#include "interface/pi_types.h"

class DialogControls {
public:
    virtual ~DialogControls() = default;

    // The dialog window.
    virtual void SetCaption(const char* text) = 0;
    virtual void CenterOnDesktop() = 0;
    virtual void AttachPreviewPane() = 0;  // route the pane's mouse and paint messages to the rules
    virtual Rect PreviewFrame() = 0;                            // the pane, in dialog client coordinates
    virtual void PostToDialog(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void EndDialog(int code) = 0;
    virtual void InvalidatePane() = 0;

    // Text of a control. Setting an edit field's text raises its notifications
    // synchronously, as Win32 does.
    virtual void SetItemText(int id, const char* text) = 0;
    virtual int GetItemText(int id, char* buffer, int size) = 0;  // copies at most size - 1 characters
    virtual int ItemTextLength(int id) = 0;
    virtual void SelectItemText(int id, int start, int end) = 0;

    // Trackbars.
    virtual void SetSliderRange(int id, int minimum, int maximum) = 0;
    virtual void SetSliderPosition(int id, int position) = 0;  // clamped to the range; no notification
    virtual int SliderPosition(int id) = 0;
    virtual int SliderMinimum(int id) = 0;
    virtual int SliderMaximum(int id) = 0;

    // Radio buttons.
    virtual void SetChecked(int id, bool checked) = 0;
};
