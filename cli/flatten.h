// Transparency flattened onto a background colour, for outputs that hold no
// alpha (JPEG) or when asked: --flatten[=COLOUR].
#pragma once

#include <cstdint>
#include <string>

#include "cli/image_file.h"

struct Colour {
    uint8_t red = 255, green = 255, blue = 255;
};

// "white", "black", "gray" (or "grey"), or "#rrggbb"; false for anything else.
bool ParseColour(const std::string& text, Colour* colour);

// Composites the image over the colour and drops its alpha channel (in place
// of its samples; an image without alpha is left as it is).
void FlattenAlpha(ImageFile* image, const Colour& background);
