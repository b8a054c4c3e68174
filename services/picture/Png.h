// What the PNG reader (Png.cpp) gives the animated PNG player beside DecodePng.
#pragma once

#include <cstddef>
#include <cstdint>

// A PNG stream through libpng's simplified reader as DecodePng reads it, into `out` with rows
// `stride` bytes apart; false unless its size is width x height. For the frames of an animation.
bool DecodePngInto(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* out,
                   size_t stride);
