// The window system's side of an alert: the module's string of an id, and a
// warning box. The Win32 build uses the real calls (ui/win32/); the native
// build plays them (ui/native/).
#pragma once

#include "platform/win32.h"

// Copies the module's string of that id (at most size - 1 characters, then a
// NUL); returns its length, 0 when the module has none.
int LoadModuleString(HINSTANCE module, int stringId, char* buffer, int size);

// Shows a warning box with the text (UTF-8); returns the box's answer (1 for OK).
int ShowWarningBox(HWND owner, const char* text);
