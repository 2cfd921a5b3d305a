// Gives the parameter dialog the font of the user's language and every text
// in it the room it needs, measured in the control's own font at the
// dialog's DPI: captions, radio buttons (their circle included), group
// boxes, buttons, and edit fields holding the widest value of their range.
//
// Room is made by inserting space at the right or bottom edge of each
// control that is too small: everything at or beyond that edge moves, and
// what spans it grows, across the whole dialog. That keeps every control's
// order and alignment (no two controls can come to overlap) and leaves a
// dialog whose texts already fit exactly as its template drew it.
#pragma once

#include <windows.h>

#include "ui/ui_texts.h"

// Returns the font it made for the dialog (the caller deletes it once the
// dialog is gone), or null when the dialog keeps its template's font.
HFONT FitParameterDialog(HWND dialog, const UiTexts& texts);

// What a control needs to show its text without cutting it, in pixels, for
// the test host's check as much as for the fitting: zero where the control
// shows no text of its own (trackbars, the preview pane).
SIZE TextRoomNeeded(HWND control, const wchar_t* text);
