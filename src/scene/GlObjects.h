#pragma once
// Owners of GL object names. Each deletes its names when reset or destroyed,
// which must happen while the context that made them is current: the window
// releases the scene's objects before it lets its context go.

#include "scene/GlApi.h"

#include <vector>

namespace velmora {

// Kind: static GLuint Generate() (0 when GL gives none) and
// static void Delete(const std::vector<GLuint>&).
template<class Kind> class GlNames {
public:
    GlNames() = default;
    ~GlNames() { Reset(); }
    GlNames(const GlNames&) = delete;
    GlNames& operator=(const GlNames&) = delete;

    // A new name, owned from now on; 0 when GL gives none.
    GLuint Generate()
    {
        const GLuint name = Kind::Generate();
        if (name != 0)
            names_.push_back(name);
        return name;
    }
    void Reset()
    {
        if (!names_.empty())
            Kind::Delete(names_);
        names_.clear();
    }
    std::size_t Count() const { return names_.size(); }
    // The newest name, 0 when none is owned.
    GLuint Last() const { return names_.empty() ? 0 : names_.back(); }

private:
    std::vector<GLuint> names_;
};

struct GlTextureKind {
    static GLuint Generate()
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        return name;
    }
    static void Delete(const std::vector<GLuint>& names)
    {
        glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
    }
};

struct GlListKind {
    static GLuint Generate() { return glGenLists(1); }
    static void Delete(const std::vector<GLuint>& names)
    {
        for (const GLuint name : names)
            glDeleteLists(name, 1);
    }
};

using GlTextureNames = GlNames<GlTextureKind>;
using GlDisplayLists = GlNames<GlListKind>;

} // namespace velmora
