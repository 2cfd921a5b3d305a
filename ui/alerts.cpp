#include "ui/alerts.h"

#include "ui/alert_box.h"
#include "ui/alert_strings.h"

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
