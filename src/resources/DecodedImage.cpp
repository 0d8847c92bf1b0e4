#include "resources/DecodedImage.h"

#include <cstring>

#include "resources/DiagTrace.h"
#include "resources/JpegMemoryDecoder.h"
#include "resources/ResourceArchive.h"
#include "resources/TgaDecoder.h"

namespace velmora {

bool DecodedImage::Load(ResourceArchive& archive, const char* memberName)
{
    Reset();
    HeapBlock bytes;
    const long size = archive.Extract(memberName, bytes);
    if (size <= 0)
        return false; // the archive has traced why

    // The extension compares with its letter case: ".TGA" or ".jpeg" are unknown.
    const char* extension = std::strrchr(memberName, '.');
    if (extension != nullptr && std::strcmp(extension, ".tga") == 0)
        return TgaDecoder(bytes.get(), static_cast<std::size_t>(size), *this, memberName);
    if (extension != nullptr && std::strcmp(extension, ".jpg") == 0) {
        JpegMemoryDecoder decoder;
        if (!decoder.Decode(bytes.get(), static_cast<std::size_t>(size), *this)) {
            DiagTrace("Can't decompress jpeg image \"%s\"", memberName);
            return false;
        }
        return true;
    }
    DiagTrace("Unknown image \"%s\" format", memberName);
    return false;
}

} // namespace velmora
