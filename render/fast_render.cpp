#include "render/fast_render.h"

#include <algorithm>
#include <new>

#include "core/parallel_work.h"
#include "core/vector_clones.h"
#include "render/accum_grid.h"
#include "render/banded_stamping.h"
#include "render/fourier_stamping.h"
#include "render/line_layout.h"
#include "render/progress_counter.h"
#include "render/ray_list.h"
#include "render/render_scratch.h"
#include "render/star_pattern.h"
#include "render/star_sources.h"
#include "render/tail_cut.h"
#include "render/trace_ray.h"

namespace {

// Costs in one unit, for choosing a pass's path: one stamped point against
// one operation of the transforms (as PlanFourier counts them), measured on
// the benchmark's scenes.
constexpr double kStampPointCost = 1.0;
constexpr double kFourierOperationCost = 2.0;
// A line reaches the rectangle's edge from only part of the sources.
constexpr double kShareOfLineInside = 0.7;
// About this many stamped points make one band: tens of milliseconds of work.
constexpr int64_t kPointsPerBand = 8000000;
constexpr int64_t kRowsPerCompositeItem = 16;
// A band's accumulator should stay in a core's own cache while its sources'
// lines are added and while it is blended: a line across the band (the
// vertical one) hits every row of it for each source. But every band walks
// all the sources within a line's reach, so bands of fewer rows than this
// cost more in walking than they save (measured at 1080p and at 12 MP).
constexpr size_t kBandBytes = size_t(512) << 10;
constexpr int32_t kFewestBandRows = 48;

// Screen-blends a row of light into its samples and zeroes the light, so
// that the accumulator is clear for the next band without a pass of its own.
// A cell without light keeps its sample exactly. Without branches, so that
// the compiler turns it into vector code.
GLYRA_VECTOR_CLONES void CompositeAndClearRow(double* __restrict light, float* __restrict row, int32_t width,
                                              double gain) {
    for (int32_t l = 0; l < width; ++l) {
        const double cell = light[l];
        const float blended = ScreenBlend(gain, cell, row[l]);
        row[l] = cell != 0 ? blended : row[l];
        light[l] = 0;
    }
}

// The work of one render, shared by its passes.
class FastRender {
public:
    FastRender(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
               const RenderOptions& options, RenderReport* report)
        : settings_(settings), p_(settings.parameters), planes_(planes), checks_(checks), options_(options),
          report_(report), progress_(checks, settings), width_(settings.width), height_(settings.height),
          workers_(WorkerCount(options.threads)),
          tested_(planes->planes, settings.hostPlanes, settings.parameters.thresholdType),
          scratch_(options.scratch ? *options.scratch : ownScratch_) {}

    ~FastRender() {
        for (RayList* list : lists_) FreeRayList(list);
    }

    RenderStatus Run() {
        for (RayList*& list : lists_)
            if (!(list = NewRayList(kRayListCapacity))) return RenderStatus::OutOfMemory;
        if (checks_->Aborted()) return RenderStatus::Cancelled;
        const int passCount = RenderedPlaneCount(settings_.hostPlanes);
        for (int pass = 0; pass < passCount; ++pass) {
            report_->passes = pass + 1;
            if (!checks_->BeginPass(pass)) return RenderStatus::Cancelled;
            const RenderStatus status = RenderPass(pass);
            if (status != RenderStatus::Done) return status;
            checks_->EndPass(pass);
        }
        return progress_.Finish() ? RenderStatus::Done : RenderStatus::Cancelled;
    }

private:
    // A check point at a share of the rows from `first` spanning `rows` rows
    // of the progress count; true when the render must go on.
    std::function<bool(double)> CheckPointOver(int64_t first, int64_t rows) {
        return [this, first, rows](double done) {
            return !progress_.CheckPointAt(first + int64_t(double(rows) * std::clamp(done, 0.0, 1.0)));
        };
    }

