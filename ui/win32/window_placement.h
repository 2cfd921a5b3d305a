// Win32 helpers shared by the dialogs.
#pragma once

#include <windows.h>

// Moves a dialog to the centre of the desktop, a third of the free height from the top.
void CenterOnDesktop(HWND dialog);

// The window that owns the plug-in's dialogs, from the host's platform data.
HWND HostWindow(const void* platformData);
