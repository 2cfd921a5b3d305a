// What a render asks of its caller while it works: whether to stop, and where
// it has got to. The render calls these only on the thread that called it,
// never from a worker thread, so that the caller may pump window messages and
// call the host from them.
#pragma once

#include <cstdint>

// The reference render runs a check point at every tenth row of each sweep.
constexpr int32_t kCheckPointRows = 10;

class RenderChecks {
public:
    virtual ~RenderChecks() = default;
    // The dialog's side: dispatches waiting messages; true when the render must stop.
    virtual bool StopRequested() = 0;
    // The host's side: true when the user asked the host to stop.
    virtual bool Aborted() = 0;
    virtual void Progress(int32_t done, int32_t total) = 0;
    // Before colour pass `pass` reads its plane and after it has blended into
    // it: a caller whose passes each read only their own plane may hand the
    // render one plane at a time. BeginPass answers false to stop the render.
    virtual bool BeginPass(int /*pass*/) { return true; }
    virtual void EndPass(int /*pass*/) {}
};
