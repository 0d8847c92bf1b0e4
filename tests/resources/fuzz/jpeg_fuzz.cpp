#include <cstddef>
#include <cstdint>

#include "resources/DecodedImage.h"
#include "resources/JpegMemoryDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velmora::DecodedImage image;
    velmora::JpegMemoryDecoder decoder;
    if (decoder.Decode(data, size, image)) {
        volatile unsigned sum = 0;
        for (std::size_t i = 0; i < image.ByteCount(); ++i)
            sum = sum + image.pixels.get()[i];
    }
    return 0;
}
