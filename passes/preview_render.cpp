#include "passes/preview_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "interface/result_codes.h"
#include "passes/filter_pass.h"
#include "core/sample_math.h"

namespace {

// One axis of the region: a span of the given length around the centre,
// fitted into the image, or centred on it when longer.
void FitSpan(int64_t length, int64_t imageLength, double center, int32_t* low, int32_t* high) {
    int64_t start;
    if (length > imageLength) {
        start = (imageLength - length) / 2;
    } else {
        start = RoundHalfAwayFromZero(center - double(length / 2));
        if (start < 0) start = 0;
        if (start + length > imageLength) start = imageLength - length;
    }
    *low = int32_t(start);
    *high = int32_t(start + length);
}

// One axis of the pane's layout: how many pane pixels show image pixels, where
// they start, and the first image pixel.
struct Axis {
    int64_t count;   // pane rows or columns drawn
    int64_t offset;  // first pane row or column drawn
    int64_t first;   // first image row or column
};

Axis LayOut(int32_t low, int32_t high, int32_t imageLength, int32_t paneLength, double zoom) {
    if (int64_t(high) - low > imageLength) {
        const int64_t count = RoundHalfAwayFromZero(imageLength / zoom);
        return Axis{count, (paneLength - count) / 2, 0};
    }
    return Axis{paneLength, 0, low};
}

// The image pixel shown by pane pixel i of an axis.
int64_t ImagePixel(const Axis& axis, int64_t i, double zoom, int64_t magnification, int32_t imageLength) {
    const int64_t at = axis.first + (magnification >= 2 ? i / magnification : RoundHalfAwayFromZero(double(i) * zoom));
    return std::clamp<int64_t>(at, 0, imageLength - 1);
}

}  // namespace

bool HoldsWholeImage(const void* data, const Rect& delivered, int32_t rowBytes, Point imageSize, int64_t pixelBytes) {
    return data && delivered.top == 0 && delivered.left == 0 && delivered.bottom >= imageSize.v &&
           delivered.right >= imageSize.h && int64_t(rowBytes) >= int64_t(imageSize.h) * pixelBytes;
}

double ZoomFactor(int16_t zoomLevel) { return zoomLevel >= 1 ? double(zoomLevel) : 1.0 / (2 - zoomLevel); }

void PreviewRegion(const FilterGlobals* globals, VRect* region) {
    const FilterRecord* record = globals->filterRecord;
    const double z = ZoomFactor(globals->zoomLevel);
    const int64_t paneWidth = int64_t(globals->previewFrame.right) - globals->previewFrame.left;
    const int64_t paneHeight = int64_t(globals->previewFrame.bottom) - globals->previewFrame.top;
    const auto w = int64_t(std::ceil(double(paneWidth) * z));
    const auto h = int64_t(std::ceil(double(paneHeight) * z));
    FitSpan(h, record->imageSize.v, globals->viewCenterV, &region->top, &region->bottom);
    FitSpan(w, record->imageSize.h, globals->viewCenterH, &region->left, &region->right);
}

void RectIntersection(VRect* out, const VRect* a, const VRect* b) {
    auto ordered = [](VRect r) {
        if (r.top > r.bottom) std::swap(r.top, r.bottom);
        if (r.left > r.right) std::swap(r.left, r.right);
        return r;
    };
    const VRect x = ordered(*a), y = ordered(*b);
    VRect result;
    result.left = std::max(x.left, y.left);
    result.right = std::min(x.right, y.right);
    if (result.left >= result.right) result.left = result.right = 0;
    result.top = std::max(x.top, y.top);
    result.bottom = std::min(x.bottom, y.bottom);
    if (result.top >= result.bottom) result.top = result.bottom = 0;
    *out = result;
}

void RectIntersection(Rect* out, const Rect* a, const Rect* b) {
    const VRect wa{a->top, a->left, a->bottom, a->right}, wb{b->top, b->left, b->bottom, b->right};
    VRect result;
    RectIntersection(&result, &wa, &wb);
    *out = Rect{int16_t(result.top), int16_t(result.left), int16_t(result.bottom), int16_t(result.right)};
}

