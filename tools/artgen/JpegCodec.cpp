#include "JpegCodec.h"

#include <stdexcept>

namespace velmora::art {

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality, ChromaSampling sampling)
{
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxDecodedSide
        || image.height > kMaxDecodedSide
        || image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3) {
        throw std::runtime_error("JPEG: picture \"" + image.name + "\" has inconsistent sizes");
    }
    std::vector<uint8_t> bytes = codec::EncodeJpeg(image.rgb.data(), image.width, image.height, 3,
        codec::JpegSettings {.quality = quality, .sampling = sampling});
    if (bytes.empty()) {
        throw std::runtime_error("JPEG: libjpeg could not encode \"" + image.name + "\"");
    }
    return bytes;
}

std::optional<Image> DecodeJpeg(const uint8_t* data, size_t size)
{
    std::optional<codec::RgbPicture> picture = codec::DecodeJpeg(data, size);
    if (!picture) {
        return std::nullopt;
    }
    Image image;
    image.width = picture->width;
    image.height = picture->height;
    image.rgb = std::move(picture->rgb);
    return image;
}

} // namespace velmora::art
