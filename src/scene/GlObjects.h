#pragma once
// Owners of GL object names. Each deletes its names when reset or destroyed,
// which must happen while the context that made them is current: the window
// releases the scene's objects before it lets its context go.

#include <GL/gl.h>

#include <vector>

namespace velmora {

class GlTextureNames {
public:
    GlTextureNames() = default;
    ~GlTextureNames() { Reset(); }
    GlTextureNames(const GlTextureNames&) = delete;
    GlTextureNames& operator=(const GlTextureNames&) = delete;

    // A new texture name, owned from now on; 0 when GL gives none.
    GLuint Generate()
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        if (name != 0)
            names_.push_back(name);
        return name;
    }
    void Reset()
    {
        if (!names_.empty())
            glDeleteTextures(static_cast<GLsizei>(names_.size()), names_.data());
        names_.clear();
    }
    std::size_t Count() const { return names_.size(); }

private:
    std::vector<GLuint> names_;
};

class GlDisplayList {
public:
    GlDisplayList() = default;
    ~GlDisplayList() { Reset(); }
    GlDisplayList(const GlDisplayList&) = delete;
    GlDisplayList& operator=(const GlDisplayList&) = delete;

    // A new list name, owned from now on (any earlier one is deleted); 0 when
    // GL gives none.
    GLuint Generate()
    {
        Reset();
        name_ = glGenLists(1);
        return name_;
    }
    void Reset()
    {
        if (name_ != 0)
            glDeleteLists(name_, 1);
        name_ = 0;
    }
    GLuint Name() const { return name_; }

private:
    GLuint name_ = 0;
};

} // namespace velmora