    RenderStatus RenderPass(int pass) {
        float* plane = planes_->planes[pass];
        const int64_t sweep = 2 * int64_t(pass) * height_;
        ProfileTable* table = NewPassProfile(p_, pass, width_, height_, settings_.scale);
        if (!table) return RenderStatus::OutOfMemory;
        if (checks_->Aborted()) {
            FreeProfileTable(table);
            return RenderStatus::Cancelled;
        }
        double angles[kMaxStarLines];
        lineCount_ = StarLines(p_.lineType, double(p_.angle), angles);
        bool traced = true;
        for (int n = 0; n < lineCount_; ++n) {
            ClearRayList(lists_[n]);
            traced = traced && TraceRay(lists_[n], width_, height_, angles[n], table);
        }
        FreeProfileTable(table);
        if (!traced) return RenderStatus::OutOfMemory;

        const double level = ThresholdLevel(p_);
        const double gain = BrightnessGain(p_);
        SourceScan scan{plane, tested_, level, width_, height_, workers_, CheckPointOver(sweep, height_ / 10)};
        if (!CountSources(scan, &sources_)) return RenderStatus::Cancelled;
        const int64_t sources = sources_.Count();
        const double largest = sources_.largest;
        if (sources == 0 || lineCount_ == 0) {
            // Without light the composite leaves every sample exactly as it is.
            report_->methods[pass] = PassMethod::Skipped;
            return RenderStatus::Done;
        }

        // The lines cut at their negligible tails.
        bool laidOut = true;
        int64_t pointsPerSource = 0;
        try {
            const double budget = LineTailBudget(lineCount_, largest, gain);
            for (int n = 0; n < lineCount_; ++n) {
                laidOut = laidOut && LayOutLine(lists_[n], KeptPointCount(lists_[n], budget), width_, &layouts_[n]);
                pointsPerSource += 2 * int64_t(layouts_[n].count - 1);
            }
        } catch (const std::bad_alloc&) {
            laidOut = false;
        }

        if (laidOut && ChooseFourier(sources, pointsPerSource)) {
            FourierJob job{plane,     tested_,    level,    gain,
                           width_,    height_,    layouts_, lineCount_,
                           workers_,  CheckPointOver(sweep, 2 * int64_t(height_))};
            try {
                if (!StampAndCompositeByFourier(job, fourier_)) return RenderStatus::Cancelled;
                report_->methods[pass] = PassMethod::Fourier;
                return RenderStatus::Done;
            } catch (const std::bad_alloc&) {
                // Not enough memory after all: stamp exactly instead.
            }
        }
        return StampExactly(pass, scan, laidOut, sources * pointsPerSource, gain);
    }

    bool ChooseFourier(int64_t sources, int64_t pointsPerSource) {
        if (options_.path != RenderPath::Auto && options_.path != RenderPath::Fourier) return false;
        fourier_ = PlanFourier(width_, height_, layouts_, lineCount_);
        const size_t budget = options_.fourierMemory ? options_.fourierMemory : kDefaultFourierMemory;
        if (fourier_.bytes > budget || !KernelSuitsFourier(layouts_, lineCount_)) return false;
        if (options_.path == RenderPath::Fourier) return true;
        const double stamping = double(sources) * double(pointsPerSource) * kShareOfLineInside * kStampPointCost;
        return fourier_.operations * kFourierOperationCost < stamping;
    }

