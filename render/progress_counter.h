// Progress as a render reports it: rows of sweeps, two sweeps (stamp and
// composite) per host plane, so the total is 2 x host planes x height, and a
// render ends by reporting (total, total).
#pragma once

#include <algorithm>
#include <cstdint>

#include "render/render_checks.h"
#include "render/star_settings.h"

class ProgressCounter {
public:
    ProgressCounter(RenderChecks* checks, const StarSettings& settings)
        : checks_(checks), report_(settings.reportProgress), height_(settings.height),
          total_(int32_t(std::clamp<int64_t>(2 * int64_t(settings.hostPlanes) * settings.height, INT32_MIN,
                                             INT32_MAX))) {}

    int32_t Total() const { return total_; }
    int32_t Done() const { return done_; }

    // Sets the count to the start of sweep `sweep` (two per colour pass).
    void StartSweep(int sweep) { done_ = int32_t(std::min<int64_t>(int64_t(sweep) * height_, INT32_MAX)); }

    // The reference render's check point of every tenth row: stop, abort, then
    // ten more rows reported. True when the render must stop.
    bool CheckPoint() {
        if (checks_->StopRequested() || checks_->Aborted()) return true;
        done_ += kCheckPointRows;
        Report(done_);
        return false;
    }

    // A faster path's check point: stop, abort, then the count it has reached,
    // never below what was reported before and below the total, which only
    // the last check point reports. True when the render must stop.
    bool CheckPointAt(int64_t done) {
        if (checks_->StopRequested() || checks_->Aborted()) return true;
        const int32_t reached = int32_t(std::clamp<int64_t>(done, 0, int64_t(total_) - 1));
        if (reached > done_) {
            done_ = reached;
            Report(done_);
        }
        return false;
    }

    // The last check point: false when the render was stopped at it.
    bool Finish() {
        if (checks_->StopRequested() || checks_->Aborted()) return false;
        Report(total_);
        return true;
    }

private:
    void Report(int32_t done) const {
        if (report_) checks_->Progress(done, total_);
    }

    RenderChecks* checks_;
    bool report_;
    int32_t height_;
    int32_t total_;
    int32_t done_ = 0;
};
