// A per-thread message queue with window procedures, for non-Windows builds.
// It carries the dialog's and the preview pane's messages through the same
// post, peek, translate and dispatch calls as Win32.
#include <deque>
#include <mutex>
#include <unordered_set>

#include "tests/emulated_system/platform_testing.h"

struct PlatformWindow {
    WNDPROC procedure;
};

namespace {
thread_local std::deque<MSG> tQueue;
std::mutex gWindowsMutex;
std::unordered_set<HWND>& Windows() {
    static std::unordered_set<HWND> windows;
    return windows;
}

bool IsWindow(HWND window) {
    std::lock_guard<std::mutex> lock(gWindowsMutex);
    return Windows().count(window) != 0;
}

bool Matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
    if (window && message.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return message.message >= filterMin && message.message <= filterMax;
}
}  // namespace

HWND PlatformCreateWindow(WNDPROC procedure) {
    HWND window = new PlatformWindow{procedure};
    std::lock_guard<std::mutex> lock(gWindowsMutex);
    Windows().insert(window);
    return window;
}

void PlatformDestroyWindow(HWND window) {
    {
        std::lock_guard<std::mutex> lock(gWindowsMutex);
        if (!Windows().erase(window)) return;
    }
    delete window;
}

size_t PlatformQueuedMessageCount() { return tQueue.size(); }

void PlatformClearMessageQueue() { tQueue.clear(); }

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ForeignCodeScope system;
    if (window && !IsWindow(window)) return FALSE;
    tQueue.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    ForeignCodeScope system;
    for (auto it = tQueue.begin(); it != tQueue.end(); ++it) {
        if (!Matches(*it, window, filterMin, filterMax)) continue;
        if (message) *message = *it;
        if (removeFlags & PM_REMOVE) tQueue.erase(it);
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }  // no keyboard input to translate here

LRESULT DispatchMessageA(const MSG* message) {
    if (!message || !message->hwnd || !IsWindow(message->hwnd)) return 0;
    return message->hwnd->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window || !IsWindow(window)) return 0;
    return window->procedure(window, message, wParam, lParam);
}
