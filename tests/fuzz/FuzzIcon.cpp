// ICO and CUR: the entry choice and the checks made before the platform's icon functions see
// the image. The chosen image is read byte by byte, as those functions would, so an entry that
// reaches past the data is caught; a PNG image goes on through the PNG decoder.
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "icon";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    IconEntryChoice choice;
    if (ChooseIconEntry(data, size, &choice) != Refusal::None) {
        return false;
    }
    fuzz::Require(choice.size != 0 && choice.offset <= size && choice.size <= size - choice.offset,
                  "the chosen image lies inside the data");
    fuzz::Require(
        choice.width >= 1 && choice.width <= 256 && choice.height >= 1 && choice.height <= 256,
        "an icon is 1 to 256 pixels each way");
    const uint8_t* image = data + choice.offset;
    unsigned sum = 0;
    for (uint32_t i = 0; i < choice.size; ++i) {
        sum += image[i];
    }
    fuzz::Require(sum <= 255u * choice.size, "the image was read");
    if (choice.isPng) {
        fuzz::Sink sink;
        ImageInfo info;
        if (DecodePng(image, choice.size, sink, &info) == Refusal::None) {
            fuzz::CheckDecoded(sink, info);
            fuzz::Require(info.width == choice.width && info.height == choice.height,
                          "the entry's size is the PNG's own");
        }
    }
    return true;
}
