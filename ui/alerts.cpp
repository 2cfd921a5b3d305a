#include "ui/alerts.h"

#include <cstring>

#include "ui/alert_box.h"
#include "interface/result_codes.h"
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

bool HostDropsResultCodes(const FilterRecord* record) {
    return record && (record->hostSig == FourCC("AffP") || record->hostSig == FourCC("PffA"));
}

void ReportFailureToSilentHost(const FilterRecord* record, HINSTANCE module, OSErr result) {
    if (result == noErr || result == userCanceledErr || !HostDropsResultCodes(record)) return;
    const char* reason = result == memFullErr            ? "there is not enough memory"
                         : result == filterBadMode       ? "the image's mode or planes cannot be filtered"
                         : result == filterBadParameters ? "the host passed parameters the filter cannot use"
                                                         : "the host reported a problem while passing the image";
    PString text0 = {0}, text1 = {0};
    AppendPString(text0, reason, 0, int(std::strlen(reason)));
    LongToPString(result, text1);
    const auto* platform = static_cast<const PlatformData*>(record->platformData);
    HWND owner = platform ? reinterpret_cast<HWND>(platform->hwnd) : nullptr;
    ShowAlert(module, owner, GLYRA_FAILURE_ALERT_ID, GLYRA_FAILURE_STRING_ID, text0, text1, nullptr);
}