    RenderStatus StampExactly(int pass, const SourceScan& scan, bool laidOut, int64_t estimatedPoints, double gain) {
        float* plane = planes_->planes[pass];
        const int64_t sweep = 2 * int64_t(pass) * height_;
        bool banded = laidOut;
        if (banded) {
            try {
                SourceScan collect = scan;
                collect.checkPoint = CheckPointOver(sweep + height_ / 10, height_ / 10);
                if (!CollectSources(collect, &sources_)) return RenderStatus::Cancelled;
            } catch (const std::bad_alloc&) {
                banded = false;
            }
        }
        const int32_t bandRows = std::min(
            CacheBandRows(),
            BandRowsFor(int64_t(double(estimatedPoints) * kShareOfLineInside), height_, kPointsPerBand, 4 * workers_));
        const size_t bandElements = size_t(kBandSlots) * size_t(workers_) * size_t(bandRows) * size_t(width_);
        double* bands = banded ? ClearBandsFor(&scratch_, bandElements) : nullptr;
        const int64_t stampFrom = sweep + height_ / 5, stampRows = height_ - height_ / 5;
        if (bands) {
            // Each band is blended as soon as its light is complete, while it is
            // still in the worker's cache; the bands' cells are 0 again after.
            scratch_.bandsClear = false;
            StampJob job{width_, height_, &sources_, layouts_, lineCount_, workers_, bandRows, bands,
                         [this, plane, gain](int32_t first, int32_t last, double* light) {
                             for (int32_t k = first; k < last; ++k)
                                 CompositeAndClearRow(light + size_t(k - first) * size_t(width_),
                                                      plane + size_t(k) * size_t(width_), width_, gain);
                         },
                         CheckPointOver(stampFrom, stampRows + height_)};
            if (!StampBands(job)) return RenderStatus::Cancelled;
            scratch_.bandsClear = true;
            report_->methods[pass] = PassMethod::Banded;
            return RenderStatus::Done;
        }
        // Without a source list: the reference's stamping into an accumulator
        // of the whole rectangle, then the blend.
        AccumGrid* grid = NewAccumGrid(height_, width_);
        if (!grid) return RenderStatus::OutOfMemory;
        const bool done =
            StampSerially(grid, scan, stampFrom, stampRows) && Composite(grid, plane, gain, sweep + height_);
        FreeAccumGrid(grid);
        report_->methods[pass] = PassMethod::Serial;
        return done ? RenderStatus::Done : RenderStatus::Cancelled;
    }

    int32_t CacheBandRows() const {
        return int32_t(std::max<size_t>(kFewestBandRows, kBandBytes / (size_t(width_) * sizeof(double))));
    }

    // The reference's stamping, without a source list: every line whole.
    bool StampSerially(AccumGrid* grid, const SourceScan& scan, int64_t from, int64_t rows) {
        auto checkPoint = CheckPointOver(from, rows);
        for (int32_t j = 0; j < height_; ++j) {
            if (j % kCheckPointRows == 0 && !checkPoint(double(j) / height_)) return false;
            const size_t rowStart = size_t(j) * size_t(width_);
            for (int32_t l = 0; l < width_; ++l) {
                double value;
                if (!IsSource(scan.plane, scan.tested, scan.level, rowStart + size_t(l), &value)) continue;
                for (int n = 0; n < lineCount_; ++n) StampRays(grid, width_, height_, l, j, value, lists_[n]);
            }
        }
        return true;
    }

    bool Composite(AccumGrid* grid, float* plane, double gain, int64_t from) {
        ParallelJob composite;
        composite.items = (height_ + kRowsPerCompositeItem - 1) / kRowsPerCompositeItem;
        composite.workers = workers_;
        composite.work = [this, grid, plane, gain](int64_t item, int, const std::atomic<bool>&) {
            const int64_t first = item * kRowsPerCompositeItem;
            const int64_t last = std::min<int64_t>(height_, first + kRowsPerCompositeItem);
            for (int64_t k = first; k < last; ++k)
                CompositeAndClearRow(grid->rows[k], plane + size_t(k) * size_t(width_), width_, gain);
        };
        composite.checkPoint = CheckPointOver(from, height_);
        return RunParallel(composite);
    }

    const StarSettings& settings_;
    const FilterParameters& p_;
    WorkPlaneSet* planes_;
    RenderChecks* checks_;
    const RenderOptions& options_;
    RenderReport* report_;
    ProgressCounter progress_;
    const int32_t width_, height_;
    const int workers_;
    const TestedValue tested_;
    RayList* lists_[kMaxStarLines] = {};
    PassSources sources_;  // the pass's highlights, counted row by row, then collected
    LineLayout layouts_[kMaxStarLines];
    int lineCount_ = 0;
    RenderScratch ownScratch_;  // when the caller keeps none
    RenderScratch& scratch_;
    FourierPlan fourier_;
};

}  // namespace

RenderStatus RenderStarsFast(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
                             const RenderOptions& options, RenderReport* report) {
    try {
        FastRender render(settings, planes, checks, options, report);
        return render.Run();
    } catch (const std::bad_alloc&) {
        return RenderStatus::OutOfMemory;
    } catch (...) {
        // Nothing may leave the plug-in: a failure to start threads or any
        // other surprise ends the render as if memory had run out.
        return RenderStatus::OutOfMemory;
    }
}
