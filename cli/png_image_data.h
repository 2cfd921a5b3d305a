// A PNG's image data (the zlib stream its IDAT chunks carry) compressed on
// several threads, as pigz does: the rows are cut into runs, each run is
// filtered and deflated on its own into a stream that ends on a byte
// boundary (a sync flush), the streams are joined in order between one zlib
// header and the checksum of the whole, combined from the runs' checksums.
// Only the few bytes of each flush and the matches that would have reached
// back across a cut are lost.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "cli/png_writer.h"

// The zlib stream of a non-interlaced image with the Sub filter on every row,
// compressed at `level` with run-length matching, handed to `write` in
// pieces in order (the first holds the zlib header, the last the checksum)
// as soon as each is ready, on the calling thread: the whole stream is never
// held. Progress gets the share of rows compressed; a true from `cancelled`
// stops it. False when stopped, when zlib fails, or when `write` fails (then
// *writeFailed is set).
bool CompressImageData(const PngPixels& pixels, int level, int workers, const std::function<void(double)>& progress,
                       const std::function<bool()>& cancelled, const std::function<bool(std::vector<uint8_t>&)>& write,
                       bool* writeFailed);
