// Feeds arbitrary bytes to pack's YUV4MPEG2 reader as a stream: its header, then frame after
// frame into the 30 fps converter, scaled as pack scales them.

#include <span>

#include "input_stream.h"
#include "pack_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pack_fuzz::ReadOrRefuse([&] {
        InputStream input(std::span(data, size));
        pack_fuzz::CheckingSink sink;
        ReadY4mStream(input, "fuzz.y4m", SizeRule{}, sink, pack_fuzz::kMaxPixels);
    });
    return 0;
}
