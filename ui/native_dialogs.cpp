// Without a window system (the native build), the parameter dialog and the
// About box are played by handlers that the caller installs; the tests drive
// the dialog's rules through them. Without a handler the parameter dialog
// counts as cancelled, so a run never proceeds on parameters nobody saw.
#include <utility>

#include "interface/result_codes.h"
#include "ui/about_box.h"
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
}  // namespace

void SetParameterDialogHandler(std::function<void(FilterGlobals*)> handler) { DialogHandler() = std::move(handler); }
void SetAboutBoxHandler(std::function<void(const AboutRecord*)> handler) { AboutHandler() = std::move(handler); }

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
