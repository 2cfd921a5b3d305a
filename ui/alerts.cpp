#include "ui/alerts.h"

#include <cstring>

#include "ui/alert_strings.h"

#if !defined(_WIN32)
#include <utility>

namespace {
std::function<int(const char*)>& AlertHandler() {
    static std::function<int(const char*)> handler;
    return handler;
}
}  // namespace

void SetAlertHandler(std::function<int(const char*)> handler) { AlertHandler() = std::move(handler); }
#endif

namespace {

// The module's string of that id; empty when it has none.
int LoadModuleString(HINSTANCE module, int stringId, char* buffer, int size) {
#if defined(_WIN32)
    return LoadStringA(module, UINT(stringId), buffer, size);
#else
    (void)module;
    if (stringId != GLYRA_ADVANCE_STATE_STRING_ID) return 0;
    std::strncpy(buffer, GLYRA_ADVANCE_STATE_TEXT, size_t(size) - 1);
    buffer[size - 1] = '\0';
    return int(std::strlen(buffer));
#endif
}

int ShowWarningBox(HWND owner, const char* text) {
#if defined(_WIN32)
    return MessageBoxA(owner, text, nullptr, MB_ICONWARNING);
#else
    (void)owner;
    return AlertHandler() ? AlertHandler()(text) : 1;
#endif
}

}  // namespace

int ShowAlert(HINSTANCE module, HWND owner, int alertId, int stringId, const PString text0, const PString text1,
              const PString text2) {
    PString text = {0};
    if (alertId == 0) return 0;
    if (stringId > 0) {
        char loaded[256] = {0};
        const int length = LoadModuleString(module, stringId, loaded, 255);
        if (length > 0) AppendPString(text, loaded, 0, length);
    }
    ExpandAlertText(text, text0, text1, text2);
    return ShowWarningBox(owner, PStringChars(text));
}

bool RequireAdvanceState(AdvanceStateProc advanceState, HINSTANCE module) {
    if (advanceState) return true;
    PString version = {0};
    DoubleToPString(3.0, 1, version);
    ShowAlert(module, nullptr, GLYRA_ADVANCE_STATE_ALERT_ID, GLYRA_ADVANCE_STATE_STRING_ID, nullptr, version, nullptr);
    return false;
}
