// Feeds arbitrary bytes to pack's picture reader (PNG, JPEG, BMP and TGA through stb_image,
// binary PGM). It must give a picture of the size it claims or refuse with one line; never crash,
// overrun a buffer or allocate more than the size limit allows. The name ends in .tga, so bytes
// with no mark of a kind at their start go to the TGA reader, as a dropped .tga file does.

#include <span>

#include "pack_reader_fuzz.h"
#include "picture_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pack_fuzz::ReadOrRefuse([&] {
        const GreyPicture picture =
            DecodePicture(std::span(data, size), "fuzz.tga", pack_fuzz::kMaxPixels);
        const uint64_t pixels = uint64_t{picture.width} * picture.height;
        if (pixels == 0 || pixels > pack_fuzz::kMaxPixels || picture.pixels.size() != pixels) {
            std::abort();
        }
    });
    return 0;
}
