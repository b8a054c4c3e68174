// The ISO base media file boxes of an AVIF file, read into what the AV1 decoder needs: where
// the coded data of the primary image and of its alpha image lie, their declared size, colour
// description and transformations (the item boxes under `meta`), and for an image sequence the
// samples of its colour track and alpha track with their durations (the track boxes under
// `moov`). Internal to the picture library; AV1 itself is Avif.cpp's affair.
//
// Hostile data: every box lies inside its parent and every read inside its box; item data and
// samples lie inside the file (or the `idat` box), and together no larger than it, so what is
// kept or copied is bounded by the data; a sequence holds at most 2^20 samples. Nothing is
// allocated for items or tracks the picture does not use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Picture.h"

namespace avif {

// The coded bytes of an item or sample: a view into the data, or into `copy` when the item
// is stored in several pieces.
struct CodedBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::vector<uint8_t> copy;
};

// Colour description from an `nclx` colour property (ITU-T H.273 code points).
struct Nclx {
    bool present = false;
    uint16_t primaries = 2;
    uint16_t transfer = 2;
    uint16_t matrix = 2;
    bool fullRange = false;
};

// `clap`: a clean aperture as fractions (offsets signed); applied first.
struct CleanAperture {
    bool present = false;
    uint32_t widthN = 0, widthD = 0, heightN = 0, heightD = 0;
    int32_t horizOffN = 0;
    uint32_t horizOffD = 0;
    int32_t vertOffN = 0;
    uint32_t vertOffD = 0;
};

struct Transforms {
    CleanAperture clap;
    uint8_t quarterTurns = 0;  // `irot`: anticlockwise, 0..3; applied second
    int8_t mirrorAxis = -1;    // `imir`: 0 exchanges top and bottom, 1 left and right; last
};

// The chroma layout the AV1 configuration (`av1C`) declares.
enum class Chroma { Monochrome, Subsampled420, Subsampled422, Full444 };

struct Still {
    uint32_t width = 0;  // `ispe`
    uint32_t height = 0;
    Chroma chroma = Chroma::Full444;
    CodedBytes color;
    CodedBytes alpha;  // empty when the image has no alpha item
    bool premultiplied = false;
    Nclx nclx;
    Transforms transforms;
};

struct Sample {
    size_t offset = 0;
    uint32_t size = 0;
    uint32_t durationMs = 0;
};

struct Track {
    uint32_t width = 0;  // from the AV1 sample entry
    uint32_t height = 0;
    std::vector<Sample> samples;
    Nclx nclx;
};

struct Sequence {
    Track color;
    Track alpha;  // no samples when there is no alpha track
    bool premultiplied = false;
};

// True when the data starts with an `ftyp` box that names `avif` or `avis` among its brands.
bool IsAvif(const uint8_t* data, size_t size);

// The primary image item. Refused when there is none this decoder shows (Unsupported: not
// AV1, such as a grid, or built from other items), or the boxes break their bounds (Truncated
// when they or the item's data run past the end).
Refusal ReadStill(const uint8_t* data, size_t size, Still* still);

// The image sequence's colour track and its alpha track, refused as ReadStill is; TooLarge for
// more than 2^20 samples.
Refusal ReadSequence(const uint8_t* data, size_t size, Sequence* sequence);

}  // namespace avif
