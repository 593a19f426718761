#pragma once
// OpenGL object names owned as values: each deletes its object when it goes,
// in the context that was current when it was made (the owner keeps that
// context current while its objects live and die).
#include <epoxy/gl.h>

#include <utility>

namespace maxhost::gl {

template <void (*Delete)(GLuint)>
class Name {
 public:
  Name() = default;
  explicit Name(GLuint name) : name_(name) {}
  Name(Name&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
  Name& operator=(Name&& other) noexcept {
    if (this != &other) {
      reset();
      name_ = std::exchange(other.name_, 0);
    }
    return *this;
  }
  Name(const Name&) = delete;
  Name& operator=(const Name&) = delete;
  ~Name() { reset(); }

  GLuint get() const { return name_; }
  explicit operator bool() const { return name_ != 0; }
  void reset() {
    if (name_ != 0) Delete(name_);
    name_ = 0;
  }

 private:
  GLuint name_ = 0;
};

inline void deleteBuffer(GLuint name) { glDeleteBuffers(1, &name); }
inline void deleteVertexArray(GLuint name) { glDeleteVertexArrays(1, &name); }
inline void deleteTexture(GLuint name) { glDeleteTextures(1, &name); }
inline void deleteFramebuffer(GLuint name) { glDeleteFramebuffers(1, &name); }
inline void deleteRenderbuffer(GLuint name) { glDeleteRenderbuffers(1, &name); }
inline void deleteProgram(GLuint name) { glDeleteProgram(name); }

using Buffer = Name<deleteBuffer>;
using VertexArray = Name<deleteVertexArray>;
using Texture = Name<deleteTexture>;
using Framebuffer = Name<deleteFramebuffer>;
using Renderbuffer = Name<deleteRenderbuffer>;
using Program = Name<deleteProgram>;

// A new name from a glGen* call.
template <typename Owned, typename Generate>
Owned generated(Generate generate) {
  GLuint name = 0;
  generate(1, &name);
  return Owned(name);
}
inline Buffer newBuffer() { return generated<Buffer>(glGenBuffers); }
inline VertexArray newVertexArray() { return generated<VertexArray>(glGenVertexArrays); }
inline Texture newTexture() { return generated<Texture>(glGenTextures); }
inline Framebuffer newFramebuffer() { return generated<Framebuffer>(glGenFramebuffers); }
inline Renderbuffer newRenderbuffer() { return generated<Renderbuffer>(glGenRenderbuffers); }

}  // namespace maxhost::gl
