// The parameter dialog's behaviour, as plain functions over its controls: the
// opening, the slider, edit and radio rules, OK, Cancel and close, and the
// routing of the dialog's messages to them. The Win32 dialog procedure and
// the tests' fake dialog both hand their messages to DispatchParameterDialogMessage.
#pragma once

#include <cstdint>

#include "core/parameter_table.h"
#include "ui/dialog_state.h"

// The dialog's opening (WM_INITDIALOG): every parameter's controls, in the
// parameter table's order, then the first previews. Returns false when the
// preview buffers cannot be had: the dialog has then ended with memFullErr.
bool OpenParameterDialog(ParameterDialogState* dialog, FilterGlobals* globals, DialogControls* controls);

void OnSliderMoved(ParameterDialogState* dialog, int sliderId);
void OnEditNotify(ParameterDialogState* dialog, int editId);
// False when the id is not one of the threshold type's radio buttons.
bool OnRadioClicked(ParameterDialogState* dialog, int radioId);
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

// Asks the host once for the whole image, and copies its transparency; the
// session learns whether the whole image is at hand.
void PrepareWholeImage(FilterGlobals* globals, PreviewSession* session);

// The parameter whose edit field or trackbar has this id; null for any other control.
const ParameterInfo* ParameterByEdit(int id);
const ParameterInfo* ParameterBySlider(int id);

// The dialog caption the opening sets.
extern const char kDialogCaption[];
