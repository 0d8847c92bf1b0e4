#pragma once
// The GL state an element pass of the frame is called with and leaves behind.
// Each pass declares its contract next to its code; the frame lists them in
// drawing order, and a test snapshots the state around every pass of real
// frames and holds it to the declaration. Fields left unset are not part of a
// contract.

#include "scene/GlApi.h"

#include <array>
#include <optional>

#include "scene/SceneTextures.h"

namespace velmora {

// A capability or the depth write mask: no promise, or off, or on.
enum class Cap : unsigned char { Any, Off, On };

struct BlendFunc {
    GLenum src;
    GLenum dst;
};

using Rgba = std::array<float, 4>;

struct PassState {
    Cap lighting = Cap::Any;
    Cap texture2d = Cap::Any;
    Cap depthTest = Cap::Any;
    Cap depthWrites = Cap::Any;
    Cap blend = Cap::Any;
    Cap stencilTest = Cap::Any;
    Cap cullFace = Cap::Any;
    Cap normalize = Cap::Any;
    std::optional<BlendFunc> blendFunc;
    std::optional<Rgba> colour;
    std::optional<TextureSlot> boundTexture;

    // Declarations read as a chain: PassState {}.Lighting(Cap::On).Blend(Cap::Off).
    constexpr PassState Lighting(Cap c) const { return With(&PassState::lighting, c); }
    constexpr PassState Texturing(Cap c) const { return With(&PassState::texture2d, c); }
    constexpr PassState DepthTest(Cap c) const { return With(&PassState::depthTest, c); }
    constexpr PassState DepthWrites(Cap c) const { return With(&PassState::depthWrites, c); }
    constexpr PassState Blend(Cap c) const { return With(&PassState::blend, c); }
    constexpr PassState StencilTest(Cap c) const { return With(&PassState::stencilTest, c); }
    constexpr PassState CullFace(Cap c) const { return With(&PassState::cullFace, c); }
    constexpr PassState Normalize(Cap c) const { return With(&PassState::normalize, c); }
    constexpr PassState BlendFunction(GLenum src, GLenum dst) const
    {
        PassState s = *this;
        s.blendFunc = BlendFunc {src, dst};
        return s;
    }
    constexpr PassState Colour(float r, float g, float b, float a) const
    {
        PassState s = *this;
        s.colour = Rgba {r, g, b, a};
        return s;
    }
    constexpr PassState BoundTexture(TextureSlot slot) const
    {
        PassState s = *this;
        s.boundTexture = slot;
        return s;
    }

private:
    constexpr PassState With(Cap PassState::*field, Cap c) const
    {
        PassState s = *this;
        s.*field = c;
        return s;
    }
};

// The scene's resting state between passes, which most passes are called
// with and leave: lit, depth-tested, unblended.
inline constexpr PassState kLitOpaque = PassState {}.Lighting(Cap::On).DepthTest(Cap::On).Blend(Cap::Off);

// What a pass does to the model-view matrix. The projection matrix is never
// changed by a pass.
enum class ModelViewEffect : unsigned char {
    Kept, // pushed and popped: bit for bit the same afterwards
    // Undone by the inverse calls, so equal up to rounding. Those calls stay:
    // the rounding they leave reaches every later pass, and the frames are
    // drawn with it (push and pop give different pixels).
    UndoneByInverse,
    Changed, // left for the caller to pop or reload
};

struct PassContract {
    const char* name;
    PassState entry;
    PassState exit;
    ModelViewEffect modelView;
};

} // namespace velmora
