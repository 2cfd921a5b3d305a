// The parameter dialog's behaviour, as plain functions over its controls: the
// opening, the slider, edit and radio rules, OK, Cancel and close, and the
// routing of the dialog's messages to them. The Win32 dialog procedure and
// the tests' fake dialog both hand their messages to DispatchParameterDialogMessage.
#pragma once

#include <cstdint>

#include "ui/dialog_state.h"

// One slider row of the dialog: the field and its caption, edit and trackbar;
// the caption's text is the field's label in the parameter table.
struct ParameterRow {
    int16_t FilterParameters::*field;
    int captionId;
    int editId;
    int sliderId;
};

// The twelve slider rows, in the order the dialog fills them.
extern const ParameterRow kParameterRows[12];

// The dialog's opening (WM_INITDIALOG). Returns false when the preview
// buffers cannot be had: the dialog has then ended with memFullErr.
bool OpenParameterDialog(ParameterDialogState* dialog, FilterGlobals* globals, DialogControls* controls,
                         uintptr_t initWParam);

void OnSliderMoved(ParameterDialogState* dialog, int sliderId);
void OnEditNotify(ParameterDialogState* dialog, int editId);
void OnRadioClicked(ParameterDialogState* dialog, int radioId);
// OK, Cancel and close; while a render runs they stop it and come back later.
bool OnOk(ParameterDialogState* dialog, uintptr_t wParam, intptr_t lParam);
bool OnCancel(ParameterDialogState* dialog, uintptr_t wParam, intptr_t lParam);
bool OnClose(ParameterDialogState* dialog, uintptr_t wParam, intptr_t lParam);

// Sets the radio button of a threshold type and stores it; a value outside
// 0..2 sets the first button and stores 0.
void SetRadioGroup(ParameterDialogState* dialog, int16_t value);

// Routes one message of the parameter dialog other than WM_INITDIALOG; returns
// what the dialog procedure returns (true: handled).
intptr_t DispatchParameterDialogMessage(ParameterDialogState* dialog, unsigned message, uintptr_t wParam,
                                        intptr_t lParam, int senderId);

// Allocates the preview buffers that are null; false (all freed) when one cannot be had.
bool AllocPreviewBuffers(FilterGlobals* globals);
void FreePreviewBuffers(FilterGlobals* globals);

// Asks the host once for the whole image, and copies its transparency.
void PrepareWholeImage(FilterGlobals* globals);

// The dialog caption the opening sets.
extern const char kDialogCaption[];
