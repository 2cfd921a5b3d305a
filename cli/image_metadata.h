// What an ImageFile carries besides its samples, as the reader fills it in
// and the writer reads it.
#pragma once

#include <memory>

#include <vips/vips.h>

#include "cli/photo_metadata.h"
#include "cli/stored_resolution.h"

// The metadata of an image, held in a header-only libvips image.
struct ImageMetadata {
    VipsImage* header = nullptr;          // colour profile, resolution, PNG texts
    std::shared_ptr<PhotoMetadata> photo;  // EXIF, IPTC, XMP; null when the file has none
    StoredResolution resolution;           // what the file itself states
    ~ImageMetadata() {
        if (header) g_object_unref(header);
    }
};
