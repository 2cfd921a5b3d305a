// The dialogs and alerts of the native build, played by installed handlers.
#include "ui/native/native_ui.h"

#include <cstring>
#include <utility>

#include "interface/result_codes.h"
#include "ui/about_box.h"
#include "ui/alert_box.h"
#include "ui/alert_strings.h"
#include "ui/parameter_dialog.h"

namespace {
std::function<void(FilterGlobals*)>& DialogHandler() {
    static std::function<void(FilterGlobals*)> handler;
    return handler;
}
std::function<void(const AboutRecord*)>& AboutHandler() {
    static std::function<void(const AboutRecord*)> handler;
    return handler;
}
std::function<int(const char*)>& AlertHandler() {
    static std::function<int(const char*)> handler;
    return handler;
}
}  // namespace

void SetParameterDialogHandler(std::function<void(FilterGlobals*)> handler) { DialogHandler() = std::move(handler); }
void SetAboutBoxHandler(std::function<void(const AboutRecord*)> handler) { AboutHandler() = std::move(handler); }
void SetAlertHandler(std::function<int(const char*)> handler) { AlertHandler() = std::move(handler); }

bool ShowParameterDialog(FilterGlobals* globals) {
    if (DialogHandler())
        DialogHandler()(globals);
    else
        *globals->result = userCanceledErr;
    return *globals->result == noErr;
}

void ShowAboutBox(const AboutRecord* about) {
    if (AboutHandler()) AboutHandler()(about);
}

// The native module holds the one string the plug-in loads.
int LoadModuleString(HINSTANCE, int stringId, char* buffer, int size) {
    const char* text = stringId == GLYRA_ADVANCE_STATE_STRING_ID ? GLYRA_ADVANCE_STATE_TEXT
                       : stringId == GLYRA_FAILURE_STRING_ID     ? GLYRA_FAILURE_TEXT
                                                                 : nullptr;
    if (!text || size <= 0) return 0;
    std::strncpy(buffer, text, size_t(size) - 1);
    buffer[size - 1] = '\0';
    return int(std::strlen(buffer));
}

int ShowWarningBox(HWND, const char* text) { return AlertHandler() ? AlertHandler()(text) : 1; }
