#include <windows.h>

#include "ui/alert_box.h"
#include "ui/win32/wide_text.h"

int LoadModuleString(HINSTANCE module, int stringId, char* buffer, int size) {
    return LoadStringA(module, UINT(stringId), buffer, size);
}

// The text is UTF-8, shown through the wide call in any code page.
int ShowWarningBox(HWND owner, const char* text) {
    return MessageBoxW(owner, Widen(text).c_str(), L"Glyra", MB_ICONWARNING);
}
