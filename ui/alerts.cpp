#include "ui/alerts.h"

#include <cstring>

#include "ui/alert_box.h"
#include "interface/result_codes.h"
#include "ui/alert_strings.h"
#include "ui/ui_texts.h"

int ShowAlert(HINSTANCE module, HWND owner, int alertId, int stringId, const PString text0, const PString text1,
              const PString text2) {
    PString text = {0};
    if (alertId == 0) return 0;
    // The user's language where the table has the alert; the module's string otherwise.
    const UiTexts& texts = CurrentUiTexts();
    const std::string* own = stringId == GLYRA_ADVANCE_STATE_STRING_ID ? &texts.advanceStateAlert
                             : stringId == GLYRA_FAILURE_STRING_ID     ? &texts.failureAlert
                                                                       : nullptr;
    if (own) {
        AppendPString(text, own->c_str(), 0, int(own->size()));
    } else if (stringId > 0) {
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

bool HostDropsResultCodes(const FilterRecord* record) {
    return record && (record->hostSig == FourCC("AffP") || record->hostSig == FourCC("PffA"));
}

void ReportFailureToSilentHost(const FilterRecord* record, HINSTANCE module, OSErr result) {
    if (result == noErr || result == userCanceledErr || !HostDropsResultCodes(record)) return;
    const UiTexts& texts = CurrentUiTexts();
    const std::string& reason = result == memFullErr            ? texts.notEnoughMemory
                                : result == filterBadMode       ? texts.badImageMode
                                : result == filterBadParameters ? texts.badParameters
                                                                : texts.hostProblem;
    PString text0 = {0}, text1 = {0};
    AppendPString(text0, reason.c_str(), 0, int(reason.size()));
    LongToPString(result, text1);
    const auto* platform = static_cast<const PlatformData*>(record->platformData);
    HWND owner = platform ? reinterpret_cast<HWND>(platform->hwnd) : nullptr;
    ShowAlert(module, owner, GLYRA_FAILURE_ALERT_ID, GLYRA_FAILURE_STRING_ID, text0, text1, nullptr);
}
