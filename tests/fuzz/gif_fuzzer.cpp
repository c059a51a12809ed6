// Feeds arbitrary bytes to pack's GIF reader through the path that pack takes: frame by frame
// with disposal and transparency, delays into the 30 fps converter, frames scaled as pack
// scales them. It must pack or refuse with one line, never read outside a buffer.

#include <span>

#include "pack_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pack_fuzz::ReadOrRefuse([&] {
        pack_fuzz::CheckingSink sink;
        ReadGif(std::span(data, size), "fuzz.gif", SizeRule{}, sink, pack_fuzz::kMaxPixels);
    });
    return 0;
}
