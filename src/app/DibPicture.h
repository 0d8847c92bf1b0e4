#pragma once
// A device-independent picture in memory: 24 bits per pixel (blue, green,
// red), or 8 bits per pixel with a grey palette, rows bottom-up and padded
// to four bytes as bitmap files and drawing calls expect them. Reads the
// program's bitmap files; drawing is the window's business.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class DibPicture {
public:
    static constexpr int kEmpty = -1;
    static constexpr int kRgb24 = 0;
    static constexpr int kGrey8 = 1;

    // Largest side accepted from a file, so that a damaged header cannot ask
    // for gigabytes.
    static constexpr int kMaxSide = 16384;

    static constexpr const char* kCannotLoadMessage = "can't load image from file";
    static constexpr const char* kDepthMessage = "Only 8-bit & 24-bit images supported!";

    enum class LoadResult {
        Loaded,
        Unreadable, // not a bitmap file this program can read
        UnsupportedDepth, // a bitmap of another depth than 8 or 24 bits
    };

    // Frees what it held and makes an empty picture of the kind: black
    // pixels, a 40-byte header, and for kGrey8 the palette (i, i, i, 0).
    // Any other kind (or a size outside 1..kMaxSide) empties the picture and
    // fails.
    bool Create(int width, int height, int kind);

    // Reads a bitmap file (BMP with a header of 40 bytes or more, no
    // compression, 8 bits paletted or 24 bits) into a kRgb24 picture; an
    // 8-bit file is expanded through its own palette. The picture is empty
    // after a failure.
    LoadResult LoadBitmapFile(const uint8_t* data, std::size_t size);
    // The same for a bitmap as a program's resources hold it: the file
    // without its 14-byte header (the pixels follow the header and palette).
    LoadResult LoadBitmapResource(const uint8_t* data, std::size_t size);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Kind() const { return kind_; }
    int BitsPerPixel() const { return kind_ == kGrey8 ? 8 : kind_ == kRgb24 ? 24 : 0; }
    // Bytes per row, padded to a multiple of four.
    int Stride() const { return stride_; }
    const std::vector<uint8_t>& Pixels() const { return pixels_; }
    // The bitmap information block: the 40-byte header, followed by 256
    // palette entries of four bytes for kGrey8.
    const std::vector<uint8_t>& Info() const { return info_; }

    // Blue, green and red of a pixel, counted from the top-left corner.
    struct Bgr {
        uint8_t b = 0, g = 0, r = 0;
    };
    Bgr PixelAt(int x, int y) const;

private:
    void Clear();

    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> info_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    int kind_ = kEmpty;
};

} // namespace velmora
