#include <cstddef>
#include <cstdint>

#include "resources/DecodedImage.h"
#include "resources/TgaDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velmora::DecodedImage image;
    if (velmora::TgaDecoder(data, size, image, "fuzz.tga")) {
        // Touch every output byte so a short allocation shows.
        volatile unsigned sum = 0;
        for (std::size_t i = 0; i < image.ByteCount(); ++i)
            sum = sum + image.pixels.get()[i];
    }
    return 0;
}
