#include "cli/png_image_data.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>

#include "core/parallel_work.h"

namespace {

constexpr int32_t kRowsPerRun = 64;

// One row with its filter type byte (1, Sub): each byte less the byte of the
// same sample one pixel before. Sixteen-bit samples go big-endian, as PNG
// stores them.
void FilterRow(const uint8_t* row, size_t rowBytes, int depth, size_t pixelBytes, uint8_t* out) {
    out[0] = 1;
    uint8_t* filtered = out + 1;
    if (depth == 16) {
        for (size_t i = 0; i < rowBytes; i += 2) {
            filtered[i] = row[i + 1];
            filtered[i + 1] = row[i];
        }
    } else {
        std::copy(row, row + rowBytes, filtered);
    }
    for (size_t i = rowBytes; i-- > pixelBytes;) filtered[i] = uint8_t(filtered[i] - filtered[i - pixelBytes]);
}

struct Run {
    std::vector<uint8_t> deflated;
    uLong adler = 0;
    z_off_t length = 0;  // bytes before compression
    bool ok = false;
};

void CompressRun(const PngPixels& pixels, int level, int32_t first, int32_t last, bool final, Run* run) {
    const size_t pixelBytes = size_t(pixels.channels) * size_t(pixels.depth / 8);
    const size_t rowBytes = size_t(pixels.width) * pixelBytes;
    std::vector<uint8_t> filtered((rowBytes + 1) * size_t(last - first));
    for (int32_t y = first; y < last; ++y)
        FilterRow(pixels.data + size_t(y) * rowBytes, rowBytes, pixels.depth, pixelBytes,
                  filtered.data() + size_t(y - first) * (rowBytes + 1));
    run->length = z_off_t(filtered.size());
    run->adler = adler32(adler32(0, nullptr, 0), filtered.data(), uInt(filtered.size()));

    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) return;
    run->deflated.resize(deflateBound(&stream, uLong(filtered.size())) + 16);
    stream.next_in = filtered.data();
    stream.avail_in = uInt(filtered.size());
    stream.next_out = run->deflated.data();
    stream.avail_out = uInt(run->deflated.size());
    // A sync flush ends the run on a byte boundary without marking the last
    // block, so the next run's stream continues it.
    const int status = deflate(&stream, final ? Z_FINISH : Z_SYNC_FLUSH);
    run->ok = final ? status == Z_STREAM_END : status == Z_OK && stream.avail_in == 0;
    run->deflated.resize(run->deflated.size() - stream.avail_out);
    deflateEnd(&stream);
}

}  // namespace

bool CompressImageData(const PngPixels& pixels, int level, int workers, const std::function<void(double)>& progress,
                       const std::function<bool()>& cancelled, const std::function<bool(std::vector<uint8_t>&)>& write,
                       bool* writeFailed) {
    *writeFailed = false;
    const int32_t runs = std::max<int32_t>(1, (pixels.height + kRowsPerRun - 1) / kRowsPerRun);
    std::vector<Run> done(static_cast<size_t>(runs));
    std::vector<std::atomic<bool>> finished(static_cast<size_t>(runs));
    // The zlib header: deflate with a 32 KB window, the fastest level's flag,
    // and the check bits that make it a multiple of 31.
    const uint8_t method = 0x78, flags = uint8_t(31 - (method * 256) % 31);
    uLong adler = adler32(0, nullptr, 0);
    int32_t next = 0;  // the first run not yet written
    // Writes the runs finished in order so far, on the calling thread, and
    // lets each go: only the runs under way and those waiting for an earlier
    // one are held.
    auto writeFinished = [&]() {
        for (; next < runs && finished[size_t(next)].load(std::memory_order_acquire); ++next) {
            Run& run = done[size_t(next)];
            if (!run.ok) return false;
            adler = adler32_combine(adler, run.adler, run.length);
            if (next == 0) run.deflated.insert(run.deflated.begin(), {method, flags});
            if (next == runs - 1)
                for (int shift = 24; shift >= 0; shift -= 8) run.deflated.push_back(uint8_t(adler >> shift));
            if (!write(run.deflated)) {
                *writeFailed = true;
                return false;
            }
            std::vector<uint8_t>().swap(run.deflated);
        }
        return true;
    };
    const auto checkPoint = [&](double share) {
        if (progress) progress(share);
        return !(cancelled && cancelled()) && writeFinished();
    };
    const bool compressed = RunOverRows(pixels.height, kRowsPerRun, workers, checkPoint, [&](int32_t first, int32_t last) {
        const size_t run = size_t(first / kRowsPerRun);
        CompressRun(pixels, level, first, last, last == pixels.height, &done[run]);
        finished[run].store(true, std::memory_order_release);
    });
    return compressed && writeFinished() && next == runs;
}
