#pragma once
// Holds the GL state around a pass to the pass's declared contract: a
// snapshot of the state that passes hand on (enables, depth writes, blend
// function, colour, bound texture, matrices) and the differences from a
// declaration, one readable line each.

#include "scene/GlApi.h"

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "scene/PassState.h"
#include "scene/SceneTextures.h"

namespace velmora::test {

struct GlSnapshot {
    bool lighting, texture2d, depthTest, blend, stencilTest, cullFace, normalize;
    bool depthWrites;
    GLint blendSrc, blendDst;
    std::array<float, 4> colour;
    GLint boundTexture;
    // A second texture unit and one-dimensional textures are for the inside
    // of a pass only: between passes unit 0 is active, modulates and has no
    // 1D texturing on, and unit 1 is off.
    GLint activeUnit, unit0Environment;
    bool unit1Texturing, texture1d;
    std::array<double, 16> modelView, projection;

    static GlSnapshot Take()
    {
        GlSnapshot s {};
        s.lighting = glIsEnabled(GL_LIGHTING);
        s.texture2d = glIsEnabled(GL_TEXTURE_2D);
        s.depthTest = glIsEnabled(GL_DEPTH_TEST);
        s.blend = glIsEnabled(GL_BLEND);
        s.stencilTest = glIsEnabled(GL_STENCIL_TEST);
        s.cullFace = glIsEnabled(GL_CULL_FACE);
        s.normalize = glIsEnabled(GL_NORMALIZE);
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        s.depthWrites = mask == GL_TRUE;
        glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
        glGetIntegerv(GL_BLEND_DST, &s.blendDst);
        glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.boundTexture);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeUnit);
        glActiveTexture(GL_TEXTURE1);
        s.unit1Texturing = glIsEnabled(GL_TEXTURE_2D);
        glActiveTexture(GL_TEXTURE0);
        s.texture1d = glIsEnabled(GL_TEXTURE_1D);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &s.unit0Environment);
        glActiveTexture(static_cast<GLenum>(s.activeUnit));
        glGetDoublev(GL_MODELVIEW_MATRIX, s.modelView.data());
        glGetDoublev(GL_PROJECTION_MATRIX, s.projection.data());
        return s;
    }
};

// Every way the snapshot breaks the declaration; empty when it keeps it.
inline std::vector<std::string> StateMismatches(
    const PassState& declared, const GlSnapshot& s, const SceneTextures& textures)
{
    std::vector<std::string> out;
    const auto cap = [&](const char* name, Cap want, bool actual) {
        if (want != Cap::Any && (want == Cap::On) != actual)
            out.push_back(std::string(name) + (actual ? " is on" : " is off"));
    };
    cap("lighting", declared.lighting, s.lighting);
    cap("texturing", declared.texture2d, s.texture2d);
    cap("depth test", declared.depthTest, s.depthTest);
    cap("depth writes", declared.depthWrites, s.depthWrites);
    cap("blending", declared.blend, s.blend);
    cap("stencil test", declared.stencilTest, s.stencilTest);
    cap("culling", declared.cullFace, s.cullFace);
    cap("normalize", declared.normalize, s.normalize);
    if (declared.blendFunc
        && (static_cast<GLint>(declared.blendFunc->src) != s.blendSrc
            || static_cast<GLint>(declared.blendFunc->dst) != s.blendDst)) {
        std::ostringstream line;
        line << std::hex << "blend function is 0x" << s.blendSrc << ", 0x" << s.blendDst;
        out.push_back(line.str());
    }
    if (declared.colour && *declared.colour != s.colour) {
        std::ostringstream line;
        line << "colour is " << s.colour[0] << ", " << s.colour[1] << ", " << s.colour[2] << ", "
             << s.colour[3];
        out.push_back(line.str());
    }
    if (declared.boundTexture && static_cast<GLint>(textures[*declared.boundTexture]) != s.boundTexture)
        out.push_back("texture " + std::to_string(s.boundTexture) + " is bound");
    if (s.activeUnit != GL_TEXTURE0)
        out.push_back("texture unit " + std::to_string(s.activeUnit - GL_TEXTURE0) + " is active");
    if (s.unit1Texturing)
        out.push_back("texture unit 1 is on");
    if (s.texture1d)
        out.push_back("one-dimensional texturing is on");
    if (s.unit0Environment != GL_MODULATE)
        out.push_back("texture unit 0 does not modulate");
    return out;
}

// The pass's promise about the model-view matrix, and that it leaves the
// projection alone.
inline std::vector<std::string> MatrixMismatches(
    ModelViewEffect effect, const GlSnapshot& in, const GlSnapshot& out)
{
    std::vector<std::string> lines;
    if (in.projection != out.projection)
        lines.push_back("the projection matrix changed");
    if (effect == ModelViewEffect::Kept && in.modelView != out.modelView)
        lines.push_back("the model-view matrix is not restored exactly");
    if (effect == ModelViewEffect::UndoneByInverse) {
        for (std::size_t i = 0; i < 16; ++i) {
            if (std::abs(in.modelView[i] - out.modelView[i]) > 1e-4 * (1.0 + std::abs(in.modelView[i]))) {
                lines.push_back("the model-view matrix is not undone (element " + std::to_string(i) + ")");
                break;
            }
        }
    }
    return lines;
}

} // namespace velmora::test
