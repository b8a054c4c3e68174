#include "PictureTestData.h"

uint8_t* TestSink::Allocate(int32_t w, int32_t h) {
    if (refuse_) {
        return nullptr;
    }
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0xA5);
    return pixels.data();
}
