#include "tests/fake_dialog.h"

#include <algorithm>
#include <cstring>

#include "tests/test_host.h"
#include "tests/test_support.h"
#include "ui/dialog_ids.h"
#include "tests/emulated_system/native_ui.h"
#include "ui/parameter_dialog.h"
#include "ui/parameter_dialog_rules.h"
#include "ui/preview_pane_rules.h"

namespace {

FakeDialog* gCurrent = nullptr;

// The fake dialog's window procedure: user actions are turned into what the
// real controls would send, everything else goes to the dialog's dispatch.
LRESULT FakeDialogProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    FakeDialog* dialog = gCurrent;
    if (!dialog || dialog->ended) return 0;
    if (message == kFakeSliderMove) {
        dialog->SetSliderPosition(int(wParam), int(lParam));
        return DispatchParameterDialogMessage(&dialog->state, WM_HSCROLL, 0, 0, int(wParam));
    }
    if (message == kFakePaneMessage) {
        const auto x = int16_t(LOWORD(uintptr_t(lParam))), y = int16_t(HIWORD(uintptr_t(lParam)));
        if (wParam == WM_LBUTTONDOWN) OnPanePress(&dialog->state, x, y);
        if (wParam == WM_MOUSEMOVE) OnPaneDrag(&dialog->state, x, y);
        if (wParam == WM_LBUTTONUP) OnPaneRelease(&dialog->state);
        return TRUE;
    }
    return DispatchParameterDialogMessage(&dialog->state, message, wParam, lParam, 0);
}

}  // namespace

FakeDialog::FakeDialog() : window(PlatformCreateWindow(FakeDialogProc)) {
    PlatformClearMessageQueue();
    gCurrent = this;
}

FakeDialog::~FakeDialog() {
    if (gCurrent == this) gCurrent = nullptr;
    PlatformClearMessageQueue();
    PlatformDestroyWindow(window);
}

void FakeDialog::SetItemText(int id, const char* text) {
    texts[id] = text;
    // An edit field tells its dialog at once, as a Win32 edit does.
    if (!state.globals) return;
    if (ParameterByEdit(id)) DispatchParameterDialogMessage(&state, WM_COMMAND, MAKEWPARAM(WORD(id), EN_CHANGE), 0, 0);
}

int FakeDialog::GetItemText(int id, char* buffer, int size) {
    const std::string& text = texts[id];
    const int count = std::min<int>(int(text.size()), size - 1);
    std::memcpy(buffer, text.data(), size_t(count));
    buffer[count] = '\0';
    return count;
}

void FakeDialog::SetSliderRange(int id, int minimum, int maximum) {
    SliderState& slider = Slider(id);
    slider.minimum = minimum;
    slider.maximum = maximum;
    slider.position = std::clamp(slider.position, minimum, maximum);
}

void FakeDialog::SetSliderPosition(int id, int position) {
    SliderState& slider = Slider(id);
    slider.position = std::clamp(position, slider.minimum, slider.maximum);
}

void FakeDialog::Type(int id, const std::string& text) { SetItemText(id, text.c_str()); }

void FakeDialog::Drain() {
    MSG message;
    while (!ended && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

UINT FakeDialog::Step() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return WM_NULL;
    DispatchMessageA(&message);
    return message.message;
}

RunOutcome RunWithDialog(TestHost& host, FakeDialog& dialog,
                         const std::function<void(FakeDialog&, FilterGlobals*)>& user) {
    SetParameterDialogHandler([&](FilterGlobals* globals) {
        dialog.Run(globals, {[&](FakeDialog& d) {
                                 user(d, globals);
                                 d.Drain();
                                 d.Click(kOkButton);
                             }});
    });
    const RunOutcome outcome = host.Run(Plugin(), true);
    SetParameterDialogHandler(nullptr);
    return outcome;
}

void FakeDialog::Run(FilterGlobals* globals, std::vector<std::function<void(FakeDialog&)>> actions) {
    state.globals = globals;
    OpenParameterDialog(&state, globals, this);
    // The user acts at once, before the opening's render request is handled;
    // after each action the queue is emptied as the dialog's loop would.
    for (auto& action : actions) {
        if (ended) break;
        action(*this);
        Drain();
    }
    Drain();
}
