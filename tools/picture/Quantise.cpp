#include "Quantise.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace velmora::tools {

namespace {

int Channel(const Rgb& c, int channel)
{
    return channel == 0 ? c.r : channel == 1 ? c.g : c.b;
}

struct Box {
    std::vector<Rgb> colours;
    int widestChannel = 0;
    int range = 0;
};

void Measure(Box& box)
{
    box.range = -1;
    for (int ch = 0; ch < 3; ++ch) {
        int lo = 255, hi = 0;
        for (const Rgb& c : box.colours) {
            lo = std::min(lo, Channel(c, ch));
            hi = std::max(hi, Channel(c, ch));
        }
        if (hi - lo > box.range) {
            box.range = hi - lo;
            box.widestChannel = ch;
        }
    }
}

Rgb Average(const std::vector<Rgb>& colours)
{
    long sum[3] = {0, 0, 0};
    for (const Rgb& c : colours) {
        sum[0] += c.r;
        sum[1] += c.g;
        sum[2] += c.b;
    }
    const long n = static_cast<long>(colours.size());
    return {static_cast<uint8_t>((sum[0] + n / 2) / n), static_cast<uint8_t>((sum[1] + n / 2) / n),
        static_cast<uint8_t>((sum[2] + n / 2) / n)};
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

} // namespace

bool ShrinkByBoxes(const RgbImage& in, int factor, RgbImage& out)
{
    if (factor < 1 || in.width % factor != 0 || in.height % factor != 0
        || in.pixels.size() != static_cast<std::size_t>(in.width) * in.height)
        return false;
    out.width = in.width / factor;
    out.height = in.height / factor;
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, Rgb {});
    const int n = factor * factor;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx) {
                    const Rgb& c
                        = in.pixels[static_cast<std::size_t>(y * factor + dy) * in.width + x * factor + dx];
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                }
            out.pixels[static_cast<std::size_t>(y) * out.width + x]
                = {static_cast<uint8_t>((sum[0] + n / 2) / n), static_cast<uint8_t>((sum[1] + n / 2) / n),
                    static_cast<uint8_t>((sum[2] + n / 2) / n)};
        }
    return true;
}

IndexedImage Quantise(const RgbImage& image, int colours)
{
    IndexedImage result;
    result.width = image.width;
    result.height = image.height;
    colours = std::clamp(colours, 1, 256);
    if (image.pixels.empty())
        return result;

    std::vector<Box> boxes(1);
    boxes[0].colours = image.pixels;
    Measure(boxes[0]);
    while (static_cast<int>(boxes.size()) < colours) {
        // The box with the widest spread is cut next; ties go to the first.
        auto widest = std::max_element(
            boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.range < b.range; });
        if (widest->range <= 0)
            break; // every box holds one colour
        Box& box = *widest;
        const int ch = box.widestChannel;
        std::stable_sort(box.colours.begin(), box.colours.end(),
            [ch](const Rgb& a, const Rgb& b) { return Channel(a, ch) < Channel(b, ch); });
        // Cut at the median, moved off a run of equal values so both halves differ.
        std::size_t cut = box.colours.size() / 2;
        const int medianValue = Channel(box.colours[cut], ch);
        while (cut > 0 && Channel(box.colours[cut - 1], ch) == medianValue)
            --cut;
        if (cut == 0)
            while (cut < box.colours.size() && Channel(box.colours[cut], ch) == medianValue)
                ++cut;
        Box upper;
        upper.colours.assign(box.colours.begin() + static_cast<std::ptrdiff_t>(cut), box.colours.end());
        box.colours.resize(cut);
        Measure(box);
        Measure(upper);
        boxes.push_back(std::move(upper));
    }

    for (const Box& box : boxes)
        result.palette.push_back(Average(box.colours));
    result.indices.reserve(image.pixels.size());
    for (const Rgb& c : image.pixels) {
        int best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < result.palette.size(); ++i) {
            const Rgb& p = result.palette[i];
            const int dr = c.r - p.r, dg = c.g - p.g, db = c.b - p.b;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<int>(i);
            }
        }
        result.indices.push_back(static_cast<uint8_t>(best));
    }
    return result;
}

std::vector<uint8_t> EncodeBmp8(const IndexedImage& image)
{
    const uint32_t stride = (static_cast<uint32_t>(image.width) + 3u) & ~3u;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(image.height);
    const uint32_t offset = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.reserve(offset + pixelBytes);
    // File header.
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + pixelBytes);
    Put32(out, 0);
    Put32(out, offset);
    // Information header: positive height means rows bottom-up.
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(image.width));
    Put32(out, static_cast<uint32_t>(image.height));
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0); // no compression
    Put32(out, pixelBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 256);
    Put32(out, 0);
    for (std::size_t i = 0; i < 256; ++i) {
        const Rgb c = i < image.palette.size() ? image.palette[i] : Rgb {};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = image.indices.data() + static_cast<std::size_t>(y) * image.width;
        out.insert(out.end(), row, row + image.width);
        out.insert(out.end(), stride - static_cast<uint32_t>(image.width), 0);
    }
    return out;
}

} // namespace velmora::tools
