#include "cli/flatten.h"

#include <algorithm>
#include <cctype>
#include <cstring>

bool ParseColour(const std::string& text, Colour* colour) {
    std::string name = text;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (name == "white") *colour = {255, 255, 255};
    else if (name == "black") *colour = {0, 0, 0};
    else if (name == "gray" || name == "grey") *colour = {128, 128, 128};
    else if (name.size() == 7 && name[0] == '#' && name.find_first_not_of("0123456789abcdef", 1) == std::string::npos)
        *colour = {uint8_t(std::stoi(name.substr(1, 2), nullptr, 16)), uint8_t(std::stoi(name.substr(3, 2), nullptr, 16)),
                   uint8_t(std::stoi(name.substr(5, 2), nullptr, 16))};
    else return false;
    return true;
}

void FlattenAlpha(ImageFile* image, const Colour& background) {
    if (!image->HasAlpha()) return;
    const int channels = image->channels, colours = channels - 1;
    const uint32_t full = image->depth == 16 ? 65535u : 255u;
    const uint32_t scale = image->depth == 16 ? 257u : 1u;  // 8-bit colour to the image's depth
    uint32_t back[3] = {background.red * scale, background.green * scale, background.blue * scale};
    if (colours == 1)  // gray: the colour's luma (Rec. 601)
        back[0] = (299u * back[0] + 587u * back[1] + 114u * back[2] + 500u) / 1000u;
    const size_t pixels = size_t(image->width) * size_t(image->height);
    // Written over the samples in place: each pixel's output lies at or before its input.
    for (size_t p = 0; p < pixels; ++p) {
        const uint32_t alpha = image->Sample(p * channels + colours);
        for (int c = 0; c < colours; ++c) {
            const uint32_t value = image->Sample(p * channels + c);
            const uint64_t mixed = uint64_t(value) * alpha + uint64_t(back[c]) * (full - alpha);
            const uint32_t out = uint32_t((mixed + full / 2) / full);
            const size_t at = p * colours + c;
            if (image->depth == 16) {
                const uint16_t sample = uint16_t(out);
                std::memcpy(image->pixels.Data() + 2 * at, &sample, 2);
            } else {
                image->pixels.Data()[at] = uint8_t(out);
            }
        }
    }
    image->channels = colours;
}