void RenderPreview(FilterGlobals* globals, bool filtered, const PreviewSession* session) {
    FilterRecord* record = globals->filterRecord;
    const int b = BytesPerSample(record->imageMode);
    const int planes = record->planes;
    const int n = planes + (globals->hasTransparency ? 1 : 0);
    const int32_t paneWidth = globals->previewFrame.right - globals->previewFrame.left;
    const int32_t paneHeight = globals->previewFrame.bottom - globals->previewFrame.top;
    if (paneWidth <= 0 || paneHeight <= 0 || planes <= 0 || !globals->previewPixels || !globals->previewMask) return;
    std::memset(globals->previewPixels, 0, size_t(paneWidth) * size_t(paneHeight) * size_t(n));
    std::memset(globals->previewMask, 0, size_t(paneWidth) * size_t(paneHeight));
    // Without the whole image from the host there is nothing to show.
    const int64_t pixelBytes = int64_t(planes) * b;
    if (!session->sourceReady ||
        !HoldsWholeImage(record->inData, record->inRect, record->inRowBytes, record->imageSize, pixelBytes))
        return;

    const double z = ZoomFactor(globals->zoomLevel);
    const int64_t q = RoundHalfAwayFromZero(1.0 / z);
    VRect region;
    PreviewRegion(globals, &region);
    if (filtered) {
        const VRect filter{record->filterRect.top, record->filterRect.left, record->filterRect.bottom,
                           record->filterRect.right};
        VRect pass;
        RectIntersection(&pass, &region, &filter);
        globals->passRect = Rect{int16_t(pass.top), int16_t(pass.left), int16_t(pass.bottom), int16_t(pass.right)};
        RunFilterPass(globals, &session->state);
        if (*globals->result != noErr ||
            !HoldsWholeImage(record->outData, record->outRect, record->outRowBytes, record->imageSize, pixelBytes))
            filtered = false;
    }

    const int32_t imageHeight = record->imageSize.v, imageWidth = record->imageSize.h;
    if (imageHeight <= 0 || imageWidth <= 0) return;
    const Axis rows = LayOut(region.top, region.bottom, imageHeight, paneHeight, z);
    const Axis columns = LayOut(region.left, region.right, imageWidth, paneWidth, z);
    if (rows.count < 1) return;

    const auto* input = static_cast<const uint8_t*>(record->inData);
    const auto* source = filtered ? static_cast<const uint8_t*>(record->outData) : input;
    const int32_t sourceRowBytes = filtered ? record->outRowBytes : record->inRowBytes;
    // A host may announce a mask and hand over none, or too little of one:
    // then nothing is blended.
    const bool maskDelivered =
        record->haveMask && HoldsWholeImage(record->maskData, record->maskRect, record->maskRowBytes, record->imageSize, 1);
    const auto* mask = maskDelivered ? static_cast<const uint8_t*>(record->maskData) : nullptr;
    const bool blend8 = mask && record->autoMask;

    for (int64_t i = 0; i < rows.count; ++i) {
        const int64_t paneRow = rows.offset + i;
        if (paneRow < 0 || paneRow >= paneHeight) continue;
        const int64_t row = ImagePixel(rows, i, z, q, imageHeight);
        for (int64_t j = 0; j < columns.count; ++j) {
            const int64_t paneColumn = columns.offset + j;
            if (paneColumn < 0 || paneColumn >= paneWidth) continue;
            const int64_t column = ImagePixel(columns, j, z, q, imageWidth);
            const uint8_t* unfiltered = input + row * record->inRowBytes + column * int64_t(pixelBytes);
            const uint8_t* shown = source + row * sourceRowBytes + column * int64_t(pixelBytes);
            const uint8_t maskByte = mask ? mask[row * record->maskRowBytes + column] : 0;
            const double m = maskByte * kOneOver255;
            uint8_t* out = globals->previewPixels + (paneRow * paneWidth + paneColumn) * n;
            for (int p = 0; p < planes; ++p) {
                const uint32_t x = LoadHostSample(unfiltered, p, b), y = LoadHostSample(shown, p, b);
                uint32_t value;
                if (b == 1) {
                    value = blend8 ? uint32_t((1 - m) * x + m * y) : y;
                } else if (mask) {
                    const double blended = (1 - m) * double(x >> 7) + m * double(y >> 7);
                    value = uint32_t(std::min<int64_t>(RoundHalfAwayFromZero(blended), 255));
                } else {
                    value = DisplaySample16(uint16_t(y));
                }
                out[p] = uint8_t(value);
            }
            globals->previewMask[paneRow * paneWidth + paneColumn] =
                record->haveMask ? (mask ? maskByte : uint8_t(1)) : uint8_t(1);
            if (globals->hasTransparency && globals->transparencyPlane)
                out[planes] = globals->transparencyPlane[row * imageWidth + column];
        }
    }
}
