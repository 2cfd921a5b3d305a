// The filter as one image operation: every caller (the plug-in's filter pass,
// the command, the GEGL operation, the frei0r filter) hands it views of its
// own pixels and gets the result there, at the view's own precision. The
// operation owns the conversion between interleaved samples and the render's
// float planes and walks the rows on the render's worker threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/filter_parameters.h"
#include "render/render_scratch.h"
#include "render/render_stars.h"

enum class SampleFormat {
    U8,           // 0..255
    U16,          // 0..65535, the full range of 16-bit image files
    Interface16,  // 0..32768, the plug-in interface's 16-bit scale
    F32,          // 0..1; NaN is read as 0 and results are clamped to 0..1
};

size_t SampleBytes(SampleFormat format);

// Interleaved pixels, addressed by strides in bytes: any row and pixel layout
// a host hands over, aligned or not.
struct ImageView {
    void* samples = nullptr;  // the first sample of the top-left pixel
    SampleFormat format = SampleFormat::U8;
    int32_t width = 0;
    int32_t height = 0;
    // The samples of a pixel the filter reads: 1 gray, 2 gray + transparency,
    // 3 RGB, 4 RGB + transparency (more: every plane is a colour plane, as a
    // host's extra planes are). Transparency passes through unchanged; bytes
    // of a pixel past `channels` are never touched.
    int channels = 0;
    ptrdiff_t pixelBytes = 0;  // from one pixel to the next; 0: channels x the sample size
    ptrdiff_t rowBytes = 0;    // from one row to the next; 0: width x pixelBytes
};

// The float planes and the render's band accumulators, kept between calls by
// a caller that renders frame after frame (a video filter): memory already
// touched is not faulted in again. One render at a time uses a workspace.
struct RenderWorkspace {
    std::vector<float> planes;
    RenderScratch render;
};

struct ImageRequest {
    FilterParameters parameters;
    RenderOptions options;
    double proxyScale = 1.0;  // a host's reduced preview: 1.0, 0.5 or 0.25
    // Stop requests and progress, asked on the calling thread only; none: the
    // render runs to its end.
    RenderChecks* checks = nullptr;
    bool reportProgress = false;
    // True: `out` is written only once the whole render has succeeded, so a
    // stopped render leaves it as it was (the plug-in's promise to its host).
    // False: a caller that discards the image after a failure lets each plane
    // go straight back, sparing the memory that holds finished planes aside.
    bool outputOnlyOnSuccess = true;
    RenderWorkspace* workspace = nullptr;
};

struct ImageReport {
    RenderStatus status = RenderStatus::Done;
    RenderReport passes;        // how each colour pass was rendered
    bool planeByPlane = false;  // the passes were handed one plane at a time
    // Where the time went: reading the samples into float planes, the render
    // (highlights, stamping and blending), writing the results back.
    double importSeconds = 0;
    double renderSeconds = 0;
    double exportSeconds = 0;
};

// Filters `in` into `out`, which has the same size, channels and format and
// may be the same memory (filtering in place). Views that do not agree, or
// hold no pixel channel, give RenderStatus::Invalid and change nothing; an
// empty image is Done at once.
ImageReport FilterImage(const ImageRequest& request, const ImageView& in, const ImageView& out);

// A view of a tightly packed image: pixel after pixel, row after row.
ImageView PackedView(void* samples, SampleFormat format, int32_t width, int32_t height, int channels);
