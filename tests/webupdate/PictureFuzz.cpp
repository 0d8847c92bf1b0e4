// Fuzz harness of the picture check: any bytes, as a product's screenshot
// and as its icon.
#include <cstddef>
#include <cstdint>

#include "webupdate/PictureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velmora::webupdate::IsJpegPicture(data, size);
    velmora::webupdate::IsBitmapPicture(data, size);
    return 0;
}
