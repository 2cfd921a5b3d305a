#include <windows.h>

#include "ui/alert_box.h"

int LoadModuleString(HINSTANCE module, int stringId, char* buffer, int size) {
    return LoadStringA(module, UINT(stringId), buffer, size);
}

int ShowWarningBox(HWND owner, const char* text) { return MessageBoxA(owner, text, nullptr, MB_ICONWARNING); }
