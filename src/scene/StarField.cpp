#include "scene/StarField.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>

#include "resources/ArchiveMembers.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "scene/SceneNotifier.h"

namespace velmora {

namespace {

constexpr double kSkyRadius = 350.0;
// Longest line handed to the parser; catalogue lines are about 20 bytes.
constexpr std::size_t kMaxLine = 255;
// A line that does not parse gets this magnitude: brightness 0, invisible.
constexpr double kInvisibleMagnitude = 8.5;
// A colour byte to GL's 0..1, as a truncated 1/256 (so 255 gives 0.996).
constexpr double kColourByteScale = 0.003906;

} // namespace

int8_t SpectralIndexOf(char letter)
{
    switch (letter) {
    case 'O':
        return static_cast<int8_t>(SpectralClass::O);
    case 'B':
        return static_cast<int8_t>(SpectralClass::B);
    case 'A':
        return static_cast<int8_t>(SpectralClass::A);
    case 'G':
        return static_cast<int8_t>(SpectralClass::G);
    case 'K':
        return static_cast<int8_t>(SpectralClass::K);
    case 'M':
        return static_cast<int8_t>(SpectralClass::M);
    default:
        return static_cast<int8_t>(SpectralClass::F);
    }
}

StarAppearance AppearanceOf(const StarRecord& star)
{
    const int index = (star.spectralIndex >= 0 && star.spectralIndex < static_cast<int>(kStarColours.size()))
        ? star.spectralIndex
        : static_cast<int>(SpectralClass::F);
    const StarColour& c = kStarColours[static_cast<std::size_t>(index)];
    // 1.0 at magnitude -1.5, 0 at 8.5; the 1.5 over-drives bright stars to
    // white once GL clamps.
    const double k = 1.0 - (star.magnitude + 1.5) * 0.1;
    StarAppearance a {};
    a.r = c.r * kColourByteScale * k * 1.5;
    a.g = c.g * kColourByteScale * k * 1.5;
    a.b = c.b * kColourByteScale * k * 1.5;
    a.pointSize = (5.0 - star.magnitude > 2.0) ? static_cast<float>(5.0 - star.magnitude) : 2.0f;
    const double ra = star.rightAscension * 0.01 * std::numbers::pi * 2.0;
    const double dec = star.declination * 0.01 * std::numbers::pi;
    a.direction = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
    return a;
}

HeapBlock StarCatalogue::Parse(const char* bytes, long size, int32_t& count, bool& allocFailed)
{
    count = 0;
    allocFailed = false;
    if (!bytes || size <= 0)
        return HeapBlock {};
    const auto length = static_cast<std::size_t>(size);
    const std::size_t lines = static_cast<std::size_t>(std::count(bytes, bytes + length, '\n'));
    if (lines == 0)
        return HeapBlock {};
    if (lines > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        allocFailed = true;
        return HeapBlock {};
    }
    HeapBlock block(static_cast<unsigned char*>(std::calloc(lines, sizeof(StarRecord))));
    if (!block) {
        allocFailed = true;
        return HeapBlock {};
    }
    auto* records = reinterpret_cast<StarRecord*>(block.get());

    // Each line is copied into a terminated buffer first: the file buffer
    // has no terminator and sscanf must not read past it.
    std::size_t pos = 0;
    for (std::size_t n = 0; n < lines; ++n) {
        const char* lineStart = bytes + pos;
        const auto* lf = static_cast<const char*>(std::memchr(lineStart, '\n', length - pos));
        const std::size_t lineLength = static_cast<std::size_t>(lf - lineStart);
        char line[kMaxLine + 1];
        const std::size_t copied = std::min(lineLength, kMaxLine);
        std::memcpy(line, lineStart, copied);
        line[copied] = '\0';

        double magnitude = 0.0;
        double ra = 0.0;
        double dec = 0.0;
        char letter = 'F';
        StarRecord& r = records[n];
        if (std::sscanf(line, "%lf;%lf;%lf;%c", &magnitude, &ra, &dec, &letter) == 4
            && std::isfinite(magnitude) && std::isfinite(ra) && std::isfinite(dec)) {
            r.magnitude = magnitude;
            r.rightAscension = ra;
            r.declination = dec;
            r.spectralIndex = SpectralIndexOf(letter);
        } else {
            r.magnitude = kInvisibleMagnitude;
            r.spectralIndex = static_cast<int8_t>(SpectralClass::F);
        }
        pos += lineLength + 1;
    }
    count = static_cast<int32_t>(lines);
    return block;
}

bool StarCatalogue::Load(SceneNotifier& notifier, std::vector<HeapBlock>& retained)
{
    HeapBlock file;
    long size = 0;
    {
        ResourceArchive archive;
        if (!archive.Open(kArchiveResourceId)) {
            notifier.ShowError("Can't open resource data file.");
            notifier.RequestQuit();
            return false;
        }
        size = archive.Extract(ArchiveMemberName(ArchiveMemberId::Stars), file);
    }
    if (size <= 0 || !file) {
        notifier.ShowError("Can't open stars data file.");
        notifier.RequestQuit();
        return false;
    }

    int32_t count = 0;
    bool allocFailed = false;
    HeapBlock records = Parse(reinterpret_cast<const char*>(file.get()), size, count, allocFailed);
    file.reset();
    if (allocFailed) {
        notifier.ShowPlainMessage("Can't allocate memory for stars data");
        notifier.RequestQuit();
        return false;
    }
    // A file without a single complete line has no stars; nothing to draw.
    if (!records)
        return true;
    records_ = reinterpret_cast<const StarRecord*>(records.get());
    count_ = count;
    retained.push_back(std::move(records));
    return true;
}

void StarCatalogue::Record() const
{
    // 1-3. Unlit, untextured, additive smooth points that write no depth, so
    // everything drawn later covers them.
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glScaled(kSkyRadius, kSkyRadius, kSkyRadius);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glPointSize(1.0f);

    // 4. One point per star. A point size can only change between
    //    primitives, and llvmpipe pays for every primitive, so stars of equal
    //    size share one GL_POINTS primitive. The points blend additively
    //    into 8-bit channels with saturation, which does not depend on their
    //    order: the picture is the same as one primitive per star.
    std::vector<StarAppearance> points;
    points.reserve(static_cast<std::size_t>(count_));
    for (int32_t n = 0; n < count_; ++n)
        points.push_back(AppearanceOf(records_[n]));
    std::vector<int32_t> order(points.size());
    for (std::size_t n = 0; n < order.size(); ++n)
        order[n] = static_cast<int32_t>(n);
    std::stable_sort(order.begin(), order.end(),
        [&](int32_t a, int32_t b) { return points[a].pointSize < points[b].pointSize; });
    for (std::size_t k = 0; k < order.size();) {
        const float size = points[order[k]].pointSize;
        glPointSize(size);
        glBegin(GL_POINTS);
        for (; k < order.size() && points[order[k]].pointSize == size; ++k) {
            const StarAppearance& a = points[order[k]];
            glColor4d(a.r, a.g, a.b, 1.0);
            glVertex3d(a.direction.x, a.direction.y, a.direction.z);
        }
        glEnd();
    }
    // The last star's size stays in effect after the pass, as when each star
    // was drawn on its own.
    if (!points.empty())
        glPointSize(points.back().pointSize);

    // 5. Back to the camera's scale; depth writes on again.
    glScaled(1.0 / kSkyRadius, 1.0 / kSkyRadius, 1.0 / kSkyRadius);
    glDepthMask(GL_TRUE);
}

void StarCatalogue::Draw()
{
    if (!records_ && starList_.Last() == 0)
        return;
    // The blend function and point size are outside these groups and stay
    // as the list leaves them.
    glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_ENABLE_BIT | GL_TEXTURE_BIT);
    if (starList_.Last() == 0) {
        const GLuint list = starList_.Generate();
        if (list == 0) {
            // No list name to be had: draw directly and try again next frame.
            Record();
        } else {
            glNewList(list, GL_COMPILE_AND_EXECUTE);
            Record();
            glEndList();
        }
    } else {
        glCallList(starList_.Last());
    }
    glPopAttrib();
}

} // namespace velmora
