// Built with Eigen's FFT module (header-only, MPL 2.0), double precision.
#include "render/fourier_stamping.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include <unsupported/Eigen/FFT>

#include "core/parallel_work.h"
#include "render/star_sources.h"

namespace {

using Complex = std::complex<double>;

constexpr int64_t kRowsPerItem = 8;
constexpr int64_t kColumnsPerItem = 16;
// Weights of ordinary parameters stay within 0..1 (the profile is 1 at the
// source and the three terms weigh at most 0.5 each); anything far larger
// comes from values outside the parameter ranges and is left to exact stamping.
constexpr double kLargestKernelWeight = 16.0;

// Scratch of one worker: its own transform plans and buffers, made before
// the work starts so that nothing is allocated while the plane is written.
struct Worker {
    Eigen::FFT<double> rows;
    Eigen::FFT<double> columns;
    std::vector<double> line;      // one real row, padded width
    std::vector<Complex> half;     // its half spectrum
    std::vector<Complex> column;   // one column, padded height
    std::vector<Complex> spectrum;

    Worker(int32_t paddedWidth, int32_t paddedHeight)
        : line(size_t(paddedWidth), 0.0), half(size_t(paddedWidth / 2 + 1)), column(size_t(paddedHeight)),
          spectrum(size_t(paddedHeight)) {
        for (Eigen::FFT<double>* fft : {&rows, &columns}) {
            fft->SetFlag(Eigen::FFT<double>::HalfSpectrum);
            fft->SetFlag(Eigen::FFT<double>::Unscaled);
        }
        // Warm the plans and the library's own buffers for both directions.
        rows.fwd(half.data(), line.data(), paddedWidth);
        rows.inv(line.data(), half.data(), paddedWidth);
        columns.fwd(spectrum.data(), column.data(), paddedHeight);
        columns.inv(column.data(), spectrum.data(), paddedHeight);
    }
};

int32_t Reach(const LineLayout* lines, int lineCount, bool rows) {
    int32_t reach = 0;
    for (int n = 0; n < lineCount; ++n)
        reach = rows ? std::max({reach, -lines[n].dyMin, lines[n].dyMax})
                     : std::max({reach, -lines[n].dxMin, lines[n].dxMax});
    return reach;
}

double TransformCost(double n) { return n > 1 ? n * std::log2(n) : 1.0; }

// The share of the whole pass that each step stands for, from its transforms.
struct Steps {
    double kernelRows, kernelColumns, mapRows, mapColumns, outputRows;
    double Total() const { return kernelRows + kernelColumns + mapRows + mapColumns + outputRows; }
};

Steps StepCosts(int32_t width, int32_t height, int32_t paddedWidth, int32_t paddedHeight, int32_t rowReach) {
    const double halfWidth = paddedWidth / 2 + 1;
    const double row = TransformCost(paddedWidth / 2.0), column = TransformCost(paddedHeight);
    (void)width;
    return Steps{(2.0 * rowReach + 1) * row, halfWidth * column, double(height) * row, 2 * halfWidth * column,
                 double(height) * row};
}

}  // namespace

int32_t SmoothSize(int64_t minimum, bool multipleOfFour) {
    // At least 4: a transform of length 1 falls to the library's generic
    // butterfly, which has no scratch space for it.
    for (int64_t n = std::max<int64_t>(minimum, 4);; ++n) {
        if (multipleOfFour && n % 4 != 0) continue;
        int64_t rest = n;
        for (int64_t p : {2, 3, 5})
            while (rest % p == 0) rest /= p;
        if (rest == 1) return int32_t(n);
    }
}

FourierPlan PlanFourier(int32_t width, int32_t height, const LineLayout* lines, int lineCount) {
    FourierPlan plan;
    const int32_t rowReach = Reach(lines, lineCount, true), columnReach = Reach(lines, lineCount, false);
    plan.columns = SmoothSize(int64_t(width) + columnReach, true);
    plan.rows = SmoothSize(int64_t(height) + rowReach, false);
    const size_t halfWidth = size_t(plan.columns / 2 + 1);
    const size_t spectrumRows = size_t(std::max<int64_t>(2 * int64_t(rowReach) + 1, height));
    plan.bytes = spectrumRows * halfWidth * sizeof(Complex) + halfWidth * size_t(plan.rows) * sizeof(double);
    plan.operations = StepCosts(width, height, plan.columns, plan.rows, rowReach).Total();
    return plan;
}

bool KernelSuitsFourier(const LineLayout* lines, int lineCount) {
    for (int n = 0; n < lineCount; ++n)
        for (int32_t s = 1; s < lines[n].count; ++s) {
            const double w = lines[n].weight[size_t(s)];
            if (!(std::fabs(w) <= kLargestKernelWeight)) return false;
        }
    return true;
}

