// The dialogs and alerts of the native build, played by installed handlers.
#include "tests/emulated_system/native_ui.h"

#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "interface/result_codes.h"
#include "ui/about_box.h"
#include "ui/alert_box.h"
#include "ui/alert_strings.h"
#include "ui/parameter_dialog.h"
#include "ui/ui_texts.h"

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

// The UI language of a Unix session: the locale's language as a Windows
// language id (LC_ALL, LC_MESSAGES, LANG, as gettext reads them).
uint16_t UserUiLanguageId() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    const std::string tag = locale ? locale : "";
    auto is = [&](const char* prefix) { return tag.rfind(prefix, 0) == 0; };
    if (is("ja")) return 0x0411;
    if (is("de")) return 0x0407;
    if (is("zh_CN") || is("zh_SG")) return 0x0804;
    if (is("zh")) return 0x0404;
    return 0x0409;
}

std::string Cp932ToUtf8(const char* text) {
    iconv_t convert = iconv_open("UTF-8", "CP932");
    if (convert == iconv_t(-1)) return std::string();
    std::string in = text ? text : "", out(in.size() * 3 + 1, '\0');
    char* from = &in[0];
    char* to = &out[0];
    size_t left = in.size(), room = out.size();
    const bool converted = iconv(convert, &from, &left, &to, &room) != size_t(-1);
    iconv_close(convert);
    out.resize(out.size() - room);
    return converted ? out : std::string();
}
