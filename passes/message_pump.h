// Keeping the dialog alive during long work: the preview state word, the two
// preview request messages, and the pump that dispatches waiting messages and
// says whether the running work must stop.
#pragma once

#include <cstdint>

// Values of the preview state word. The dialog owns the word (one per open
// dialog) and moves it; the pump only reads it.
enum PreviewStateValue : int32_t {
    PreviewIdle = 0,     // no preview render under way; the pump does nothing
    PreviewStop = 1,     // stop the running render; nothing follows
    PreviewRestart = 2,  // stop, then request a filtered render
    PreviewRezoom = 3,   // stop, then request an unfiltered redisplay and a filtered render
    PreviewBusy = 4,     // a preview render is under way
};

constexpr unsigned kWmApp = 0x8000;
constexpr unsigned WM_PREVIEW_FILTERED = kWmApp + 100;
constexpr unsigned WM_PREVIEW_PLAIN = kWmApp + 101;

// True when the running work must stop. Without a preview (a null or idle
// state word) it returns false at once; during one it dispatches the thread's
// waiting messages and stops at the first after which the state asks for a
// stop, or at a close request, which it puts back on the queue (dropping
// pending preview requests) to be handled once the render has unwound.
bool PumpMessages(const int32_t* previewState);
