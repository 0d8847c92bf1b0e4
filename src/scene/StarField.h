#pragma once
// The sky: the star catalogue "stars.dat" drawn as additively blended smooth
// points on a sphere of radius 350, compiled into a display list once.

#include "scene/GlApi.h"

#include <array>
#include <cstdint>
#include <vector>

#include "camera/Vec3.h"
#include "resources/HeapBlock.h"
#include "scene/GlObjects.h"
#include "scene/PassState.h"

namespace velmora {

class SceneNotifier;

struct StarRecord {
    double rightAscension; // hundredths of a full turn
    double declination; // hundredths of a half turn, -50..50
    double magnitude;
    int8_t spectralIndex; // O B A F G K M = 0..6
};
static_assert(sizeof(StarRecord) == 32);

enum class SpectralClass : int8_t { O, B, A, F, G, K, M, Count };

struct StarColour {
    uint8_t r, g, b;
};
inline constexpr std::array<StarColour, static_cast<std::size_t>(SpectralClass::Count)> kStarColours {{
    {219, 244, 254}, // O
    {239, 252, 254}, // B
    {252, 254, 243}, // A
    {255, 254, 202}, // F, and any letter not in the list
    {255, 246, 158}, // G
    {255, 218, 133}, // K
    {255, 177, 128}, // M
}};
static_assert(kStarColours.size() == static_cast<std::size_t>(SpectralClass::Count));

// Class letter to colour index; unknown letters count as F.
int8_t SpectralIndexOf(char letter);

// Per-star drawing values, shared by the renderer and its tests.
struct StarAppearance {
    double r, g, b; // may exceed 1; GL clamps
    float pointSize;
    Vec3 direction; // on the unit sphere
};
StarAppearance AppearanceOf(const StarRecord& star);

// The star pass. Current, lighting, enable and texture state is pushed and
// popped around the list; the blend function and the point size are outside
// those groups and stay as the list leaves them (every later blended pass sets
// its own function). The sky's scale is undone by the inverse scale.
inline constexpr PassContract kStarPass {"stars", kLitOpaque.Texturing(Cap::On).DepthWrites(Cap::On),
    kLitOpaque.Texturing(Cap::On).DepthWrites(Cap::On).BlendFunction(GL_SRC_ALPHA, GL_ONE),
    ModelViewEffect::UndoneByInverse};

class StarCatalogue {
public:
    // Reads "stars.dat" from the program's archive and keeps the record array
    // in retained. Reports failures through the notifier and returns false.
    bool Load(SceneNotifier& notifier, std::vector<HeapBlock>& retained);

    // Parses a catalogue already in memory: one record per LF. Returns the
    // array (calloc'ed, count records) or an empty block when count would be
    // 0 or the allocation fails; allocFailed tells the two apart.
    static HeapBlock Parse(const char* bytes, long size, int32_t& count, bool& allocFailed);

    // The star pass; nothing without an array. Compiles the list on the first
    // call, replays it afterwards.
    void Draw();

    // Drops the pointer to the array before the scene frees it; a compiled
    // list keeps drawing.
    void Forget()
    {
        records_ = nullptr;
        count_ = 0;
    }

    // Deletes the compiled list; needs the context current. The next Draw
    // compiles it again while the records are still known.
    void ReleaseList() { starList_.Reset(); }

    int32_t Count() const { return count_; }
    const StarRecord* Records() const { return records_; }
    // -1 until the list is compiled.
    GLint ListName() const { return starList_.Last() == 0 ? -1 : static_cast<GLint>(starList_.Last()); }

private:
    void Record() const;

    const StarRecord* records_ = nullptr; // owned by the scene's retained list
    int32_t count_ = 0;
    GlDisplayLists starList_; // one list at most
};

} // namespace velmora
