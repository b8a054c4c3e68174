/* Decodes each PNG named on the command line through libpng's simplified reader, in the
 * output formats a picture viewer asks for, and prints one line per file and format: the
 * file's name, the format, and either a 64-bit FNV-1a hash of the decoded bytes or "refused".
 * scripts/build-deps.sh runs it with two builds of libpng and compares the lines, so a
 * difference between two builds shows byte for byte, by file.
 *
 *   suite-decode FILE...
 */
#include <png.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct mode {
    const char* name;
    png_uint_32 format;
    png_uint_32 flags;
};

/* 8-bit with the file's own colour encoding, 8-bit taking unmarked 16-bit data as sRGB (what
 * the picture box asks for), the colour-map-free grey and RGB paths, and 16-bit linear. */
static const struct mode kModes[] = {
    {"bgra", PNG_FORMAT_BGRA, 0},
    {"bgra-16bit-srgb", PNG_FORMAT_BGRA, PNG_IMAGE_FLAG_16BIT_sRGB},
    {"rgb", PNG_FORMAT_RGB, 0},
    {"gray", PNG_FORMAT_GRAY, 0},
    {"linear-rgba", PNG_FORMAT_LINEAR_RGB_ALPHA, 0},
};

static uint64_t Fnv1a(const unsigned char* p, size_t n, uint64_t h) {
    for (size_t i = 0; i < n; ++i) {
        h = (h ^ p[i]) * 0x100000001b3ull;
    }
    return h;
}

static void Decode(const char* path, const struct mode* m) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    unsigned char* out = NULL;
    if (png_image_begin_read_from_file(&image, path)) {
        image.format = m->format;
        image.flags |= m->flags;
        /* Zeroed: without a background colour, the reader composes onto what the buffer holds. */
        out = calloc(1, PNG_IMAGE_SIZE(image));
        if (out && png_image_finish_read(&image, NULL, out, 0, NULL)) {
            uint64_t h = Fnv1a((const unsigned char*)&image.width, sizeof image.width,
                               0xcbf29ce484222325ull);
            h = Fnv1a((const unsigned char*)&image.height, sizeof image.height, h);
            h = Fnv1a(out, PNG_IMAGE_SIZE(image), h);
            printf("%s %s %016llx\n", path, m->name, (unsigned long long)h);
            free(out);
            png_image_free(&image);
            return;
        }
    }
    free(out);
    png_image_free(&image);
    printf("%s %s refused\n", path, m->name);
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (size_t m = 0; m < sizeof kModes / sizeof kModes[0]; ++m) {
            Decode(argv[i], &kModes[m]);
        }
    }
    return 0;
}
