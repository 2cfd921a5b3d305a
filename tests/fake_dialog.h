// A parameter dialog without a window system: fake controls behind the
// dialog's rules, a window on the platform layer's message queue whose
// procedure hands messages to the same dispatch as the Win32 dialog, and a
// modal loop that plays scripted user actions when the queue is empty.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "passes/message_pump.h"
#include "tests/emulated_system/platform_testing.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_state.h"

// Private messages of the fake dialog: a user action that arrives through the queue.
constexpr UINT kFakeSliderMove = WM_APP + 500;  // wParam: trackbar id, lParam: new position
constexpr UINT kFakePaneMessage = WM_APP + 501;  // wParam: mouse message, lParam: coordinates

class TestHost;
struct RunOutcome;
struct FilterGlobals;

class FakeDialog : public DialogControls {
public:
    FakeDialog();
    ~FakeDialog() override;

    // DialogControls
    void SetCaption(const char* text) override { caption = text; }
    void CenterOnDesktop() override { ++centered; }
    void AttachPreviewPane() override { ++attached; }
    Rect PreviewFrame() override { return frame; }
    void PostToDialog(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        PostMessageA(window, message, wParam, lParam);
    }
    void EndDialog(int code) override {
        ended = true;
        endCode = code;
    }
    void InvalidatePane() override { ++invalidations; }
    void SetItemText(int id, const char* text) override;
    int GetItemText(int id, char* buffer, int size) override;
    int ItemTextLength(int id) override { return int(texts[id].size()); }
    void SelectItemText(int id, int start, int end) override { selections[id] = {start, end}; }
    void SetSliderRange(int id, int minimum, int maximum) override;
    void SetSliderPosition(int id, int position) override;
    int SliderPosition(int id) override { return Slider(id).position; }
    int SliderMinimum(int id) override { return Slider(id).minimum; }
    int SliderMaximum(int id) override { return Slider(id).maximum; }
    void SetChecked(int id, bool value) override { checked[id] = value; }

    // User actions, as the queue delivers them.
    void Click(int id) { PostToDialog(WM_COMMAND, MAKEWPARAM(WORD(id), BN_CLICKED), 0); }
    void Type(int id, const std::string& text);  // replaces an edit field's text now
    void MoveSlider(int id, int position) { PostToDialog(kFakeSliderMove, WPARAM(id), position); }
    void Pane(UINT mouseMessage, int16_t x, int16_t y) {
        PostToDialog(kFakePaneMessage, mouseMessage, MAKELPARAM(WORD(x), WORD(y)));
    }
    void Close() { PostToDialog(WM_CLOSE, 0, 0); }

    // Opens the dialog over the globals, then plays the actions: the first right
    // after the opening (its render request still queued), each followed by
    // emptying the queue as the dialog's loop would.
    void Run(FilterGlobals* globals, std::vector<std::function<void(FakeDialog&)>> actions);
    // Dispatches queued messages until the queue is empty or the dialog has ended.
    void Drain();
    // Dispatches the next queued message; returns it (WM_NULL when the queue is empty).
    UINT Step();

    struct SliderState {
        int minimum = 0, maximum = 100, position = 0;
    };
    SliderState& Slider(int id) { return sliders[id]; }

    HWND window;
    Rect frame{5, 165, 69, 261};  // 96 x 64 pixels
    std::string caption;
    int centered = 0, attached = 0, invalidations = 0;
    std::map<int, std::string> texts;
    std::map<int, std::pair<int, int>> selections;
    std::map<int, SliderState> sliders;
    std::map<int, bool> checked;
    bool ended = false;
    int endCode = -1;
    ParameterDialogState state;
};

// The dialog controls of a parameter, from the parameter table.
inline int CaptionOf(int16_t FilterParameters::*field) { return ParameterOf(field).captionId; }
inline int EditOf(int16_t FilterParameters::*field) { return ParameterOf(field).editId; }
inline int SliderOf(int16_t FilterParameters::*field) { return ParameterOf(field).sliderId; }
inline int RadioOf(ThresholdType type) { return kThresholdTypeTable[type].radioId; }

// A whole run with the dialog in a host: the user does what the function says
// (it is handed the dialog and the plug-in's globals), then presses OK.
RunOutcome RunWithDialog(TestHost& host, FakeDialog& dialog,
                         const std::function<void(FakeDialog&, FilterGlobals*)>& user);