bool StampAndCompositeByFourier(const FourierJob& job, const FourierPlan& plan) {
    const int32_t width = job.width, height = job.height;
    const int32_t paddedWidth = plan.columns, paddedHeight = plan.rows;
    const int64_t halfWidth = paddedWidth / 2 + 1;
    const int32_t rowReach = Reach(job.lines, job.lineCount, true);
    const int64_t kernelRows = 2 * int64_t(rowReach) + 1;

    // Everything is allocated here, before the plane is touched.
    std::vector<Complex> spectra(size_t(std::max<int64_t>(kernelRows, height) * halfWidth));
    std::vector<double> kernelSpectrum(size_t(halfWidth) * size_t(paddedHeight));
    const int workers = std::max(job.workers, 1);
    std::vector<std::unique_ptr<Worker>> scratch;
    for (int w = 0; w < workers; ++w) scratch.push_back(std::make_unique<Worker>(paddedWidth, paddedHeight));

    const Steps steps = StepCosts(width, height, paddedWidth, paddedHeight, rowReach);
    const double total = steps.Total();
    double before = 0.0;  // the share of the steps finished
    auto run = [&](int64_t items, double cost, std::function<void(int64_t, Worker&)> work) {
        ParallelJob parallel;
        parallel.items = items;
        parallel.workers = workers;
        parallel.work = [&](int64_t item, int worker, const std::atomic<bool>&) { work(item, *scratch[size_t(worker)]); };
        parallel.checkPoint = [&](double done) {
            return !job.checkPoint || job.checkPoint((before + cost * done) / total);
        };
        const bool finished = RunParallel(parallel);
        before += cost;
        return finished;
    };
    auto spectrumRow = [&](int64_t row) { return spectra.data() + row * halfWidth; };

    // The kernel, one row of offsets dy at a time, then its columns. The
    // kernel is real and even, so its transform is real.
    const bool kernelDone =
        run(kernelRows, steps.kernelRows, [&](int64_t item, Worker& worker) {
            const int32_t dy = int32_t(item) - rowReach;
            std::fill(worker.line.begin(), worker.line.end(), 0.0);
            auto put = [&](int32_t dx, double w) {
                worker.line[size_t((dx % paddedWidth + paddedWidth) % paddedWidth)] += w;
            };
            if (dy == 0) worker.line[0] += double(job.lineCount);  // the source's own cell, once per line
            for (int n = 0; n < job.lineCount; ++n) {
                const LineLayout& line = job.lines[n];
                IndexRange forward = line.RowsIn(dy, dy + 1);
                for (int32_t s = forward.begin; s < forward.end; ++s) put(line.dx[size_t(s)], line.weight[size_t(s)]);
                IndexRange backward = line.RowsIn(-dy, -dy + 1);
                for (int32_t s = backward.begin; s < backward.end; ++s)
                    put(-line.dx[size_t(s)], line.weight[size_t(s)]);
            }
            worker.rows.fwd(spectrumRow(item), worker.line.data(), paddedWidth);
        }) &&
        run((halfWidth + kColumnsPerItem - 1) / kColumnsPerItem, steps.kernelColumns, [&](int64_t item, Worker& worker) {
            for (int64_t c = item * kColumnsPerItem; c < std::min(halfWidth, (item + 1) * kColumnsPerItem); ++c) {
                std::fill(worker.column.begin(), worker.column.end(), Complex());
                for (int64_t k = 0; k < kernelRows; ++k) {
                    const int64_t dy = k - rowReach;
                    worker.column[size_t((dy % paddedHeight + paddedHeight) % paddedHeight)] = spectrumRow(k)[c];
                }
                worker.columns.fwd(worker.spectrum.data(), worker.column.data(), paddedHeight);
                double* out = kernelSpectrum.data() + c * paddedHeight;
                for (int32_t k = 0; k < paddedHeight; ++k) out[k] = worker.spectrum[size_t(k)].real();
            }
        });
    if (!kernelDone) return false;

    // The map of source values, row by row; then each column is transformed,
    // multiplied by the kernel's and transformed back; then the rows.
    const double scale = 1.0 / (double(paddedWidth) * double(paddedHeight));
    return run((height + kRowsPerItem - 1) / kRowsPerItem, steps.mapRows,
               [&](int64_t item, Worker& worker) {
                   for (int64_t r = item * kRowsPerItem; r < std::min<int64_t>(height, (item + 1) * kRowsPerItem); ++r) {
                       std::fill(worker.line.begin(), worker.line.end(), 0.0);
                       const size_t start = size_t(r) * size_t(width);
                       for (int32_t l = 0; l < width; ++l) {
                           double value;
                           if (IsSource(job.plane, job.tested, job.level, start + size_t(l), &value))
                               worker.line[size_t(l)] = value;
                       }
                       worker.rows.fwd(spectrumRow(r), worker.line.data(), paddedWidth);
                   }
               }) &&
           run((halfWidth + kColumnsPerItem - 1) / kColumnsPerItem, steps.mapColumns,
               [&](int64_t item, Worker& worker) {
                   for (int64_t c = item * kColumnsPerItem; c < std::min(halfWidth, (item + 1) * kColumnsPerItem);
                        ++c) {
                       std::fill(worker.column.begin(), worker.column.end(), Complex());
                       for (int32_t r = 0; r < height; ++r) worker.column[size_t(r)] = spectrumRow(r)[c];
                       worker.columns.fwd(worker.spectrum.data(), worker.column.data(), paddedHeight);
                       const double* kernel = kernelSpectrum.data() + c * paddedHeight;
                       for (int32_t k = 0; k < paddedHeight; ++k) worker.spectrum[size_t(k)] *= kernel[k];
                       worker.columns.inv(worker.column.data(), worker.spectrum.data(), paddedHeight);
                       for (int32_t r = 0; r < height; ++r) spectrumRow(r)[c] = worker.column[size_t(r)];
                   }
               }) &&
           run((height + kRowsPerItem - 1) / kRowsPerItem, steps.outputRows, [&](int64_t item, Worker& worker) {
               for (int64_t r = item * kRowsPerItem; r < std::min<int64_t>(height, (item + 1) * kRowsPerItem); ++r) {
                   worker.rows.inv(worker.line.data(), spectrumRow(r), paddedWidth);
                   float* row = job.plane + size_t(r) * size_t(width);
                   for (int32_t l = 0; l < width; ++l)
                       row[l] = ScreenBlend(job.gain, worker.line[size_t(l)] * scale, row[l]);
               }
           });
}
