// Alerts the plug-in shows on its own, and the check that needs one.
#pragma once

#include "interface/filter_record.h"
#include "platform/win32.h"
#include "ui/alert_text.h"

// Loads the string, expands ^0..^2 and shows it in a warning box; returns the
// box's answer, or 0 without showing anything when the alert id is 0.
int ShowAlert(HINSTANCE module, HWND owner, int alertId, int stringId, const PString text0, const PString text1,
              const PString text2);

// True when the host offers advanceState; otherwise warns that interface 3.0
// is needed and returns false.
bool RequireAdvanceState(AdvanceStateProc advanceState, HINSTANCE module);


// True for hosts that drop the plug-in's result codes without telling the user
// (Affinity Photo, whose signature is also seen byte-reversed).
bool HostDropsResultCodes(const FilterRecord* record);

// Where the host drops result codes, says in the plug-in's own alert what a
// failed call meant; elsewhere the host reports the code. Cancels say nothing.
void ReportFailureToSilentHost(const FilterRecord* record, HINSTANCE module, OSErr result);
